#include <gtest/gtest.h>

#include "tests/app/service/service_fixture.h"
#include "tests/support/raised_message.h"

namespace service_test {
namespace {

using test_support::RaisedMessage;

// The sample receipt as it must come out, for the three sizes and the printer's name.
std::vector<std::string> SampleOps(int a, int b, int c, const std::string& printerName) {
    const std::string separator(60, '-');
    auto op = [](int y, int size, const std::string& text) {
        return "0 " + std::to_string(y) + " " + std::to_string(size) + " " + text;
    };
    std::vector<std::string> ops = {
        op(0, a, "ORVANTE"),
        op(40, b, "ZELVA BAR"),
        op(100, c, "Счет № 12344 "),
        op(125, c, "10 12 2026 14:05:09"),
        op(150, c, "Принтер " + printerName),
        op(175, c, separator),
    };
    int y = 200;
    for (int i = 1; i <= 5; ++i) {
        ops.push_back(op(y, 9, std::to_string(i) + "тут отображается заказ "));
        ops.push_back(op(y + 25, 9, "  " + std::to_string(i) + " X 1000 = 5000 тг."));
        y += 50;
    }
    ops.push_back(op(450, 9, separator));
    y = 475;
    for (const std::string& text :
         {std::string("Сумма заказа: 50000 тг."), std::string("Скидка: 0%"),
          std::string("Итог: 50000 тг."), separator, std::string("Оплата наличными: 50000 тг."),
          std::string("Оплата картой: 0 тг."), std::string("Сдача: 0 тг."), separator, separator}) {
        ops.push_back(op(y, 10, text));
        y += 30;
    }
    ops.push_back(op(745, 12, "Ждем Вас снова у нас!!!"));
    return ops;
}

using TestPrintsTest = ServiceTest;

TEST_F(TestPrintsTest, EachPrinterButtonPrintsTheSampleOnItsPrinter) {
    InsertPrinters();
    app::TForm1& window = Start();
    const struct {
        void (app::TForm1::*click)();
        const char* directory;
        const char* name;
    } buttons[] = {
        {&app::TForm1::Button1Click, "0-kassa", "KASSA"},
        {&app::TForm1::Button2Click, "2-bar", "BAR"},
        {&app::TForm1::Button3Click, "1-kitchen", "KITCHEN"},
        {&app::TForm1::Button4Click, "3-control", "CONTROL"},
    };
    for (const auto& b : buttons) {
        (window.*b.click)();
        const auto documents = Documents(QString::fromLatin1(b.directory));
        ASSERT_EQ(documents.size(), 1u) << b.name;
        EXPECT_EQ(documents[0][QStringLiteral("title")].toString(),
                  QStringLiteral("Тестовая печать..."));
        EXPECT_EQ(documents[0][QStringLiteral("printer")].toString(),
                  QString::fromLatin1(b.directory));
        EXPECT_EQ(Ops(documents[0]), SampleOps(14, 12, 8, b.name)) << b.name;
    }
}

TEST_F(TestPrintsTest, TheIndexButtonPrintsOnThePrinterTheComboBoxNames) {
    InsertPrinters();
    Execute(u"update printers set port=7 where name='KASSA'");
    app::TForm1& window = Start();
    const struct {
        const char* text;
        const char* directory;
        const char* name;
    } cases[] = {
        {"2", "2-bar", "BAR"},
        // No printers row has port 0: the name stays empty, the printer is still the first.
        {"0", "0-kassa", ""},
        {"-1", "0-kassa", ""},
    };
    for (const auto& c : cases) {
        window.ComboBox1->setEditText(QString::fromLatin1(c.text));
        const int before = int(Documents(QString::fromLatin1(c.directory)).size());
        window.Button5Click();
        const auto documents = Documents(QString::fromLatin1(c.directory));
        ASSERT_EQ(int(documents.size()), before + 1) << c.text;
        EXPECT_EQ(Ops(documents.back()), SampleOps(16, 10, 12, c.name)) << c.text;
    }
}

TEST_F(TestPrintsTest, ATestPrintThatCannotChooseItsPrinterPrintsNothing) {
    InsertPrinters();
    Execute(u"update printers set port=9 where name='BAR'");
    Execute(u"delete from printers where name='CONTROL'");
    app::TForm1& window = Start();
    const struct {
        const char* what;
        std::function<void()> click;
        const char* error;
    } cases[] = {
        {"port beyond the printers", [&] { window.Button2Click(); }, "Printer index out of range"},
        {"no printers row", [&] { window.Button4Click(); }, "'' is not a valid integer value"},
        {"index beyond the printers",
         [&] {
             window.ComboBox1->setEditText(QStringLiteral("4"));
             window.Button5Click();
         },
         "Printer index out of range"},
        {"no index",
         [&] {
             window.ComboBox1->setEditText(QStringLiteral("x"));
             window.Button5Click();
         },
         "'x' is not a valid integer value"},
        {"a quote in the combo box",
         [&] {
             window.ComboBox1->setEditText(QStringLiteral("1' or '1'='1"));
             window.Button5Click();
         },
         "'1' or '1'='1' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RaisedMessage(c.click), c.error) << c.what;
        EXPECT_FALSE(printer->Printing()) << c.what;
    }
    EXPECT_EQ(DocumentCount(), 0);
}

// A test print asked for while another document is being spooled finds the printer busy; the
// document being spooled still comes out whole.
TEST_F(TestPrintsTest, ATestPrintDuringSpoolingFindsThePrinterBusy) {
    InsertPrinters();
    app::TForm1& window = Start();
    std::string nested;
    printer->ProcessEvents = [&] {
        window.Guarded([&] { window.Button2Click(); });
        nested = errors.empty() ? "(nothing)" : errors.back();
    };
    window.Button1Click();
    EXPECT_EQ(nested, "Printing in progress");
    EXPECT_EQ(Documents(QStringLiteral("0-kassa")).size(), 1u);
    EXPECT_EQ(Documents(QStringLiteral("2-bar")).size(), 0u);
    printer->ProcessEvents = nullptr;
    window.Button2Click();
    EXPECT_EQ(Documents(QStringLiteral("2-bar")).size(), 1u);
}

}  // namespace
}  // namespace service_test
