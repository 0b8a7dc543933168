#include <gtest/gtest.h>

#include "tests/app/service/service_fixture.h"
#include "tests/support/raised_message.h"

namespace service_test {
namespace {

// A window whose receipt routines only say that they ran.
class TDispatchForm : public app::TForm1 {
public:
    using TForm1::TForm1;
    std::vector<std::string> routines;

    void podzakaz() override { routines.push_back("podzakaz " + U8(print_id)); }
    void predcheck() override { routines.push_back("predcheck " + U8(print_id)); }
    void zakaz_close() override { routines.push_back("zakaz_close " + U8(print_id)); }
};

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

TEST_F(PollingTest, TheCheckTakesTheOldestPendingJobAndAnUnknownTypeBlocksTheQueue) {
    const struct {
        const char16_t* jobs;
        const char* label7;
        const char16_t* printId;
        std::vector<std::string> routines;
    } cases[] = {
        {u"", "Нет очереди печати", u"", {}},
        {u"(1, 'podzakaz', 'yes', 1)", "Нет очереди печати", u"", {}},
        {u"(7, 'zakaz_close', 'no', 1), (3, 'podzakaz', 'no', 1), (1, 'predcheck', 'yes', 1)",
         "Есть очередь печати",
         u"3",
         {"podzakaz 3"}},
        {u"(4, 'Podzakaz', 'no', 1), (8, 'podzakaz', 'no', 1)", "Есть очередь печати", u"4", {}},
        {u"(4, 'podzakaz ', 'no', 1), (8, 'podzakaz', 'no', 1)", "Есть очередь печати", u"4", {}},
    };
    for (const auto& c : cases) {
        Execute(u"delete from print");
        if (*c.jobs) {
            Execute(u"insert into print (id, type, status, zakaz) values " +
                    std::u16string(c.jobs));
        }
        TDispatchForm& window = Start<TDispatchForm>();
        window.check_print();
        EXPECT_EQ(LabelText(window, 7), c.label7) << U8(c.jobs);
        EXPECT_EQ(window.print_id, c.printId) << U8(c.jobs);
        EXPECT_EQ(window.routines, c.routines) << U8(c.jobs);
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
    const std::u16string victim = [&] {
        data_access::TUniQuery& query = window.Query(2);
        query.SQL().Clear();
        query.SQL().Add(u"select connection_id() as value");
        query.Open();
        return window.Memo(3);
    }();
    Execute(u"kill " + victim);
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

}  // namespace
}  // namespace service_test
