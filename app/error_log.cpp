#include "app/error_log.h"

namespace app {

namespace {

// One line an entry: a server's message starts with a line break of its own.
QString OneLine(const QString& text) {
    QString line = text.trimmed();
    line.replace(QLatin1String("\r\n"), QLatin1String(" "))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

}  // namespace

TErrorLog::TErrorLog(std::ostream& log, std::function<QDateTime()> now)
    : FLog(log), FNow(now ? std::move(now) : [] { return QDateTime::currentDateTime(); }) {}

TErrorLog::~TErrorLog() {
    const QDateTime now = FNow();
    for (const auto& [line, repeat] : FRepeats) {
        WriteCount(line, repeat, now);
    }
}

void TErrorLog::Write(const QString& text) {
    Flush();
    const QDateTime now = FNow();
    const QString line = OneLine(text);
    const auto found = FRepeats.find(line);
    if (found == FRepeats.end()) {
        LogLine(FLog, line, now);
        FRepeats.emplace(line, TRepeat{0, now, now});
        return;
    }
    TRepeat& repeat = found->second;
    ++repeat.Count;
    repeat.Last = now;
    if (repeat.Written.secsTo(now) >= SummarySeconds) {
        WriteCount(line, repeat, now);
        repeat.Count = 0;
        repeat.Written = now;
    }
}

void TErrorLog::Flush() {
    const QDateTime now = FNow();
    for (auto entry = FRepeats.begin(); entry != FRepeats.end();) {
        if (entry->second.Last.secsTo(now) < QuietSeconds) {
            ++entry;
            continue;
        }
        WriteCount(entry->first, entry->second, now);
        entry = FRepeats.erase(entry);
    }
}

void TErrorLog::WriteCount(const QString& line, const TRepeat& repeat, const QDateTime& now) {
    if (repeat.Count == 0) {
        return;
    }
    LogLine(FLog,
            QStringLiteral("%1 (repeated %2 %3 since %4)")
                .arg(line)
                .arg(repeat.Count)
                .arg(repeat.Count == 1 ? QStringLiteral("time") : QStringLiteral("times"))
                .arg(repeat.Written.toString(QStringLiteral("hh:mm:ss"))),
            now);
}

void LogLine(std::ostream& log, const QString& text, const QDateTime& at) {
    log << at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toStdString()
        << " vx26: " << OneLine(text).toStdString() << std::endl;
}

void LogLine(std::ostream& log, const QString& text) {
    LogLine(log, text, QDateTime::currentDateTime());
}

}  // namespace app
