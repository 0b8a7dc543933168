#include "app/vx26.h"
#include "platform/format_settings.h"

namespace app {

namespace {

using platform::String;

// The countdown a queue check starts again from when printer_timer gives none.
constexpr int FallbackQueueCountdown = 10;

String Seconds(int value) {
    return platform::IntToStr(value) + u" c.";
}

}  // namespace

void TForm1::Timer1Timer() {
    --tm;
    SetLabel(5, u"Проверка данных через: " + Seconds(tm));
    if (tm != 0) {
        return;
    }
    tm = 10;
    ExecuteSQL(u"SELECT * FROM `print` limit 1");
    settings();
}

// A printer_timer that is no positive integer would leave the countdown below zero for good, so
// that no job were printed again until a restart: the countdown starts again instead, and the
// check runs as soon as the setting is valid. A text that is no integer is still reported.
void TForm1::Timer2Timer() {
    --tmr;
    SetLabel(6, u"До проверки печати: " + Seconds(tmr));
    if (tmr != 0) {
        return;
    }
    try {
        tmr = platform::StrToInt(printer_timer);
    } catch (...) {
        tmr = FallbackQueueCountdown;
        throw;
    }
    if (tmr <= 0) {
        tmr = FallbackQueueCountdown;
    }
    check_print();
}

void TForm1::check_print() {
    OpenQuery(3, u"select * from print where status='no' ORDER BY id ASC");
    print_id = Memo(4);
    SetLabel(7, Memo(6).empty() ? u"Нет очереди печати" : u"Есть очередь печати");
    if (Memo(4).empty()) {
        return;
    }
    if (Memo(7) == u"podzakaz") {
        podzakaz();
    }
    if (Memo(7) == u"predcheck") {
        predcheck();
    }
    if (Memo(7) == u"zakaz_close") {
        zakaz_close();
    }
}

void TForm1::settings() {
    static constexpr struct {
        const char16_t* key;
        String TForm1::*variable;
        int label;
        const char16_t* caption;
    } keys[] = {
        {u"oragnization", &TForm1::oragnization, 1, u""},
        {u"title", &TForm1::titles, 0, nullptr},
        {u"control_printer", &TForm1::control_printer, 2, u"Контрольный принтер: "},
        {u"printer_timer", &TForm1::printer_timer, 3, u"Таймер печати: "},
        {u"printer_total", &TForm1::printer_total, 4, u"Сворачивание позиций: "},
        {u"name_check_left", &TForm1::name_check_left, 0, nullptr},
        {u"title_check_left", &TForm1::title_check_left, 0, nullptr},
    };
    UniConnection1.SetConnected(true);
    for (const auto& key : keys) {
        OpenQuery(2, u"select * from settings where name='" + String(key.key) + u"'");
        this->*key.variable = Memo(3);
        if (key.label != 0) {
            SetLabel(key.label, key.caption + this->*key.variable);
        }
    }
}

}  // namespace app
