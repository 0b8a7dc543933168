#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "platform/exceptions.h"
#include "tests/app/service/service_fixture.h"
#include "tests/support/raised_message.h"
#include "tests/support/tcp_proxy.h"

namespace service_test {
namespace {

// A window whose receipt routines only say that they ran, and mark the job if asked to.
class TDispatchForm : public app::TForm1 {
public:
    using TForm1::TForm1;
    std::vector<std::string> routines;
    bool mark = false;
    // The jobs whose routine fails, with what it does before: a failure of its own, or
    // raising the error itself.
    std::map<std::string, std::function<void()>> failing;

    void podzakaz() override { Run("podzakaz"); }
    void predcheck() override { Run("predcheck"); }
    void zakaz_close() override { Run("zakaz_close"); }

private:
    void Run(const std::string& routine) {
        routines.push_back(routine + " " + U8(print_id));
        if (const auto failure = failing.find(U8(print_id)); failure != failing.end()) {
            failure->second();
            throw platform::EConvertError("cannot print");
        }
        if (mark) {
            UniSQL1.SQL().Clear();
            UniSQL1.SQL().Add(u"UPDATE `print` SET status='yes' WHERE id='" + print_id + u"'");
            UniSQL1.Execute();
        }
    }
};

// The connection id of the window's session.
std::u16string SessionId(app::TForm1& window) {
    data_access::TUniQuery& query = window.Query(2);
    query.SQL().Clear();
    query.SQL().Add(u"select connection_id() as value");
    query.Open();
    return window.Memo(3);
}

std::string LabelText(const app::TForm1& window, int number) {
    return window.Label.at(std::size_t(number - 1))->text().toStdString();
}

using PollingTest = ServiceTest;

// The keep-alive and the settings come on the 4th tick, then every 10th.
TEST_F(PollingTest, Timer1CountsDownAndReloadsTheSettingsEveryTenSeconds) {
    InsertSettings();
    app::TForm1& window = Start();
    const struct {
        int tick;
        const char* label5;
        const char* label1;
    } ticks[] = {
        {1, "Проверка данных через: 3 c.", "Label1"},
        {3, "Проверка данных через: 1 c.", "Label1"},
        {4, "Проверка данных через: 0 c.", "Кафе «Самал»"},
        {5, "Проверка данных через: 9 c.", "Кафе «Самал»"},
    };
    int done = 0;
    for (const auto& t : ticks) {
        for (; done < t.tick; ++done) {
            window.Timer1Timer();
        }
        EXPECT_EQ(LabelText(window, 5), t.label5) << "tick " << t.tick;
        EXPECT_EQ(LabelText(window, 1), t.label1) << "tick " << t.tick;
    }
    EXPECT_EQ(window.tm, 9);
    Execute(u"update settings set value='Новое имя' where name='oragnization'");
    for (int i = 0; i < 9; ++i) {
        window.Timer1Timer();
    }
    EXPECT_EQ(LabelText(window, 1), "Новое имя");
    EXPECT_EQ(window.tm, 10);
}

TEST_F(PollingTest, SettingsFillTheVariablesAndTheLabels) {
    InsertSettings();
    app::TForm1& window = Start();
    window.settings();
    EXPECT_EQ(window.oragnization, u"Кафе «Самал»");
    EXPECT_EQ(window.titles, u"пр. Абая 52");
    EXPECT_EQ(window.control_printer, u"1");
    EXPECT_EQ(window.printer_timer, u"3");
    EXPECT_EQ(window.name_check_left, u"40");
    EXPECT_EQ(window.title_check_left, u"60");
    EXPECT_EQ(LabelText(window, 2), "Контрольный принтер: 1");
    EXPECT_EQ(LabelText(window, 3), "Таймер печати: 3");
    EXPECT_EQ(LabelText(window, 4), "Сворачивание позиций: 0");

    Execute(u"delete from settings");
    window.settings();
    EXPECT_EQ(window.oragnization, u"");
    EXPECT_EQ(window.printer_timer, u"");
    EXPECT_EQ(LabelText(window, 1), "");
    EXPECT_EQ(LabelText(window, 2), "Контрольный принтер: ");
}

TEST_F(PollingTest, TheFirstQueueCheckComesOnTheTenthTickAndThenEveryPrinterTimerSeconds) {
    InsertSettings();
    Execute(u"insert into print (id, type, status, zakaz) values (5, 'predcheck', 'no', 1)");
    TDispatchForm& window = Start<TDispatchForm>();
    window.settings();
    for (int tick = 1; tick <= 9; ++tick) {
        window.Timer2Timer();
    }
    EXPECT_EQ(LabelText(window, 6), "До проверки печати: 1 c.");
    EXPECT_EQ(LabelText(window, 7), "Label7");
    EXPECT_TRUE(window.routines.empty());
    window.Timer2Timer();
    EXPECT_EQ(window.routines, std::vector<std::string>{"predcheck 5"});
    EXPECT_EQ(window.tmr, 3);
    EXPECT_EQ(LabelText(window, 7), "Есть очередь печати");
}

// A job of another type (letter case, a trailing blank) is left alone and said so once; the
// jobs behind it are handled.
TEST_F(PollingTest, TheCheckTakesTheOldestPendingJobAndLeavesAnUnknownTypeAlone) {
    const struct {
        const char16_t* jobs;
        const char* label7;
        const char16_t* printId;
        std::vector<std::string> routines;
        std::vector<std::string> logged;
    } cases[] = {
        {u"", "Нет очереди печати", u"", {}, {}},
        {u"(1, 'podzakaz', 'yes', 1)", "Нет очереди печати", u"", {}, {}},
        {u"(7, 'zakaz_close', 'no', 1), (3, 'podzakaz', 'no', 1), (1, 'predcheck', 'yes', 1)",
         "Есть очередь печати",
         u"3",
         {"podzakaz 3"},
         {}},
        {u"(4, 'Podzakaz', 'no', 5), (8, 'podzakaz', 'no', 1)",
         "Есть очередь печати",
         u"8",
         {"podzakaz 8"},
         {"job 4 (type 'Podzakaz', order 5): no such job type; the job is left pending"}},
        {u"(4, 'podzakaz ', 'no', 1), (8, 'predcheck', 'no', 1)",
         "Есть очередь печати",
         u"8",
         {"predcheck 8"},
         {"job 4 (type 'podzakaz ', order 1): no such job type; the job is left pending"}},
        {u"(4, 'print', 'no', 1)",
         "Есть очередь печати",
         u"",
         {},
         {"job 4 (type 'print', order 1): no such job type; the job is left pending"}},
    };
    for (const auto& c : cases) {
        Execute(u"delete from print");
        if (*c.jobs) {
            Execute(u"insert into print (id, type, status, zakaz) values " +
                    std::u16string(c.jobs));
        }
        logged.clear();
        TDispatchForm& window = Start<TDispatchForm>();
        window.check_print();
        EXPECT_EQ(LabelText(window, 7), c.label7) << U8(c.jobs);
        EXPECT_EQ(window.print_id, c.printId) << U8(c.jobs);
        EXPECT_EQ(window.routines, c.routines) << U8(c.jobs);
        window.check_print();
        EXPECT_EQ(logged, c.logged) << "logged once: " << U8(c.jobs);
    }
}

// A printer_timer that is no positive integer once stopped the queue checks for good; the
// countdown now starts again from 10, and a text that is no integer is still reported.
TEST_F(PollingTest, AnUnusablePrinterTimerRestartsTheCountdownInsteadOfStoppingTheChecks) {
    const struct {
        const char16_t* value;
        int tmr;
        const char* error;
        bool checked;
    } cases[] = {
        {u"5", 5, nullptr, true},
        {u"", 10, "'' is not a valid integer value", false},
        {u"abc", 10, "'abc' is not a valid integer value", false},
        {u"0", 10, nullptr, true},
        {u"-3", 10, nullptr, true},
    };
    Execute(u"insert into print (id, type, status, zakaz) values (2, 'podzakaz', 'no', 1)");
    for (const auto& c : cases) {
        TDispatchForm& window = Start<TDispatchForm>();
        window.printer_timer = c.value;
        window.tmr = 1;
        const std::string error = test_support::RaisedMessage([&] { window.Timer2Timer(); });
        EXPECT_EQ(error, c.error ? c.error : "(nothing)") << U8(c.value);
        EXPECT_EQ(window.tmr, c.tmr) << U8(c.value);
        EXPECT_EQ(window.routines.size(), c.checked ? 1u : 0u) << U8(c.value);
    }
}

// The first settings load met a database still starting: checks resume once it is readable.
TEST_F(PollingTest, ChecksResumeOnceTheSettingsCanBeRead) {
    TDispatchForm& window = Start<TDispatchForm>();
    Execute(u"insert into print (id, type, status, zakaz) values (2, 'podzakaz', 'no', 1)");
    for (int tick = 1; tick <= 10; ++tick) {
        window.Guarded([&] { window.Timer2Timer(); });
    }
    EXPECT_EQ(errors, std::vector<std::string>{"'' is not a valid integer value"});
    EXPECT_TRUE(window.routines.empty());
    InsertSettings();
    window.settings();
    for (int tick = 1; tick <= 10; ++tick) {
        window.Guarded([&] { window.Timer2Timer(); });
    }
    EXPECT_EQ(window.routines, std::vector<std::string>{"podzakaz 2"});
}

TEST_F(PollingTest, ALostConnectionFailsOneTickAndTheNextReconnects) {
    InsertSettings();
    app::TForm1& window = Start();
    window.settings();
    Execute(u"kill " + SessionId(window));
    window.tm = 1;
    window.Guarded([&] { window.Timer1Timer(); });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Lost connection"), std::string::npos) << errors[0];
    EXPECT_EQ(window.tm, 10);
    EXPECT_FALSE(window.UniConnection1.Connected());
    window.tm = 1;
    window.Guarded([&] { window.Timer1Timer(); });
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(window.oragnization, u"Кафе «Самал»");
}

// A queue check at a time of a clock the test moves, seconds from the first check; what ran.
class RetryTest : public PollingTest {
protected:
    std::vector<std::string> CheckAt(int seconds) {
        now = std::chrono::steady_clock::time_point() + std::chrono::hours(1) +
              std::chrono::seconds(seconds);
        window->routines.clear();
        window->Guarded([&] { window->check_print(); });
        return window->routines;
    }

    TDispatchForm& StartWindow() {
        window = &Start<TDispatchForm>();
        window->mark = true;
        window->SteadyNow = [this] { return now; };
        return *window;
    }

    std::chrono::steady_clock::time_point now;
    TDispatchForm* window = nullptr;
};

using Ran = std::vector<std::string>;

// A job that fails no longer holds the queue: the next check, two seconds later, takes the job
// behind it; the failed one is tried again after 5 s, then after twice as long each time, up to
// 300 s, and is never marked.
TEST_F(RetryTest, AFailedJobWaitsLongerEachTimeWhileTheJobsBehindItArePrinted) {
    Execute(
        u"insert into print (id, type, status, zakaz) values (3, 'predcheck', 'no', 7), "
        u"(5, 'podzakaz', 'no', 8)");
    StartWindow().failing["3"] = [] {};
    EXPECT_EQ(CheckAt(0), Ran{"predcheck 3"});
    EXPECT_EQ(errors, std::vector<std::string>{"job 3 (predcheck, order 7): cannot print"});
    EXPECT_EQ(window->tmr, 2);
    EXPECT_EQ(CheckAt(2), Ran{"podzakaz 5"});
    EXPECT_EQ(Value(u"select status from print where id=5"), u"yes");
    int at = 0;
    for (const int wait : {5, 10, 20, 40, 80, 160, 300, 300}) {
        at += wait;
        EXPECT_EQ(CheckAt(at - 1), Ran{}) << "still waiting " << wait << " s after " << at - wait;
        EXPECT_EQ(window->print_id, u"");
        EXPECT_EQ(LabelText(*window, 7), "Есть очередь печати");
        EXPECT_EQ(CheckAt(at), Ran{"predcheck 3"}) << "after " << wait << " s";
    }
    EXPECT_EQ(errors.size(), 9u);
    EXPECT_EQ(Value(u"select status from print where id=3"), u"no");

    // Printed at last: forgotten, so that it is no longer waited for.
    window->failing.clear();
    EXPECT_EQ(CheckAt(at + 300), Ran{"predcheck 3"});
    EXPECT_EQ(Value(u"select status from print where id=3"), u"yes");
}

// The database went away in the middle of a job: once the queue can be read again, the job is
// tried at once rather than after its wait.
TEST_F(RetryTest, AJobThatFailedInAnOutageIsTriedAgainAsSoonAsTheQueueCanBeRead) {
    Execute(u"insert into print (id, type, status, zakaz) values (3, 'podzakaz', 'no', 7)");
    StartWindow().failing["3"] = [this] {
        Execute(u"kill " + SessionId(*window));
        window->Query(2).Close();
        window->Query(2).Open();
    };
    EXPECT_EQ(CheckAt(0), Ran{"podzakaz 3"});
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with("job 3 (podzakaz, order 7): ")) << errors[0];
    EXPECT_NE(errors[0].find("Lost connection"), std::string::npos) << errors[0];
    EXPECT_FALSE(window->UniConnection1.Connected());
    window->failing.clear();
    EXPECT_EQ(CheckAt(1), Ran{"podzakaz 3"});
    EXPECT_EQ(Value(u"select status from print where id=3"), u"yes");
}

// The window reaches its database through a proxy that can stop forwarding, with statements
// bounded to one second.
class SilentServerTest : public ServiceTest {
protected:
    void ChooseServer() override {
        proxy = std::make_unique<test_support::TcpProxy>(server.host, server.port);
    }

    app::TServiceSettings Settings() const override {
        app::TServiceSettings settings = ServiceTest::Settings();
        settings.Port = proxy->Port();
        settings.CommandTimeout = 1;
        return settings;
    }

    std::unique_ptr<test_support::TcpProxy> proxy;
};

// A server that keeps the connection open and answers nothing fails the statement as a lost
// connection once its time is up; when the server answers again, the next check prints.
TEST_F(SilentServerTest, AStatementToASilentServerFailsInTimeAndTheNextCheckPrints) {
    InsertSettings();
    InsertSmallOrder();
    app::TForm1& window = Start();
    window.settings();
    Execute(
        u"insert into print (id, type, status, zakaz, podzakaz) values (4, 'podzakaz', 'no', 12, "
        u"1)");
    proxy->SetForwarding(false);
    window.Guarded([&] { window.check_print(); });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with("Lost connection to MySQL server during query")) << errors[0];
    EXPECT_FALSE(window.UniConnection1.Connected());
    EXPECT_EQ(Value(u"select status from print where id=4"), u"no");
    proxy->SetForwarding(true);
    window.Guarded([&] { window.check_print(); });
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(Value(u"select status from print where id=4"), u"yes");
    EXPECT_EQ(Documents(QStringLiteral("1-kitchen")).size(), 1u);
}

}  // namespace
}  // namespace service_test
