#include "app/qt_text.h"
#include "app/vx26.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace app {

namespace {

using platform::String;

// The countdown a queue check starts again from when printer_timer gives none.
constexpr int FallbackQueueCountdown = 10;
// The countdown after a job failed: the jobs behind it come next.
constexpr int CountdownAfterFailure = 2;

String Seconds(int value) {
    return platform::IntToStr(value) + u" c.";
}

// The routine of a job type, compared exactly; nullptr for a type the service does not print.
void (TForm1::*RoutineOf(platform::StringView type))() {
    if (type == u"podzakaz") {
        return &TForm1::podzakaz;
    }
    if (type == u"predcheck") {
        return &TForm1::predcheck;
    }
    if (type == u"zakaz_close") {
        return &TForm1::zakaz_close;
    }
    return nullptr;
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
    try {
        OpenQuery(3, u"select * from print where status='no' ORDER BY id ASC");
    } catch (...) {
        NoteOutage();
        throw;
    }
    if (std::exchange(FOutage, false)) {
        Retries.EndWaits();
    }
    const bool queued = !Memo(6).empty();
    const bool found = SelectJob();
    print_id = found ? Memo(4) : String();
    SetLabel(7, queued ? u"Есть очередь печати" : u"Нет очереди печати");
    if (found) {
        RunJob();
    }
}

bool TForm1::SelectJob() {
    data_access::TUniQuery& queue = Query(3);
    std::set<String> pending;
    int chosen = -1;
    int row = 0;
    for (queue.First(); !queue.Eof(); queue.Next(), ++row) {
        const String job = Memo(4);
        pending.insert(job);
        if (chosen < 0 && Ready(job)) {
            chosen = row;
        }
    }
    Retries.KeepOnly(pending);
    std::erase_if(FUnknownJobs, [&](const String& job) { return !pending.contains(job); });
    if (chosen < 0) {
        return false;
    }
    queue.First();
    for (int i = 0; i < chosen; ++i) {
        queue.Next();
    }
    return true;
}

bool TForm1::Ready(const String& job) {
    const String type = Memo(7);
    if (!RoutineOf(type)) {
        if (FUnknownJobs.insert(job).second && Log) {
            Log(Q(u"job " + job + u" (type '" + type + u"', order " + Memo(8) +
                  u"): no such job type; the job is left pending"));
        }
        return false;
    }
    return !Retries.Waiting(job);
}

void TForm1::RunJob() {
    const String job = print_id;
    const String type = Memo(7);
    String context = u"job " + job + u" (" + type + u", order " + Memo(8);
    try {
        (this->*RoutineOf(type))();
        Retries.Succeeded(job);
    } catch (const std::exception& error) {
        Retries.Failed(job);
        NoteOutage();
        tmr = CountdownAfterFailure;
        // A printer's failure names the printers row it was chosen by.
        if (dynamic_cast<const EPrinter*>(&error) && Query(1).Active()) {
            context += u", printer " + Memo(2) + u", port " + Memo(1);
        }
        throw EJobFailed(platform::Utf16ToUtf8(context) + "): " + error.what());
    }
}

void TForm1::NoteOutage() {
    FOutage = FOutage || !UniConnection1.Connected();
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
