#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <ostream>

namespace app {

// A modal box that shows one error; Show returns when the user closes it.
class TErrorBox {
public:
    virtual ~TErrorBox() = default;
    virtual void Show(const QString& text) = 0;
    // While the box is open: how many later errors only went to the log.
    virtual void SetMore(int count) = 0;
};

// Where the errors of the running service go: every one to the log with a time stamp, and the
// first of a series to a modal box. While a box is open, later errors do not open boxes of their
// own (each would be one more nested event loop: a database down overnight would pile up
// thousands); they are counted in the open box. Without boxes (no screen) errors are logged only.
class TErrorReport {
public:
    // makeBox is nullptr when there is no screen to show boxes on.
    TErrorReport(std::ostream& log, std::function<std::unique_ptr<TErrorBox>()> makeBox);

    void Report(const std::exception& error);

private:
    std::ostream& FLog;
    std::function<std::unique_ptr<TErrorBox>()> FMakeBox;
    TErrorBox* FOpenBox = nullptr;
    int FMore = 0;
};

// One line of the log: "YYYY-MM-DD hh:mm:ss vx26: " and the text, its line breaks made blanks.
void LogLine(std::ostream& log, const QString& text);

// The error's class name without namespaces (EUniError, EConvertError, ...).
QString ErrorClassName(const std::exception& error);

// The box of the running program: a message box with an error icon, captioned with the
// program's name.
std::unique_ptr<TErrorBox> MakeMessageBox();

}  // namespace app
