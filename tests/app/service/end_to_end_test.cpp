#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "app/printing/virtual_printers.h"
#include "tests/app/service/service_fixture.h"

namespace service_test {
namespace {

// Runs the project's MariaDB sandbox script on a data directory of the test's own.
bool Sandbox(const QString& directory, const QString& command) {
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MARIADB_SANDBOX_DIR"), directory);
    script.setProcessEnvironment(environment);
    script.start(QStringLiteral(VX26_SOURCE_DIR "/scripts/mariadb-sandbox"), {command});
    return script.waitForFinished(120000) && script.exitCode() == 0;
}

using EndToEndTest = ServiceTest;

// The service's own program, polling with its real timers, while jobs are added.
TEST_F(EndToEndTest, TheRunningServicePrintsEveryJobAddedWhileItRunsAndMarksIt) {
    InsertSettings();
    InsertSmallOrder();
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(
        QStringLiteral(VX26_BINARY),
        {QStringLiteral("--server"), QString::fromStdString(server.host), QStringLiteral("--port"),
         QString::number(server.port), QStringLiteral("--database"),
         QString::fromStdString(Database), QStringLiteral("--printers"), printersDir.path()});
    ASSERT_TRUE(program.waitForStarted());
    QThread::msleep(1500);
    Execute(
        u"insert into print (type, status, zakaz, podzakaz) values ('podzakaz', 'no', 12, 1), "
        u"('predcheck', 'no', 12, null), ('podzakaz', 'no', 12, 2), ('zakaz_close', 'no', 12, "
        u"null)");
    QElapsedTimer waited;
    waited.start();
    while (Value(u"select count(*) from print where status='no'") != u"0" &&
           waited.elapsed() < 90000) {
        QThread::msleep(250);
    }
    program.terminate();
    program.waitForFinished();
    const std::string log = program.readAllStandardError().toStdString();
    ASSERT_EQ(Value(u"select count(*) from print where status='no'"), u"0") << log;
    // Batch 1 on the kitchen and control, batch 2 on the bar and control; the bill twice and the
    // closing receipt on KASSA, its control copy on CONTROL.
    const struct {
        const char* printer;
        std::vector<QString> titles;
    } expected[] = {
        {"0-kassa",
         {QStringLiteral("Предчек не cвернутый"), QStringLiteral("Предчек не cвернутый"),
          QStringLiteral("Предчек не cвернутый")}},
        {"1-kitchen", {QStringLiteral("Заказ")}},
        {"2-bar", {QStringLiteral("Заказ")}},
        {"3-control",
         {QStringLiteral("Заказ"), QStringLiteral("Заказ"),
          QStringLiteral("Предчек не cвернутый")}},
    };
    for (const auto& e : expected) {
        std::vector<QString> titles;
        for (const QJsonObject& document : Documents(QString::fromLatin1(e.printer))) {
            titles.push_back(document[QStringLiteral("title")].toString());
        }
        EXPECT_EQ(titles, e.titles) << e.printer << "\n" << log;
    }

    // The same jobs printed again here, op by op: what the program wrote must be the same, but
    // for the time each bill was printed at.
    QTemporaryDir again;
    for (const auto& e : expected) {
        ASSERT_TRUE(QDir(again.path()).mkdir(QString::fromLatin1(e.printer)));
    }
    printer =
        std::make_unique<app::TPrinter>(std::make_unique<app::TVirtualPrinters>(again.path()));
    Execute(u"update print set status='no'");
    app::TForm1& window = Start();
    window.Pause = [](int) {};
    window.settings();
    do {
        window.check_print();
    } while (!window.print_id.empty());
    const auto withoutPrintTime = [](const QJsonObject& document) {
        std::vector<std::string> ops = Ops(document);
        std::erase_if(ops, [](const std::string& op) {
            return op.find(" Печать счета: ") != std::string::npos;
        });
        return ops;
    };
    for (const auto& e : expected) {
        const auto printed = Documents(QString::fromLatin1(e.printer));
        const auto reprinted = Documents(QString::fromLatin1(e.printer), again.path());
        ASSERT_EQ(printed.size(), reprinted.size()) << e.printer;
        for (std::size_t i = 0; i < printed.size(); ++i) {
            EXPECT_EQ(withoutPrintTime(printed[i]), withoutPrintTime(reprinted[i]))
                << e.printer << " document " << i + 1;
        }
    }
    const std::vector<std::string> closing = Ops(Documents(QStringLiteral("3-control")).back());
    for (const std::string payment : {"10 Наличные: 6000 тг.", "10 Сдача: 500 тг."}) {
        EXPECT_EQ(std::count_if(closing.begin(), closing.end(),
                                [&](const std::string& op) { return op.ends_with(payment); }),
                  1)
            << payment;
    }
}

// A MariaDB of the test's own, restarted while a bill is being printed.
class RestartTest : public EndToEndTest {
protected:
    void ChooseServer() override {
        ASSERT_TRUE(databaseDir.isValid());
        ASSERT_TRUE(Sandbox(databaseDir.path(), QStringLiteral("start")));
        QFile portFile(databaseDir.path() + QStringLiteral("/port"));
        ASSERT_TRUE(portFile.open(QIODevice::ReadOnly));
        server.host = "127.0.0.1";
        server.port = portFile.readAll().trimmed().toInt();
    }

    void TearDown() override {
        ServiceTest::TearDown();
        Sandbox(databaseDir.path(), QStringLiteral("stop"));
    }

    QTemporaryDir databaseDir;
};

// The server goes away after the bill's last query: the bill is printed, the mark fails, and
// two seconds later the job is printed again in full and marked, once.
TEST_F(RestartTest, AJobCutOffByARestartIsPrintedAgainInFullAndMarkedOnce) {
    InsertSettings();
    Execute(u"update settings set value='0' where name='control_printer'");
    InsertSmallOrder();
    app::TForm1& window = Start();
    window.settings();
    int lines = 0;
    window.Pause = [&](int) {
        if (++lines == 3) {
            ASSERT_TRUE(Sandbox(databaseDir.path(), QStringLiteral("restart")));
            Reconnect();
        }
    };
    Execute(u"insert into print (id, type, status, zakaz) values (7, 'predcheck', 'no', 12)");

    window.Guarded([&] { window.check_print(); });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Lost connection"), std::string::npos) << errors[0];
    EXPECT_EQ(Documents(QStringLiteral("0-kassa")).size(), 1u);
    EXPECT_EQ(window.tmr, 2);
    EXPECT_EQ(Value(u"select status from print where id=7"), u"no");

    for (int check = 0; check < 2; ++check) {
        window.Guarded([&] { window.check_print(); });
    }
    EXPECT_EQ(errors.size(), 1u);
    const auto documents = Documents(QStringLiteral("0-kassa"));
    ASSERT_EQ(documents.size(), 2u);
    EXPECT_EQ(Ops(documents[1]), Ops(documents[0]));
    EXPECT_EQ(Value(u"select status from print where id=7"), u"yes");
}

}  // namespace
}  // namespace service_test
