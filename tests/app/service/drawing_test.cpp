#include <gtest/gtest.h>

#include "app/sql_literal.h"
#include "tests/app/service/service_fixture.h"
#include "tests/support/raised_message.h"

namespace service_test {
namespace {

using test_support::RaisedMessage;

TEST(DrawingTexts, MoneyText) {
    const struct {
        int amount;
        const char16_t* text;
    } cases[] = {{1500, u"1500 тг."}, {-250, u"-250 тг."}, {0, u"0 тг."}};
    for (const auto& c : cases) {
        EXPECT_EQ(app::TForm1::money_text(c.amount), c.text);
    }
}

using DrawingTest = ServiceTest;

TEST_F(DrawingTest, UnixDatesAreFormattedWithoutTimeZone) {
    app::TForm1& window = Start();
    const struct {
        const char16_t* seconds;
        const char* text;
    } cases[] = {
        {u"0", "01.01.1970 00:00:00"},
        {u"86399", "01.01.1970 23:59:59"},
        {u"-1", "31.12.1969 23:59:59"},
        {u"1765360800", "10.12.2025 10:00:00"},
        {u"2147483647", "19.01.2038 03:14:07"},
        {u"", "'' is not a valid integer value"},
        {u"12.5", "'12.5' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        const std::string text =
            RaisedMessage([&] { throw std::runtime_error(U8(window.unix_date_text(c.seconds))); });
        EXPECT_EQ(text, c.text) << U8(c.seconds);
    }
    EXPECT_EQ(window.now_text(), u"10.12.2026 14:05:09");
    EXPECT_EQ(window.dt2, u"10.12.2026 14:05:09");
}

// One order at table VIP of the main hall, a batch 2 of it, and a job of each kind.
class ReceiptHeaderTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        InsertSettings();
        InsertPrinters();
        Execute(u"insert into cat_tables (id, name) values (1, 'Основной зал')");
        Execute(u"insert into tables (id, name, procent, cat_tables) values (3, 'VIP', 15, 1)");
        Execute(
            u"insert into zakaz (id, date_open, date_close, client, tables, waitres) values "
            u"(12, 1765360800, 1765364400, null, 3, 'Айгерим')");
        Execute(
            u"insert into print (id, type, status, zakaz, podzakaz) values (40, 'x', 'no', 12, 2)");
    }

    std::vector<std::string> Header(app::TReceiptKind kind, const char16_t* label) {
        app::TForm1& window = form ? *form : Start();
        window.settings();
        window.print_id = u"40";
        window.select_printer(u"select * from printers where name='KASSA'");
        window.read_order_context(kind);
        window.begin_receipt(u"Заказ");
        window.receipt_header(label, kind);
        window.receipt_footer();
        window.end_receipt();
        return Ops(Documents(QStringLiteral("0-kassa")).back());
    }
};

TEST_F(ReceiptHeaderTest, EachKindDrawsItsHeaderRowsAndTheFooter) {
    const std::string separator(72, '-');
    const std::vector<std::string> top = {
        "40 0 16 Кафе «Самал»",
        "60 50 10 пр. Абая 52",
    };
    const std::vector<std::string> bottom = {
        "0 225 8 Официант: Айгерим",
        "0 250 8 Зал: Основной зал",
        "0 275 8 Стол: VIP",
        "0 300 8 Принтер KASSA",
        "0 325 8 " + separator,
        "0 350 7 Программа разработана ИП \"Вектрон\"",
        "0 380 7 Тел: +7 (700) 100 20 30",
    };
    const struct {
        app::TReceiptKind kind;
        const char16_t* label;
        std::vector<std::string> middle;
    } cases[] = {
        {app::TReceiptKind::Bill,
         u"Счет на оплату № ",
         {"0 125 12 Счет на оплату № 12", "0 175 8 Открытие: 10.12.2025 10:00:00",
          "0 200 8 Печать счета: 10.12.2026 14:05:09"}},
        {app::TReceiptKind::ClosingReceipt,
         u"Чек № ",
         {"0 125 12 Чек № 12", "0 175 8 Открытие: 10.12.2025 10:00:00",
          "0 200 8 Закрытие: 10.12.2025 11:00:00"}},
        {app::TReceiptKind::Ticket,
         u"Заказ № ",
         {"0 125 12 Заказ № 12", "0 175 8 Подзаказ №: 2", "0 200 8 Открытие: 10.12.2025 10:00:00"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> expected = top;
        expected.insert(expected.end(), c.middle.begin(), c.middle.end());
        expected.insert(expected.end(), bottom.begin(), bottom.end());
        EXPECT_EQ(Header(c.kind, c.label), expected) << U8(c.label);
        EXPECT_EQ(printer->FontSize(), 7);
    }
}

// A routine that fails after beginning its document leaves nothing on the printer and the
// printer free for the next document.
TEST_F(ReceiptHeaderTest, ADocumentItsRoutineAbandonsIsDiscarded) {
    app::TForm1& window = Start();
    window.print_id = u"40";
    window.Guarded([&] {
        window.select_printer(u"select * from printers where name='KASSA'");
        window.read_order_context(app::TReceiptKind::Bill);
        window.begin_receipt(u"Предчек не cвернутый");
        window.receipt_header(u"Счет на оплату № ", app::TReceiptKind::Bill);
    });
    EXPECT_EQ(errors, std::vector<std::string>{"'' is not a valid integer value"});
    EXPECT_FALSE(printer->Printing());
    EXPECT_EQ(DocumentCount(), 0);
    window.settings();
    EXPECT_EQ(Header(app::TReceiptKind::Bill, u"Счет на оплату № ").size(), 12u);
}

TEST_F(DrawingTest, SplicedValuesKeepTheirQuotesAndBackslashes) {
    const struct {
        const char16_t* value;
        const char16_t* literal;
    } cases[] = {
        {u"12", u"12"},          {u"Кафе «Самал»", u"Кафе «Самал»"},
        {u"it's", u"it''s"},     {u"back\\slash", u"back\\\\slash"},
        {u"a\\'b", u"a\\\\''b"}, {u"1' or '1'='1", u"1'' or ''1''=''1"},
    };
    app::TForm1& window = Start();
    for (const auto& c : cases) {
        EXPECT_EQ(app::SqlLiteral(c.value), c.literal);
        data_access::TUniQuery& query = window.Query(2);
        query.SQL().Clear();
        query.SQL().Add(u"select '" + app::SqlLiteral(c.value) + u"' as value");
        query.Open();
        EXPECT_EQ(window.Memo(3), c.value);
    }
}

}  // namespace
}  // namespace service_test
