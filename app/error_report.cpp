#include "app/error_report.h"

#include <cxxabi.h>

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <cstdlib>
#include <typeinfo>

namespace app {

TErrorReport::TErrorReport(std::ostream& log, std::function<std::unique_ptr<TErrorBox>()> makeBox)
    : FLog(log), FMakeBox(std::move(makeBox)) {}

void TErrorReport::Report(const std::exception& error) {
    const QString text = QString::fromUtf8(error.what());
    LogLine(FLog, text);
    if (!FMakeBox) {
        return;
    }
    if (FOpenBox) {
        FOpenBox->SetMore(++FMore);
        return;
    }
    const std::unique_ptr<TErrorBox> box = FMakeBox();
    FOpenBox = box.get();
    FMore = 0;
    try {
        box->Show(text);
    } catch (...) {
        FOpenBox = nullptr;
        throw;
    }
    FOpenBox = nullptr;
}

void LogLine(std::ostream& log, const QString& text) {
    // One line an entry: a server's message starts with a line break of its own.
    QString line = text.trimmed();
    line.replace(QLatin1String("\r\n"), QLatin1String(" "))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    log << QDateTime::currentDateTime()
               .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
               .toStdString()
        << " vx26: " << line.toStdString() << std::endl;
}

QString ErrorClassName(const std::exception& error) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status);
    QString name = QString::fromUtf8(status == 0 ? demangled : typeid(error).name());
    std::free(demangled);
    return name.mid(name.lastIndexOf(QLatin1String("::")) + 1).remove(QLatin1Char(':'));
}

namespace {

class TMessageBox final : public TErrorBox {
public:
    void Show(const QString& text) override {
        FBox.setIcon(QMessageBox::Critical);
        FBox.setWindowTitle(QApplication::applicationName());
        FBox.setText(text);
        FBox.exec();
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
