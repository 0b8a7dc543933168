#include <gtest/gtest.h>

#include <chrono>

#include "tests/app/service/service_fixture.h"
#include "tests/support/raised_message.h"

namespace service_test {
namespace {

// One order (12) at table VIP (10 % service) of the main hall, for a client with 5 % discount,
// with items in two batches, a row of another order inside its id range and a missing id.
class ReceiptsTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        Fill();
    }

    void Fill() {
        InsertSettings();
        InsertPrinters();
        Execute(u"insert into cat_tables (id, name) values (1, 'Основной зал')");
        Execute(u"insert into tables (id, name, procent, cat_tables) values (3, 'VIP', 10, 1)");
        Execute(u"insert into users (id, name, discount) values (1, 'Гость', 5), (2, 'Без', null)");
        Execute(
            u"insert into menu (id, name) values (1, 'Борщ'), "
            u"(2, 'Шашлык из баранины на углях с луком и зеленью'), (3, 'Чай'), (5, 'Кофе')");
        Execute(
            u"insert into zakaz (id, date_open, date_close, client, tables, waitres) values "
            u"(12, 1765360800, 1765364400, 1, 3, 'Айгерим')");
        Execute(
            u"insert into podzakaz (id, zakaz, podzakaz, menu, kolvo, price, printer) values "
            u"(10, 12, 1, 1, 2, 1800, 2), (11, 99, 1, 1, 5, 100, 2), (12, 12, 1, 3, 2, 600, 3), "
            u"(14, 12, 2, 2, 1, 4500, 2), (15, 12, 2, 1, 1, 1900, 2)");
        window = &Start();
        window->Pause = [this](int milliseconds) { pauses.push_back(milliseconds); };
        window->settings();
    }

    // Queues a job and runs the queue check that prints it.
    void Print(const std::u16string& type, int zakaz, const std::u16string& batch = u"null") {
        Execute(u"insert into print (type, status, zakaz, podzakaz) values ('" + type +
                u"', 'no', " + U16(std::to_string(zakaz)) + u", " + batch + u")");
        window->Guarded([&] { window->check_print(); });
    }

    // The ids of the pending jobs, separated by commas.
    std::string Pending() {
        return U8(Value(u"select group_concat(id order by id) from print where status='no'"));
    }

    // The ops of one document from the body on (top 350): the header is the drawing model's.
    static std::vector<std::string> Body(const QJsonObject& document) {
        std::vector<std::string> ops = Ops(document);
        std::vector<std::string> body;
        for (const std::string& op : ops) {
            if (std::stoi(op.substr(op.find(' ') + 1)) >= 350) {
                body.push_back(op);
            }
        }
        return body;
    }

    app::TForm1* window = nullptr;
    std::vector<int> pauses;
};

std::vector<std::string> DishLine(int y, const std::string& name, int kolvo, int price) {
    const std::string at = " " + std::to_string(y) + " 9 ";
    return {"0" + at + name,  "240" + at + std::to_string(kolvo),
            "290" + at + "X", "320" + at + std::to_string(price),
            "400" + at + "=", "430" + at + std::to_string(kolvo * price) + " тг."};
}

std::vector<std::string> Joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The dish lines of order 12: quantities summed over both batches with the last price, the
// long name split at 15 and 45, the other order's row and the missing id left out.
std::vector<std::string> OrderLines() {
    return Joined({DishLine(350, "Борщ", 3, 1900),
                   DishLine(380, "Шашлык из баран", 1, 4500),
                   {"0 410 9 ины на углях с луком и зеленью"},
                   DishLine(440, "Чай", 2, 600),
                   {"0 470 9 " + std::string(70, '-')}});
}

const std::string Separator10(int y) {
    return "0 " + std::to_string(y) + " 10 " + std::string(70, '-');
}

std::vector<std::string> Footer(int y) {
    return {"0 " + std::to_string(y) + " 7 Программа разработана ИП \"Вектрон\"",
            "0 " + std::to_string(y + 30) + " 7 Тел: +7 (700) 100 20 30"};
}

TEST_F(ReceiptsTest, TheBillPrintsAGuestCopyWithPausesAndAControlCopyOnKassa) {
    Print(u"predcheck", 12);
    ASSERT_EQ(errors, std::vector<std::string>{});
    const auto documents = Documents(QStringLiteral("0-kassa"));
    ASSERT_EQ(documents.size(), 2u);
    const std::vector<std::string> totals = {"0 525 10 Обслуживание 10% 1140 тг.",
                                             "0 555 10 Скидка: 5% 627 тг.",
                                             "0 585 10 Итог: 11913 тг."};
    EXPECT_EQ(Body(documents[0]), Joined({OrderLines(), totals, {Separator10(615)}, Footer(675)}));
    EXPECT_EQ(Body(documents[1]), Joined({OrderLines(),
                                          {"0 495 10 Сумма заказа: 11400 тг."},
                                          totals,
                                          {Separator10(615)},
                                          Footer(645)}));
    for (const auto& document : documents) {
        EXPECT_EQ(document[QStringLiteral("title")].toString(),
                  QStringLiteral("Предчек не cвернутый"));
        EXPECT_EQ(Ops(document)[2], "0 125 12 Счет на оплату № 12");
    }
    EXPECT_EQ(pauses, (std::vector<int>{500, 500, 500}));
    EXPECT_EQ(DocumentCount(), 2);
    EXPECT_EQ(Pending(), "");
    EXPECT_EQ(window->tmr, 2);
}

// The texts of a document's ops from the one that starts with from on.
std::vector<std::string> TextsFrom(const QJsonObject& document, const std::string& from) {
    std::vector<std::string> texts;
    for (const std::string& op : Ops(document)) {
        std::string text = op;
        for (int field = 0; field < 3; ++field) {
            text.erase(0, text.find(' ') + 1);
        }
        if (!texts.empty() || text.starts_with(from)) {
            texts.push_back(text);
        }
    }
    return texts;
}

TEST_F(ReceiptsTest, ServiceAndDiscountAreRoundedInExtendedPrecisionHalfToEven) {
    const struct {
        int price;
        int procent;
        const char16_t* client;
        std::vector<std::string> totals;
    } cases[] = {
        {250, 5, u"null", {"Обслуживание 5% 12 тг.", "Скидка: 0% 0 тг.", "Итог: 262 тг."}},
        {150, 5, u"null", {"Обслуживание 5% 8 тг.", "Скидка: 0% 0 тг.", "Итог: 158 тг."}},
        {210, 15, u"null", {"Обслуживание 15% 31 тг.", "Скидка: 0% 0 тг.", "Итог: 241 тг."}},
        {1000, 0, u"1", {"Обслуживание 0% 0 тг.", "Скидка: 5% 50 тг.", "Итог: 950 тг."}},
        {1000, 0, u"2", {"Обслуживание 0% 0 тг.", "Скидка: 0% 0 тг.", "Итог: 1000 тг."}},
        {1000, 0, u"77", {"Обслуживание 0% 0 тг.", "Скидка: 0% 0 тг.", "Итог: 1000 тг."}},
    };
    Execute(u"update settings set value='0' where name='control_printer'");
    window->settings();
    int zakaz = 100;
    for (const auto& c : cases) {
        ++zakaz;
        const std::u16string id = U16(std::to_string(zakaz));
        Execute(u"insert into tables (id, name, procent, cat_tables) values (" + id + u", 'T', " +
                U16(std::to_string(c.procent)) + u", 1)");
        Execute(u"insert into zakaz (id, date_open, client, tables, waitres) values (" + id +
                u", 0, " + c.client + u", " + id + u", '')");
        Execute(u"insert into podzakaz (zakaz, podzakaz, menu, kolvo, price, printer) values (" +
                id + u", 1, 5, 1, " + U16(std::to_string(c.price)) + u", 2)");
        Print(u"predcheck", zakaz);
        std::vector<std::string> texts =
            TextsFrom(Documents(QStringLiteral("0-kassa")).back(), "Обслуживание");
        texts.resize(3);
        EXPECT_EQ(texts, c.totals) << c.price << " " << U8(c.client);
    }
}

TEST_F(ReceiptsTest, TheClosingReceiptListsThePaymentsAndGoesToControlToo) {
    Execute(u"insert into type_pay (id, name) values (1, 'Наличные'), (2, 'Карта')");
    Execute(
        u"insert into pay (id, zakaz, type_pay, cash_pay) values (1, 12, 2, 5000), (2, 99, 1, 7), "
        u"(3, 12, 1, 0), (4, 12, 1, 8000), (5, 12, 9, 100), (6, 12, 1, -1187)");
    Print(u"zakaz_close", 12);
    ASSERT_EQ(errors, std::vector<std::string>{});
    const std::vector<std::string> body =
        Joined({OrderLines(),
                {"0 495 10 Сумма заказа: 11400 тг.", "0 525 10 Обслуживание 10% 1140 тг.",
                 "0 555 10 Скидка: 5% 627 тг.", "0 585 10 Итог: 11913 тг.", Separator10(615),
                 "0 645 10 Карта: 5000 тг.", "0 675 10 Наличные: 8000 тг.", "0 705 10 : 100 тг.",
                 "0 735 10 Сдача: 1187 тг.", Separator10(795)},
                Footer(825)});
    for (const char* printerName : {"0-kassa", "3-control"}) {
        const auto documents = Documents(QString::fromLatin1(printerName));
        ASSERT_EQ(documents.size(), 1u) << printerName;
        EXPECT_EQ(Body(documents[0]), body) << printerName;
        EXPECT_EQ(Ops(documents[0])[2], "0 125 12 Чек № 12");
        EXPECT_EQ(Ops(documents[0])[4], "0 200 8 Закрытие: 10.12.2025 11:00:00");
    }
    EXPECT_EQ(Pending(), "");
}

TEST_F(ReceiptsTest, TicketsGoToEachPrinterThatMakesDishesOfTheBatchAndTheControlTicketToControl) {
    Execute(
        u"insert into podzakaz (id, zakaz, podzakaz, menu, kolvo, price, printer) values "
        u"(16, 12, 2, 2, 3, 4500, 2), (17, 12, 2, 3, 1, 600, 1), (18, 12, 2, 5, 0, 800, 2)");
    Print(u"podzakaz", 12, u"2");
    ASSERT_EQ(errors, std::vector<std::string>{});
    const std::string separator(70, '-');
    const auto kitchen = Documents(QStringLiteral("1-kitchen"));
    ASSERT_EQ(kitchen.size(), 1u);
    EXPECT_EQ(Body(kitchen[0]), Joined({{"0 350 9 Борщ", "500 350 12 1",
                                         "0 390 9 Шашлык из баранины на углях с луком и зеленью",
                                         "500 390 12 4", "0 460 9 " + separator},
                                        Footer(490)}));
    EXPECT_EQ(Ops(kitchen[0])[2], "0 125 12 Заказ № 12");
    EXPECT_EQ(Ops(kitchen[0])[3], "0 175 8 Подзаказ №: 2");
    EXPECT_EQ(kitchen[0][QStringLiteral("title")].toString(), QStringLiteral("Заказ"));
    // The bar makes nothing of the batch; KASSA's dish is on the control ticket only, and the
    // dish that adds up to 0 on no ticket.
    EXPECT_EQ(Documents(QStringLiteral("2-bar")).size(), 0u);
    EXPECT_EQ(Documents(QStringLiteral("0-kassa")).size(), 0u);
    const auto control = Documents(QStringLiteral("3-control"));
    ASSERT_EQ(control.size(), 1u);
    EXPECT_EQ(Body(control[0]),
              Joined({{"0 350 9 Борщ", "500 350 12 1",
                       "0 390 9 Шашлык из баранины на углях с луком и зеленью", "500 390 12 4",
                       "0 430 9 Чай", "500 430 12 1", "0 500 9 " + separator},
                      Footer(530)}));
    EXPECT_EQ(Pending(), "");
    EXPECT_EQ(window->tmr, 2);
}

TEST_F(ReceiptsTest, NoControlCopiesUnlessTheSettingIsExactlyOne) {
    Execute(u"update settings set value=' 1' where name='control_printer'");
    window->settings();
    Print(u"predcheck", 12);
    Print(u"podzakaz", 12, u"1");
    EXPECT_EQ(Documents(QStringLiteral("0-kassa")).size(), 1u);
    EXPECT_EQ(Documents(QStringLiteral("3-control")).size(), 0u);
    EXPECT_EQ(Documents(QStringLiteral("1-kitchen")).size(), 1u);
    EXPECT_EQ(Documents(QStringLiteral("2-bar")).size(), 1u);
}

// Each failure stops the routine and leaves the job pending, to be printed again in full; the
// error names the job, and the printer where the printer failed.
TEST_F(ReceiptsTest, AFailingRoutineLeavesTheJobPending) {
    const struct {
        const char* what;
        const char16_t* damage;
        const char16_t* type;
        const char* error;
        int documents;
    } cases[] = {
        {"no KASSA row", u"update printers set name='KASSA2' where id=1", u"predcheck",
         "job 1 (predcheck, order 12): '' is not a valid integer value", 0},
        {"a price with a fraction", u"alter table podzakaz modify price decimal(8,2)", u"predcheck",
         "job 1 (predcheck, order 12): '1800.5' is not a valid integer value", 0},
        {"no payments", u"delete from pay", u"zakaz_close",
         "job 1 (zakaz_close, order 12): '' is not a valid integer value", 0},
        {"no CONTROL row for the control copy", u"update printers set name='CTRL' where id=4",
         u"zakaz_close", "job 1 (zakaz_close, order 12): '' is not a valid integer value", 1},
        {"a kitchen port beyond the printers", u"update printers set port=9 where id=2",
         u"podzakaz",
         "job 1 (podzakaz, order 12, printer KITCHEN, port 9): Printer index out of range", 0},
    };
    Execute(u"insert into type_pay (id, name) values (1, 'Наличные')");
    for (const auto& c : cases) {
        Execute(u"delete from print");
        Execute(u"delete from pay");
        Execute(u"insert into pay (zakaz, type_pay, cash_pay) values (12, 1, 20000)");
        Execute(c.damage);
        Execute(u"update podzakaz set price=price+0.5 where id=10 and price=1800");
        const int before = DocumentCount();
        errors.clear();
        Print(c.type, 12, u"1");
        EXPECT_EQ(errors, std::vector<std::string>{c.error}) << c.what;
        EXPECT_EQ(DocumentCount() - before, c.documents) << c.what;
        EXPECT_FALSE(Pending().empty()) << c.what;
        EXPECT_FALSE(printer->Printing()) << c.what;
        // The next check comes soon, for the jobs behind.
        EXPECT_EQ(window->tmr, 2) << c.what;
        form.reset();
        CreateDatabase();
        Fill();
    }
}

// A job that cannot be printed stays pending and untouched, and the good job behind it prints
// at the next check (at once behind a job of an unknown type, which is only left alone); until
// its wait is over the bad job is not tried again.
TEST_F(ReceiptsTest, ABadJobNeverHoldsBackTheGoodJobBehindIt) {
    const struct {
        const char* what;
        std::vector<std::u16string> damage;
        // Jobs 1 and 2: type, order and batch.
        const char16_t* jobs;
        const char* error;
    } cases[] = {
        {"a job of an unknown type", {}, u"('Predcheck', 12, null), ('podzakaz', 12, 1)", nullptr},
        {"a bill for an order that does not exist",
         {},
         u"('predcheck', 999999, null), ('podzakaz', 12, 1)",
         "job 1 (predcheck, order 999999): '' is not a valid integer value"},
        {"a closing receipt for an order that does not exist",
         {},
         u"('zakaz_close', 999999, null), ('predcheck', 12, null)",
         "job 1 (zakaz_close, order 999999): '' is not a valid integer value"},
        {"an item price that is not an integer",
         {u"alter table podzakaz modify price varchar(10)", u"update podzakaz set price='12.5'"},
         u"('predcheck', 12, null), ('podzakaz', 12, 2)",
         "job 1 (predcheck, order 12): '12.5' is not a valid integer value"},
        {"a dish whose printer's port lies beyond the printers",
         {u"update printers set port=7 where id=2"},
         u"('podzakaz', 12, 1), ('predcheck', 12, null)",
         "job 1 (podzakaz, order 12, printer KITCHEN, port 7): Printer index out of range"},
    };
    for (const auto& c : cases) {
        std::chrono::steady_clock::time_point now;
        window->SteadyNow = [&] { return now; };
        for (const std::u16string& statement : c.damage) {
            Execute(statement);
        }
        Execute(u"insert into print (type, zakaz, podzakaz) values " + std::u16string(c.jobs));
        Execute(u"update print set status='no'");
        errors.clear();
        int checks = 0;
        while (Value(u"select status from print where id=2") == u"no" && checks < 3) {
            window->Guarded([&] { window->check_print(); });
            ++checks;
        }
        EXPECT_EQ(checks, c.error ? 2 : 1) << c.what;
        EXPECT_EQ(Pending(), "1") << c.what;
        EXPECT_EQ(errors, c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{})
            << c.what;
        // Within its wait the bad job is left alone; after it, it is tried again and fails the
        // same way.
        const int before = DocumentCount();
        window->Guarded([&] { window->check_print(); });
        EXPECT_EQ(window->print_id, u"") << c.what;
        now += std::chrono::seconds(5);
        window->Guarded([&] { window->check_print(); });
        EXPECT_EQ(errors.size(), c.error ? 2u : 0u) << c.what;
        EXPECT_EQ(Pending(), "1") << c.what;
        EXPECT_EQ(Value(u"select count(*) from print where status not in ('no', 'yes')"), u"0");
        if (!c.error) {
            EXPECT_EQ(DocumentCount(), before) << c.what;
        }
        form.reset();
        CreateDatabase();
        Fill();
    }
}

}  // namespace
}  // namespace service_test
