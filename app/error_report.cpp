#include "app/error_report.h"

#include <cxxabi.h>

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <typeinfo>

namespace app {

TErrorReport::TErrorReport(std::ostream& log, std::function<std::unique_ptr<TErrorBox>()> makeBox,
                           std::function<QDateTime()> now)
    : FLog(log, std::move(now)), FMakeBox(std::move(makeBox)) {}

void TErrorReport::Report(const std::exception& error) {
    const QString text = QString::fromUtf8(error.what());
    FLog.Write(text);
    if (!FMakeBox) {
        return;
    }
    if (FBoxOpen) {
        FBox->SetMore(++FMore);
        return;
    }
    FBox = FMakeBox();
    FBoxOpen = true;
    FMore = 0;
    FBox->Show(text, [this] { FBoxOpen = false; });
}

QString ErrorClassName(const std::exception& error) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status);
    QString name = QString::fromUtf8(status == 0 ? demangled : typeid(error).name());
    std::free(demangled);
    return name.mid(name.lastIndexOf(QLatin1String("::")) + 1).remove(QLatin1Char(':'));
}

namespace {

// Shown without a nested event loop: exec() inside a timer's handler would hold back that
// timer's next ticks until the user clicks.
class TMessageBox final : public TErrorBox {
public:
    void Show(const QString& text, std::function<void()> closed) override {
        FBox.setIcon(QMessageBox::Critical);
        FBox.setWindowTitle(QApplication::applicationName());
        FBox.setText(text);
        FBox.setWindowModality(Qt::ApplicationModal);
        QObject::connect(&FBox, &QMessageBox::finished, &FBox,
                         [closed = std::move(closed)] { closed(); });
        FBox.show();
    }

    void SetMore(int count) override {
        FBox.setInformativeText(QStringLiteral("%1 more error(s) since; see the log.").arg(count));
    }

private:
    QMessageBox FBox;
};

}  // namespace

std::unique_ptr<TErrorBox> MakeMessageBox() {
    return std::make_unique<TMessageBox>();
}

}  // namespace app
