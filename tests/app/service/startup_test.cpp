#include <gtest/gtest.h>

#include <QProcess>

#include "app/printing/virtual_printers.h"
#include "tests/app/service/service_fixture.h"
#include "tests/support/raised_message.h"

namespace service_test {
namespace {

using test_support::RaisedMessage;

QString Text(const QLabel* label) {
    return label->text();
}

TEST_F(ServiceTest, StartsCollapsedWithItsComponentsOpenAndTheCountdownsSet) {
    app::TForm1& window = Start();
    EXPECT_EQ(app::Form1, &window);
    EXPECT_EQ(window.tm, 4);
    EXPECT_EQ(window.tmr, 10);
    EXPECT_TRUE(window.UniConnection1.Connected());
    for (int i = 1; i <= 12; ++i) {
        EXPECT_TRUE(window.Query(i).Active()) << "UniQuery" << i;
    }
    EXPECT_EQ(window.size(), QSize(0, 0));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("ДРАЙВЕР VX26"));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Text(window.Label[std::size_t(i)]), QStringLiteral("Label%1").arg(i + 1));
    }
    ASSERT_EQ(window.ComboBox1->count(), 4);
    EXPECT_EQ(window.ComboBox1->itemText(0), QStringLiteral("0"));
    EXPECT_EQ(window.ComboBox1->itemText(3), QStringLiteral("3"));
    EXPECT_EQ(window.ComboBox1->currentText(), QStringLiteral("1"));
}

TEST_F(ServiceTest, TheFirstQueryConnectsTheConnectionBeforeTheOthersOpen) {
    InsertSettings();
    app::TForm1& window = Start();
    // UniQuery2 opened after the connection was made: it holds the first settings row.
    EXPECT_EQ(window.Memo(3), u"Кафе «Самал»");
}

TEST_F(ServiceTest, AFailedStartRaisesTheFirstFailureAndLeavesNoWindow) {
    const struct {
        const char16_t* damage;
        const char* message;
    } cases[] = {
        {u"drop table clients", "clients' doesn't exist"},
        {u"alter table print drop column podzakaz", "DBMemo5: Field 'podzakaz' not found"},
        {u"alter table tables drop column procent", "DBMemo31: Field 'procent' not found"},
    };
    for (const auto& c : cases) {
        CreateDatabase();
        Execute(c.damage);
        const std::string message = RaisedMessage([&] { Start(); });
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_EQ(app::Form1, nullptr);
    }
}

TEST_F(ServiceTest, TheProgramEndsWithExitCodeOneWhenTheDatabaseIsDown) {
    QProcess program;
    program.setProcessEnvironment([] {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return environment;
    }());
    program.start(
        QStringLiteral(VX26_BINARY),
        {QStringLiteral("--server"), QString::fromStdString(server.host), QStringLiteral("--port"),
         QStringLiteral("1"), QStringLiteral("--printers"), printersDir.path()});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 1);
    const QString log = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(
        log.contains(QStringLiteral("Application Error: EUniError: Cannot connect to server")))
        << log.toStdString();
}

// The program as started from a console without any display: no DISPLAY, WAYLAND_DISPLAY or
// platform chosen.
struct TRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

TRun RunWithoutDisplay(const QStringList& arguments) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VX26_BINARY), arguments);
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
    }
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            program.readAllStandardOutput().toStdString(),
            program.readAllStandardError().toStdString()};
}

TEST(Program, UsageAndCommandLineErrorsNeedNoDisplay) {
    const struct {
        QStringList arguments;
        int exitCode;
        const char* out;
        const char* err;
    } cases[] = {
        {{QStringLiteral("--help")}, 0, "Usage: vx26 [OPTION]...", ""},
        {{QStringLiteral("--port"), QStringLiteral("x")}, 1, "", "vx26: invalid port: x\n"},
        {{QStringLiteral("--command-timeout=-1")}, 1, "", "vx26: invalid command timeout: -1\n"},
        {{QStringLiteral("--printers")}, 1, "", "vx26: --printers needs a value\n"},
    };
    for (const auto& c : cases) {
        const TRun run = RunWithoutDisplay(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.out.starts_with(c.out)) << run.out;
        EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
    }
}

// Without a display the service runs on, without a window, and says so once.
TEST_F(ServiceTest, WithoutADisplayTheServiceRunsWithoutAWindow) {
    const TRun run =
        RunWithoutDisplay({QStringLiteral("--server"), QString::fromStdString(server.host),
                           QStringLiteral("--port"), QStringLiteral("1")});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("vx26: no display: running without a window"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Application Error: EUniError: Cannot connect to server"),
              std::string::npos)
        << run.err;
}

TEST_F(ServiceTest, ThePanelOpensFromTheTrayAndCollapsesWithOk) {
    InsertPrinters();
    app::TForm1& window = Start();
    window.TrayIcon1Click();
    EXPECT_EQ(window.size(), QSize(330, 350));
    window.TrayIcon1Click();
    EXPECT_EQ(window.size(), QSize(330, 350));
    window.Button6Click();
    EXPECT_EQ(window.size(), QSize(0, 0));
    window.Button6Click();
    EXPECT_EQ(window.size(), QSize(0, 0));
}

// Offscreen there is no notification area, so the icon could never be clicked.
TEST_F(ServiceTest, WithoutANotificationAreaThePanelOpensAtStart) {
    app::TForm1& window = Start();
    window.ShowAtStart();
    EXPECT_EQ(window.size(), QSize(330, 350));
}

TEST_F(ServiceTest, ThePrinterListShowsIndexAndNameOnceHoweverOftenAsked) {
    app::TForm1& window = Start();
    window.Button8Click();
    window.Button8Click();
    ASSERT_EQ(window.ListBox1->count(), 4);
    EXPECT_EQ(window.ListBox1->item(0)->text(), QStringLiteral("0 0-kassa"));
    EXPECT_EQ(window.ListBox1->item(3)->text(), QStringLiteral("3 3-control"));
}

TEST_F(ServiceTest, WithoutPrintersTheListsStayEmpty) {
    printer = std::make_unique<app::TPrinter>(
        std::make_unique<app::TVirtualPrinters>(printersDir.path() + QStringLiteral("/none")));
    app::TForm1& window = Start();
    EXPECT_EQ(window.ComboBox1->count(), 0);
    EXPECT_EQ(window.ComboBox1->currentText(), QStringLiteral("1"));
    window.Button8Click();
    EXPECT_EQ(window.ListBox1->count(), 0);
}

}  // namespace
}  // namespace service_test
