#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <iostream>

#include "app/error_report.h"
#include "tests/app/service/service_fixture.h"

namespace service_test {
namespace {

// The window on a real X server, its errors going to the program's own report: a modal box.
class ScreenTest : public ServiceTest {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            GTEST_SKIP() << "no X display: run the suite through scripts/test, or export the "
                            "DISPLAY printed by 'scripts/xvfb-sandbox env'";
        }
        ServiceTest::SetUp();
    }

    // Runs the event loop until the condition holds, for at most the given time.
    static bool RunUntil(const std::function<bool()>& condition, int milliseconds) {
        QElapsedTimer waited;
        waited.start();
        while (!condition() && waited.elapsed() < milliseconds) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return condition();
    }

    static std::vector<QMessageBox*> OpenBoxes() {
        std::vector<QMessageBox*> boxes;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                boxes.push_back(box);
            }
        }
        return boxes;
    }
};

// A lost connection opens a box in the middle of a queue check; while it stays open, both
// countdowns go on, the next check reconnects and a job added meanwhile is printed.
TEST_F(ScreenTest, AnErrorBoxLeavesTheTimersTickingAndTheQueuePrinting) {
    InsertSettings();
    Execute(u"update settings set value='1' where name='printer_timer'");
    InsertSmallOrder();
    app::TErrorReport report(std::cerr, app::MakeMessageBox);
    onError = [&](const std::exception& error) { report.Report(error); };
    app::TForm1& window = Start();
    window.Pause = [](int) {};
    window.settings();
    data_access::TUniQuery& query = window.Query(2);
    query.SQL().Clear();
    query.SQL().Add(u"select connection_id() as value");
    query.Open();
    Execute(u"kill " + window.Memo(3));
    // The next tick of Timer2 checks the queue and meets the lost connection; Timer1 stays away.
    window.tm = 1000;
    window.tmr = 1;
    // A box that held the event loop (the fault this test is for) is closed after a while, so
    // that the test fails rather than hangs.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        for (QMessageBox* box : OpenBoxes()) {
            box->done(QMessageBox::Ok);
        }
    });
    watchdog.start(45000);

    ASSERT_TRUE(RunUntil([] { return !OpenBoxes().empty(); }, 15000))
        << testing::PrintToString(errors);
    QMessageBox* box = OpenBoxes().front();
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("Lost connection")))
        << box->text().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), box);
    const int tm = window.tm;

    Execute(
        u"insert into print (id, type, status, zakaz, podzakaz) values (9, 'podzakaz', 'no', 12, "
        u"1)");
    EXPECT_TRUE(
        RunUntil([&] { return Value(u"select status from print where id=9") == u"yes"; }, 30000));
    EXPECT_EQ(Documents(QStringLiteral("1-kitchen")).size(), 1u);
    EXPECT_EQ(OpenBoxes(), std::vector<QMessageBox*>{box}) << "one box, still open";
    EXPECT_LT(window.tm, tm) << "Timer1 went on counting";
    EXPECT_EQ(errors.size(), 1u) << testing::PrintToString(errors);
    box->done(QMessageBox::Ok);
    EXPECT_TRUE(OpenBoxes().empty());
}

}  // namespace
}  // namespace service_test
