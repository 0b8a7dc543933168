#include "app/sql_literal.h"
#include "app/vx26.h"
#include "platform/format_settings.h"

namespace app {

using platform::String;

void TForm1::Button1Click() {
    select_printer(u"select * from printers where name='KASSA'");
    TestPrint(14, 12, 8);
}

void TForm1::Button2Click() {
    select_printer(u"select * from printers where name='BAR'");
    TestPrint(14, 12, 8);
}

void TForm1::Button3Click() {
    select_printer(u"select * from printers where name='KITCHEN'");
    TestPrint(14, 12, 8);
}

void TForm1::Button4Click() {
    select_printer(u"select * from printers where name='CONTROL'");
    TestPrint(14, 12, 8);
}

// The printer is the one whose index the combo box holds, whatever the query finds.
void TForm1::Button5Click() {
    const String text = ComboBox1->currentText().toStdU16String();
    OpenQuery(1, u"select * from printers where port='" + SqlLiteral(text) + u"'");
    FPrinter.SetPrinterIndex(platform::StrToInt(text));
    TestPrint(16, 10, 12);
}

void TForm1::TestPrint(int sizeA, int sizeB, int sizeC) {
    begin_receipt(u"Тестовая печать...");
    const String separator(60, u'-');
    const struct {
        int size;
        String text;
        int advance;
    } head[] = {
        {sizeA, u"ORVANTE", 40},
        {sizeB, u"ZELVA BAR", 35},
        {sizeC, u"", 25},
        {sizeC, u"Счет № 12344 ", 25},
        {sizeC, platform::FormatDateTime(u"dd mm yyyy hh:mm:ss", platform::Now()), 25},
        {sizeC, u"Принтер " + Memo(2), 25},
        {sizeC, separator, 25},
    };
    for (const auto& row : head) {
        set_size(row.size);
        put_text(0, row.text);
        advance(row.advance);
    }
    set_size(9);
    for (int i = 1; i <= 5; ++i) {
        const String number = platform::IntToStr(i);
        put_text(0, number + u"тут отображается заказ ");
        advance(25);
        put_text(0, u"  " + number + u" X 1000 = 5000 тг.");
        advance(25);
    }
    put_text(0, separator);
    advance(25);
    set_size(10);
    for (const char16_t* text :
         {u"Сумма заказа: 50000 тг.", u"Скидка: 0%", u"Итог: 50000 тг.", separator.c_str(),
          u"Оплата наличными: 50000 тг.", u"Оплата картой: 0 тг.", u"Сдача: 0 тг.",
          separator.c_str(), separator.c_str()}) {
        put_text(0, text);
        advance(30);
    }
    set_size(12);
    put_text(0, u"Ждем Вас снова у нас!!!");
    advance(25);
    end_receipt();
}

}  // namespace app
