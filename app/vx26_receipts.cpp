#include <cmath>

#include "app/sql_literal.h"
#include "app/vx26.h"
#include "platform/format_settings.h"

namespace app {

namespace {

using platform::IntToStr;
using platform::String;
using platform::StringView;
using platform::StrToInt;

// Amounts are 32-bit and wrap like the register arithmetic they come from.
int Wrapped(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// factor × (amount ÷ 100) in 80-bit extended precision, rounded half to even: a double gives
// other amounts (210 × 15 % is 31 here, 32 in double precision).
int PercentOf(int amount, int factor) {
    const long double share = static_cast<long double>(amount) / 100.0L;
    return Wrapped(std::llrintl(share * static_cast<long double>(factor)));
}

}  // namespace

void TForm1::predcheck() {
    top = 0;
    total = 0;
    tmr = 300;
    PrintBill(true);
    if (control_printer == u"1") {
        top = 0;
        total = 0;
        tmr = 300;
        PrintBill(false);
    }
    MarkPrinted();
}

// Both copies go to KASSA; the guest copy pauses after each dish line and has a gap where the
// control copy has its subtotal, and another before the footer.
void TForm1::PrintBill(bool guestCopy) {
    select_printer(u"select * from printers where name='KASSA'");
    begin_receipt(u"Предчек не cвернутый");
    read_order_context(TReceiptKind::Bill);
    receipt_header(u"Счет на оплату № ", TReceiptKind::Bill);
    print_order_lines(guestCopy);
    PrintSeparator();
    advance(25);
    set_size(10);
    if (!guestCopy) {
        put_text(0, u"Сумма заказа: " + money_text(total));
    }
    advance(30);
    print_order_totals();
    PrintSeparator();
    advance(30);
    if (guestCopy) {
        advance(30);
    }
    receipt_footer();
    total = 0;
    end_receipt();
    tmr = 2;
}

void TForm1::zakaz_close() {
    top = 0;
    total = 0;
    tmr = 300;
    PrintClosingReceipt(u"select * from printers where name='KASSA'");
    if (control_printer == u"1") {
        top = 0;
        total = 0;
        tmr = 300;
        PrintClosingReceipt(u"select * from printers where name='CONTROL'");
    }
    MarkPrinted();
}

void TForm1::PrintClosingReceipt(StringView printerSql) {
    select_printer(printerSql);
    begin_receipt(u"Предчек не cвернутый");
    read_order_context(TReceiptKind::ClosingReceipt);
    receipt_header(u"Чек № ", TReceiptKind::ClosingReceipt);
    print_order_lines(false);
    PrintSeparator();
    advance(25);
    set_size(10);
    put_text(0, u"Сумма заказа: " + money_text(total));
    advance(30);
    print_order_totals();
    PrintSeparator();
    advance(30);
    print_payments();
    advance(30);
    PrintSeparator();
    advance(30);
    receipt_footer();
    total = 0;
    end_receipt();
    tmr = 2;
}

void TForm1::podzakaz() {
    tmr = 300;
    top = 0;
    OpenQuery(1, u"select * from printers ORDER BY id ASC limit 1");
    const std::int64_t min_prd_i = StrToInt(Memo(42));
    OpenQuery(1, u"select * from printers ORDER BY id DESC limit 1");
    const std::int64_t max_prd_i = StrToInt(Memo(42));
    for (std::int64_t i = min_prd_i; i <= max_prd_i; ++i) {
        top = 0;
        OpenQuery(1, u"select * from printers WHERE id='" + IntToStr(i) + u"'");
        if (Memo(42).empty()) {
            continue;
        }
        if (control_printer == u"1" && Memo(2) == u"CONTROL") {
            print_ticket(true);
        }
        if (Memo(2) != u"KASSA" && Memo(2) != u"CONTROL") {
            print_ticket(false);
        }
    }
    MarkPrinted();
    tmr = 2;
}

void TForm1::print_order_lines(bool pause) {
    const String order = Memo(14);
    OpenQuery(
        6, u"select * from podzakaz where zakaz=" + SqlQuoted(order) + u" ORDER BY id ASC limit 1");
    const std::int64_t min_prdchk = StrToInt(Memo(22));
    OpenQuery(6, u"select * from podzakaz where zakaz=" + SqlQuoted(order) +
                     u"  ORDER BY id DESC limit 1");
    const std::int64_t max_prdchk = StrToInt(Memo(22));
    OpenQuery(10, u"select * from menu ORDER BY id DESC limit 1");
    const std::int64_t menu_max = StrToInt(Memo(39));
    OpenQuery(10, u"select * from menu ORDER BY id ASC limit 1");
    const std::int64_t menu_min = StrToInt(Memo(39));
    for (std::int64_t m = menu_min; m <= menu_max; ++m) {
        OpenQuery(10, u"select * from menu WHERE id='" + IntToStr(m) + u"'");
        if (Memo(39).empty()) {
            continue;
        }
        int menu_kolvo_sum = 0;
        int price_p = 0;
        for (std::int64_t k = min_prdchk; k <= max_prdchk; ++k) {
            OpenQuery(6, u"select * from podzakaz where id='" + IntToStr(k) + u"' ");
            if (Memo(24) == Memo(39) && Memo(30) == order) {
                menu_kolvo_sum = Wrapped(std::int64_t(menu_kolvo_sum) + StrToInt(Memo(23)));
                price_p = StrToInt(Memo(27));
            }
        }
        if (menu_kolvo_sum <= 0) {
            continue;
        }
        const String name = Memo(40);
        const int sum = Wrapped(std::int64_t(price_p) * menu_kolvo_sum);
        put_text(0, name.substr(0, 15));
        put_text(240, IntToStr(menu_kolvo_sum));
        put_text(290, u"X");
        put_text(320, IntToStr(price_p));
        put_text(400, u"=");
        put_text(430, money_text(sum));
        advance(30);
        if (name.size() > 15) {
            put_text(0, name.substr(15, 30));
            advance(30);
        }
        total = Wrapped(std::int64_t(total) + sum);
        if (pause && Pause) {
            Pause(500);
        }
    }
}

void TForm1::print_order_totals() {
    const String procent = Memo(31);
    const int service = PercentOf(total, StrToInt(procent));
    put_text(0, u"Обслуживание " + procent + u"% " + money_text(service));
    advance(30);
    int discount = 0;
    const String client = Memo(17);
    if (!client.empty()) {
        OpenQuery(12, u"select * from users where id=" + SqlQuoted(client) + u" ");
        if (!Memo(43).empty()) {
            discount = StrToInt(Memo(43));
        }
    }
    const int sum_discount = PercentOf(Wrapped(std::int64_t(total) + service), discount);
    put_text(0, u"Скидка: " + IntToStr(discount) + u"% " + money_text(sum_discount));
    advance(30);
    const int check_sum = Wrapped(std::int64_t(total) + service - sum_discount);
    put_text(0, u"Итог: " + money_text(check_sum));
    advance(30);
}

void TForm1::print_payments() {
    const String order = Memo(14);
    OpenQuery(9,
              u"select * from pay where zakaz=" + SqlQuoted(order) + u" ORDER BY id ASC limit 1");
    const std::int64_t pay_min = StrToInt(Memo(37));
    OpenQuery(9,
              u"select * from pay where zakaz=" + SqlQuoted(order) + u" ORDER BY id DESC limit 1");
    const std::int64_t pay_max = StrToInt(Memo(37));
    for (std::int64_t k = pay_min; k <= pay_max; ++k) {
        OpenQuery(9, u"select * from pay where id='" + IntToStr(k) + u"' ORDER BY id DESC limit 1");
        if (Memo(38) != order || Memo(36) == u"0") {
            continue;
        }
        OpenQuery(11, u"select * from type_pay where id=" + SqlQuoted(Memo(35)) + u" ");
        const int amount = StrToInt(Memo(36));
        const bool change = amount < 0;
        const int oplata = change ? Wrapped(-std::int64_t(amount)) : amount;
        const String name_oplata = change ? String(u"Сдача") : Memo(41);
        put_text(0, name_oplata + u": " + money_text(oplata));
        advance(30);
    }
}

void TForm1::print_ticket(bool control) {
    read_order_context(TReceiptKind::Ticket);
    const String order = Memo(8);
    const String batch = Memo(10);
    const String printerId = Memo(42);
    if (control) {
        OpenQuery(6, u"select * from podzakaz WHERE zakaz=" + SqlQuoted(order) + u" AND podzakaz=" +
                         SqlQuoted(batch) + u" ");
    } else {
        OpenQuery(6, u"select * from podzakaz WHERE printer=" + SqlQuoted(printerId) +
                         u" AND zakaz=" + SqlQuoted(order) + u" AND podzakaz=" + SqlQuoted(batch) +
                         u" ");
    }
    if (Memo(22).empty()) {
        return;
    }
    OpenQuery(10, u"select * from menu ORDER BY id ASC limit 1");
    const std::int64_t m_min_i = StrToInt(Memo(39));
    OpenQuery(10, u"select * from menu ORDER BY id DESC limit 1");
    const std::int64_t m_max_i = StrToInt(Memo(39));
    FPrinter.SetPrinterIndex(StrToInt(Memo(1)));
    begin_receipt(u"Заказ");
    receipt_header(u"Заказ № ", TReceiptKind::Ticket);
    for (std::int64_t m = m_min_i; m <= m_max_i; ++m) {
        OpenQuery(10, u"select * from menu WHERE id='" + IntToStr(m) + u"'");
        if (Memo(39).empty()) {
            continue;
        }
        int kolvo_p = 0;
        OpenQuery(6, u"select * from podzakaz WHERE zakaz=" + SqlQuoted(order) +
                         u" ORDER BY id ASC limit 1");
        const std::int64_t p_min = StrToInt(Memo(22));
        OpenQuery(6, u"select * from podzakaz WHERE zakaz=" + SqlQuoted(order) +
                         u" ORDER BY id DESC limit 1");
        const std::int64_t p_max = StrToInt(Memo(22));
        for (std::int64_t k = p_min; k <= p_max; ++k) {
            OpenQuery(6, u"select * from podzakaz WHERE id='" + IntToStr(k) + u"'");
            const bool matches = !Memo(22).empty() && Memo(30) == order && Memo(26) == batch &&
                                 Memo(24) == Memo(39) && (control || Memo(28) == printerId);
            if (matches) {
                kolvo_p = Wrapped(std::int64_t(kolvo_p) + StrToInt(Memo(23)));
            }
        }
        if (kolvo_p > 0) {
            put_text(0, Memo(40));
            set_size(12);
            put_text(500, IntToStr(kolvo_p));
            advance(40);
            set_size(9);
        }
    }
    advance(30);
    PrintSeparator();
    advance(30);
    receipt_footer();
    end_receipt();
}

void TForm1::PrintSeparator() {
    put_text(0, String(70, u'-'));
}

void TForm1::MarkPrinted() {
    ExecuteSQL(u"UPDATE `print` SET status='yes' WHERE id=" + SqlQuoted(print_id));
}

}  // namespace app
