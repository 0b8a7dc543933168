#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <set>

#include "app/job_retries.h"
#include "app/printing/printer.h"
#include "app/service_settings.h"
#include "data_access/uni.h"
#include "platform/date_time.h"
#include "platform/db_memo.h"
#include "platform/text.h"

namespace app {

// The receipt kinds of the header block.
enum class TReceiptKind { Bill, ClosingReceipt, Ticket };

// A print job failed; the message says which job and why.
class EJobFailed : public platform::Exception {
public:
    using Exception::Exception;
};

// The service's one window: the database components through which every value is read, the two
// timers that drive the work, the tray icon and the panel with the test prints and the current
// parameters. The handlers are plain methods; the timers, buttons and tray only call them.
class TForm1 : public QWidget {
public:
    // Builds the window and its components and opens every query (the first one connects the
    // connection); raises the first failure, with Form1 reset. Errors of the handlers that Qt
    // calls go to reportError.
    TForm1(const TServiceSettings& settings, TPrinter& printer,
           std::function<void(const std::exception&)> reportError);
    ~TForm1() override;

    // Shows the window as the program starts: collapsed, reached through the tray icon, or open
    // at once where there is no notification area (the icon could never be clicked).
    void ShowAtStart();

    // Unit-level variables of the window.
    int tm = 0;
    int tmr = 0;
    platform::String oragnization;
    platform::String titles;
    platform::String control_printer;
    platform::String printer_timer;
    platform::String printer_total;
    platform::String name_check_left;
    platform::String title_check_left;
    platform::String print_id;
    platform::TDateTime dt = 0;
    platform::String dt2;

    // Handlers.
    void FormCreate();
    void count_port();
    void TrayIcon1Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Timer1Timer();
    void Timer2Timer();
    void check_print();
    void settings();
    // The receipt routines of the three job types.
    virtual void podzakaz();
    virtual void predcheck();
    virtual void zakaz_close();
    // Their blocks: the dish lines of the current order (pausing after each on the guest copy of
    // the bill), the service, discount and total lines, the payments, one kitchen or bar ticket
    // for the current printers row.
    void print_order_lines(bool pause);
    void print_order_totals();
    void print_payments();
    void print_ticket(bool control);
    // The sum of the order lines of the document being drawn.
    int total = 0;
    // Waits that many milliseconds (the pause after each dish line of a guest bill).
    std::function<void(int milliseconds)> Pause;
    // The clock of the retry waits.
    std::function<TJobRetries::Clock::time_point()> SteadyNow = TJobRetries::Clock::now;
    // Which failed jobs wait before their next try.
    TJobRetries Retries{[this] { return SteadyNow(); }};
    // Where the service says what it does that is no error (a job it leaves alone).
    std::function<void(const QString& line)> Log;

    // The drawing model every document uses.
    void select_printer(platform::StringView sql);
    void begin_receipt(platform::StringView title);
    void put_text(int x, platform::StringView text);
    void advance(int n) { top += n; }
    void set_size(int points) { FPrinter.SetFontSize(points); }
    void end_receipt();
    static platform::String money_text(int amount);
    // Both keep the date in dt and its text in dt2.
    platform::String unix_date_text(platform::StringView seconds);
    platform::String now_text();
    void read_order_context(TReceiptKind kind);
    void receipt_header(platform::StringView numberLabel, TReceiptKind kind);
    void receipt_footer();
    int top = 0;

    // Runs a handler as Qt calls it: a failure goes to the error report, and a document the
    // handler began and left open is dropped.
    void Guarded(const std::function<void()>& handler);

    // Components, as the window's resource names them.
    data_access::TUniConnection UniConnection1{u"UniConnection1"};
    std::array<std::unique_ptr<data_access::TUniQuery>, 12> UniQuery;
    std::array<std::unique_ptr<data_access::TUniDataSource>, 12> UniDataSource;
    data_access::TUniSQL UniSQL1{u"UniSQL1"};
    std::array<std::unique_ptr<platform::TDBMemo>, 43> DBMemo;
    // 1-based, as the window names them.
    data_access::TUniQuery& Query(int number) { return *UniQuery.at(std::size_t(number - 1)); }
    platform::String Memo(int number) const { return DBMemo.at(std::size_t(number - 1))->Text(); }

    QTimer Timer1;
    QTimer Timer2;
    QSystemTrayIcon TrayIcon1;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    std::array<QPushButton*, 8> Button{};
    std::array<QLabel*, 7> Label{};
    QComboBox* ComboBox1 = nullptr;
    QListWidget* ListBox1 = nullptr;

private:
    void CreateComponents(const TServiceSettings& settings);
    void LoadComponents();
    void CreatePanel();
    void ConnectSignals();
    // The sample receipt on the current printer.
    void TestPrint(int sizeA, int sizeB, int sizeC);
    // One copy of the bill: the guest's or the control copy.
    void PrintBill(bool guestCopy);
    // One copy of the closing receipt on the printer the query finds.
    void PrintClosingReceipt(platform::StringView printerSql);
    void PrintSeparator();
    // Moves the queue query to the oldest pending job that can be handled now; false when
    // there is none.
    bool SelectJob();
    // Whether the job of the queue query's current row, with that id, can be handled now: of a
    // known type (a job of another type is left alone, and said so once) and not waiting for a
    // retry.
    bool Ready(const platform::String& job);
    // Hands the job of the queue query's current row to its routine. A job that fails waits
    // for its retry and no longer holds the queue: the next check comes soon and takes the job
    // behind it. Raises EJobFailed naming the job.
    void RunJob();
    // A failure that left the connection closed is an outage: once the queue can be read
    // again, the jobs that waited for a retry are tried at once.
    void NoteOutage();
    // Marks the job printed.
    void MarkPrinted();
    void SetLabel(int number, platform::StringView text);
    // Replaces the command's text and executes it.
    void ExecuteSQL(platform::StringView sql);
    // Replaces the query's text and opens it.
    void OpenQuery(int number, platform::StringView sql);

    TPrinter& FPrinter;
    std::function<void(const std::exception&)> FReportError;
    bool FOutage = false;
    // The pending jobs of unknown type already logged.
    std::set<platform::String> FUnknownJobs;
};

// The window of the running program; nullptr before it is built and after a failed start.
extern TForm1* Form1;

}  // namespace app
