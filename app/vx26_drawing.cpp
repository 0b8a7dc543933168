#include "app/qt_text.h"
#include "app/sql_literal.h"
#include "app/vx26.h"
#include "platform/format_settings.h"

namespace app {

namespace {

using platform::String;
using platform::StringView;

constexpr const char16_t* DateFormat = u"dd.mm.yyyy hh:mm:ss";

}  // namespace

void TForm1::select_printer(StringView sql) {
    OpenQuery(1, sql);
    FPrinter.SetPrinterIndex(platform::StrToInt(Memo(1)));
}

void TForm1::begin_receipt(StringView title) {
    FPrinter.Title = Q(title);
    FPrinter.BeginDoc();
    top = 0;
}

void TForm1::put_text(int x, StringView text) {
    FPrinter.TextOut(x, top, Q(text));
}

void TForm1::end_receipt() {
    FPrinter.EndDoc();
}

String TForm1::money_text(int amount) {
    return platform::IntToStr(amount) + u" тг.";
}

String TForm1::unix_date_text(StringView seconds) {
    dt = platform::UnixToDateTime(std::int64_t(platform::StrToInt(seconds)));
    dt2 = platform::FormatDateTime(DateFormat, dt);
    return dt2;
}

String TForm1::now_text() {
    dt = platform::UnixToDateTime(platform::DateTimeToUnix(platform::Now()));
    dt2 = platform::FormatDateTime(DateFormat, dt);
    return dt2;
}

void TForm1::read_order_context(TReceiptKind kind) {
    if (kind == TReceiptKind::Ticket) {
        OpenQuery(4, u"select * from print WHERE id=" + SqlQuoted(print_id));
    } else {
        OpenQuery(4, u"select * from print where id=" + SqlQuoted(print_id) +
                         u" ORDER BY id ASC limit 1");
    }
    OpenQuery(5, u"select * from zakaz where id=" + SqlQuoted(Memo(13)) + u" ");
    OpenQuery(7, u"select * from tables where id=" + SqlQuoted(Memo(20)) + u" ");
    OpenQuery(8, u"select * from cat_tables where id=" + SqlQuoted(Memo(33)) +
                     u" ORDER BY id ASC limit 1");
}

void TForm1::receipt_header(StringView numberLabel, TReceiptKind kind) {
    set_size(16);
    put_text(platform::StrToInt(name_check_left), oragnization);
    advance(50);
    set_size(10);
    put_text(platform::StrToInt(title_check_left), titles);
    advance(50);
    set_size(8);
    advance(25);
    set_size(12);
    put_text(0, String(numberLabel) + Memo(13));
    advance(50);
    set_size(8);
    if (kind == TReceiptKind::Ticket) {
        put_text(0, u"Подзаказ №: " + Memo(10));
        advance(25);
    }
    put_text(0, u"Открытие: " + unix_date_text(Memo(15)));
    advance(25);
    if (kind == TReceiptKind::Bill) {
        put_text(0, u"Печать счета: " + now_text());
        advance(25);
    } else if (kind == TReceiptKind::ClosingReceipt) {
        put_text(0, u"Закрытие: " + unix_date_text(Memo(16)));
        advance(25);
    }
    put_text(0, u"Официант: " + Memo(21));
    advance(25);
    put_text(0, u"Зал: " + Memo(34));
    advance(25);
    put_text(0, u"Стол: " + Memo(32));
    advance(25);
    put_text(0, u"Принтер " + Memo(2));
    advance(25);
    put_text(0, String(72, u'-'));
    advance(25);
    set_size(9);
}

void TForm1::receipt_footer() {
    set_size(7);
    put_text(0, u"Программа разработана ИП \"Вектрон\"");
    advance(30);
    put_text(0, u"Тел: +7 (700) 100 20 30");
    advance(30);
}

}  // namespace app
