#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QThread>
#include <iostream>

#include "app/error_log.h"
#include "app/qt_text.h"
#include "app/vx26.h"

namespace app {

TForm1* Form1 = nullptr;

namespace {

// A small receipt on a dark square, drawn so the program needs no image file.
QIcon TrayImage() {
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(40, 60, 90));
    QPainter painter(&pixmap);
    painter.fillRect(9, 4, 14, 24, Qt::white);
    painter.setPen(QColor(40, 60, 90));
    for (int y = 9; y <= 23; y += 4) {
        painter.drawLine(12, y, 20, y);
    }
    return QIcon(pixmap);
}

QPushButton* MakeButton(QWidget* parent, int left, int top, int width, const char16_t* caption) {
    auto* button = new QPushButton(Q(caption), parent);
    button->setGeometry(left, top, width, 25);
    // The captions were laid out for a narrower face than this system's: a caption that does
    // not fit gets a smaller size.
    QFont font = button->font();
    for (int size = QFontInfo(font).pixelSize();
         size > 8 && QFontMetrics(font).horizontalAdvance(button->text()) > width - 6; --size) {
        font.setPixelSize(size - 1);
    }
    button->setFont(font);
    return button;
}

}  // namespace

TForm1::TForm1(const TServiceSettings& settings, TPrinter& printer,
               std::function<void(const std::exception&)> reportError)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      FPrinter(printer),
      FReportError(std::move(reportError)) {
    Form1 = this;
    Pause = [](int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); };
    Log = [](const QString& line) { LogLine(std::cerr, line); };
    try {
        setWindowTitle(QStringLiteral("ДРАЙВЕР VX26"));
        QFont font = this->font();
        font.setPixelSize(11);
        setFont(font);
        setMinimumSize(0, 0);
        CreatePanel();
        CreateComponents(settings);
        Timer1.setInterval(1000);
        Timer2.setInterval(1000);
        TrayIcon1.setIcon(TrayImage());
        TrayIcon1.setToolTip(QStringLiteral("ДРАЙВЕР VX26"));
        ConnectSignals();
        LoadComponents();
        FormCreate();
    } catch (...) {
        Form1 = nullptr;
        throw;
    }
    // Without a notification area the icon has nowhere to go.
    TrayIcon1.setVisible(QSystemTrayIcon::isSystemTrayAvailable());
    Timer1.start();
    Timer2.start();
}

TForm1::~TForm1() {
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::ShowAtStart() {
    show();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        TrayIcon1Click();
    }
}

void TForm1::CreatePanel() {
    GroupBox1 = new QGroupBox(QStringLiteral("ТЕСТИРОВАНИЕ ПОРТОВ"), this);
    GroupBox1->setGeometry(0, 0, 329, 81);
    GroupBox1->setStyleSheet(QStringLiteral("QGroupBox { background: silver; }"));
    Button[0] = MakeButton(GroupBox1, 8, 16, 75, u"KASSA");
    Button[1] = MakeButton(GroupBox1, 89, 16, 75, u"BAR");
    Button[2] = MakeButton(GroupBox1, 170, 16, 75, u"KITCHEN");
    Button[3] = MakeButton(GroupBox1, 251, 16, 75, u"CONTROL");
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setEditable(true);
    ComboBox1->setGeometry(8, 47, 145, 21);
    ComboBox1->setEditText(QStringLiteral("1"));
    Button[4] = MakeButton(GroupBox1, 159, 47, 167, u"ПЕЧАТЬ НА ВЫБРАНЫЙ ПОРТ");

    GroupBox2 = new QGroupBox(QStringLiteral("ТЕКУЩИЕ ПАРАМЕТРЫ"), this);
    GroupBox2->setGeometry(0, 78, 326, 147);
    GroupBox2->setStyleSheet(QStringLiteral("QGroupBox { background: #c8c8c8; }"));
    for (int i = 0; i < 7; ++i) {
        Label[std::size_t(i)] = new QLabel(QStringLiteral("Label%1").arg(i + 1), GroupBox2);
        Label[std::size_t(i)]->move(8, 12 + 19 * i);
        Label[std::size_t(i)]->resize(31, 13);
        Label[std::size_t(i)]->adjustSize();
    }
    Button[5] = MakeButton(GroupBox2, 248, 9, 75, u"OK");
    Button[6] = MakeButton(GroupBox2, 248, 40, 75, u"CLOSE");
    Button[7] = MakeButton(GroupBox2, 248, 71, 75, u"ПРИНТЕРЫ");

    ListBox1 = new QListWidget(this);
    ListBox1->setGeometry(0, 223, 323, 97);
}

void TForm1::ConnectSignals() {
    const std::array<void (TForm1::*)(), 8> clicks = {
        &TForm1::Button1Click, &TForm1::Button2Click, &TForm1::Button3Click, &TForm1::Button4Click,
        &TForm1::Button5Click, &TForm1::Button6Click, &TForm1::Button7Click, &TForm1::Button8Click,
    };
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        QObject::connect(Button[i], &QPushButton::clicked, this,
                         [this, click = clicks[i]] { Guarded([&] { (this->*click)(); }); });
    }
    QObject::connect(&Timer1, &QTimer::timeout, this, [this] { Guarded([&] { Timer1Timer(); }); });
    QObject::connect(&Timer2, &QTimer::timeout, this, [this] { Guarded([&] { Timer2Timer(); }); });
    QObject::connect(
        &TrayIcon1, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                Guarded([&] { TrayIcon1Click(); });
            }
        });
}

void TForm1::Guarded(const std::function<void()>& handler) {
    const bool wasPrinting = FPrinter.Printing();
    try {
        handler();
    } catch (const std::exception& error) {
        if (!wasPrinting) {
            FPrinter.Abort();
        }
        FReportError(error);
    }
}

void TForm1::FormCreate() {
    tm = 4;
    tmr = 10;
    UniConnection1.SetConnected(true);
    count_port();
    resize(0, 0);
}

void TForm1::count_port() {
    const std::size_t count = FPrinter.Printers().size();
    for (std::size_t i = 0; i < count; ++i) {
        ComboBox1->addItem(QString::number(i));
    }
    ComboBox1->setEditText(QStringLiteral("1"));
}

void TForm1::TrayIcon1Click() {
    resize(330, 350);
}

void TForm1::Button6Click() {
    resize(0, 0);
}

void TForm1::Button7Click() {
    close();
}

void TForm1::Button8Click() {
    ListBox1->clear();
    const std::vector<QString> printers = FPrinter.Printers();
    for (std::size_t i = 0; i < printers.size(); ++i) {
        ListBox1->addItem(QString::number(i) + QLatin1Char(' ') + printers[i]);
    }
}

void TForm1::SetLabel(int number, platform::StringView text) {
    Label.at(std::size_t(number - 1))->setText(Q(text));
    Label.at(std::size_t(number - 1))->adjustSize();
}

void TForm1::ExecuteSQL(platform::StringView sql) {
    UniSQL1.SQL().Clear();
    UniSQL1.SQL().Add(platform::String(sql));
    UniSQL1.Execute();
}

void TForm1::OpenQuery(int number, platform::StringView sql) {
    data_access::TUniQuery& query = Query(number);
    query.SQL().Clear();
    query.SQL().Add(platform::String(sql));
    query.SetActive(true);
}

}  // namespace app
