#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <ostream>

#include "app/error_log.h"

namespace app {

// A modal box that shows one error. Show returns at once, so that the timers keep their cadence
// while the box is open; closed runs when the user closes it.
class TErrorBox {
public:
    virtual ~TErrorBox() = default;
    virtual void Show(const QString& text, std::function<void()> closed) = 0;
    // While the box is open: how many later errors only went to the log.
    virtual void SetMore(int count) = 0;
};

// Where the errors of the running service go: every one to the log (repeats counted, see
// TErrorLog), and the first of a series to a modal box. While a box is open, later errors do
// not open boxes of their own (a database down overnight would pile up thousands); they are
// counted in the open box. Without boxes (no screen) errors are logged only.
class TErrorReport {
public:
    // makeBox is nullptr when there is no screen to show boxes on.
    TErrorReport(std::ostream& log, std::function<std::unique_ptr<TErrorBox>()> makeBox,
                 std::function<QDateTime()> now = nullptr);

    void Report(const std::exception& error);
    // Writes the counts of repeated errors that have ended.
    void Flush() { FLog.Flush(); }

private:
    TErrorLog FLog;
    std::function<std::unique_ptr<TErrorBox>()> FMakeBox;
    // The last box shown; kept until the next one replaces it, as it may still be closing.
    std::unique_ptr<TErrorBox> FBox;
    bool FBoxOpen = false;
    int FMore = 0;
};

// The error's class name without namespaces (EUniError, EConvertError, ...).
QString ErrorClassName(const std::exception& error);

// The box of the running program: an application-modal message box with an error icon,
// captioned with the program's name.
std::unique_ptr<TErrorBox> MakeMessageBox();

}  // namespace app
