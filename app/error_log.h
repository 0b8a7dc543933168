#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <map>
#include <ostream>

namespace app {

// The log of the service's errors, one stamped line an entry. An error that comes again is not
// written again but counted: a database down overnight fails every check, and a line for each
// would bury everything else. The count is written as "<error> (repeated N times since
// hh:mm:ss)" once an hour while the error goes on, and when it has not come for ten minutes
// (at the next Flush); after that the error counts as new again.
class TErrorLog {
public:
    static constexpr qint64 SummarySeconds = 3600;
    static constexpr qint64 QuietSeconds = 600;

    explicit TErrorLog(std::ostream& log, std::function<QDateTime()> now = nullptr);
    // The counts still open are written.
    ~TErrorLog();

    TErrorLog(const TErrorLog&) = delete;
    TErrorLog& operator=(const TErrorLog&) = delete;

    void Write(const QString& text);
    // Writes the counts of the errors that have been quiet long enough, and forgets them.
    void Flush();

private:
    struct TRepeat {
        int Count = 0;
        // When the error's last line was written, and when it last came.
        QDateTime Written;
        QDateTime Last;
    };

    void WriteCount(const QString& line, const TRepeat& repeat, const QDateTime& now);

    std::ostream& FLog;
    std::function<QDateTime()> FNow;
    std::map<QString, TRepeat> FRepeats;
};

// One line of the log: "YYYY-MM-DD hh:mm:ss vx26: " and the text, its line breaks made blanks.
void LogLine(std::ostream& log, const QString& text, const QDateTime& at);
void LogLine(std::ostream& log, const QString& text);

}  // namespace app
