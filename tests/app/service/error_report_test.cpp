#include "app/error_report.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <sstream>
#include <stdexcept>

#include "data_access/uni_error.h"

namespace {

// A box that records what it showed; it stays "open" until the test closes it.
struct TBoxLog {
    std::vector<QString> shown;
    std::vector<int> more;
    std::function<void()> close;
};

class TFakeBox final : public app::TErrorBox {
public:
    explicit TFakeBox(TBoxLog& log) : FLog(log) {}
    void Show(const QString& text, std::function<void()> closed) override {
        FLog.shown.push_back(text);
        FLog.close = std::move(closed);
    }
    void SetMore(int count) override { FLog.more.push_back(count); }

private:
    TBoxLog& FLog;
};

std::vector<std::string> Lines(const std::ostringstream& log) {
    std::vector<std::string> lines;
    std::istringstream in(log.str());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The text of each line, without its time stamp.
std::vector<std::string> Texts(const std::ostringstream& log) {
    std::vector<std::string> texts;
    for (const std::string& line : Lines(log)) {
        texts.push_back(line.substr(line.find(" vx26: ") + 7));
    }
    return texts;
}

TEST(ErrorReport, ErrorsWhileABoxIsOpenAreLoggedAndCountedNotBoxed) {
    std::ostringstream log;
    TBoxLog boxes;
    app::TErrorReport report(log, [&] { return std::make_unique<TFakeBox>(boxes); });
    report.Report(std::runtime_error("first"));
    report.Report(std::runtime_error("second"));
    report.Report(std::runtime_error("third"));
    EXPECT_EQ(boxes.shown, std::vector<QString>{QStringLiteral("first")});
    EXPECT_EQ(boxes.more, (std::vector<int>{1, 2}));
    boxes.close();
    report.Report(std::runtime_error("fourth"));
    EXPECT_EQ(boxes.shown,
              (std::vector<QString>{QStringLiteral("first"), QStringLiteral("fourth")}));
    const std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), 4u);
    const QRegularExpression stamped(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d vx26: (first|second|third|fourth)$"));
    for (const std::string& line : lines) {
        EXPECT_TRUE(stamped.match(QString::fromStdString(line)).hasMatch()) << line;
    }
}

// A day-long outage fails every check: each error is written once, then counted.
TEST(ErrorLog, ARepeatedErrorIsWrittenOnceThenCountedHourlyAndWhenItEnds) {
    std::ostringstream log;
    QDateTime now(QDate(2026, 12, 11), QTime(12, 1, 10));
    {
        app::TErrorLog errors(log, [&] { return now; });
        const auto every = [&](int seconds, int times, const char* text) {
            for (int i = 0; i < times; ++i) {
                errors.Write(QString::fromLatin1(text));
                now = now.addSecs(seconds);
            }
        };
        // 26 a minute for an hour and a half, the keep-alive's error among them.
        for (int minute = 0; minute < 90; ++minute) {
            every(2, 26, "Can't connect");
            errors.Write(QStringLiteral("Lost connection"));
            now = now.addSecs(8);
        }
        EXPECT_EQ(Texts(log), (std::vector<std::string>{
                                  "Can't connect",
                                  "Lost connection",
                                  "Can't connect (repeated 1560 times since 12:01:10)",
                                  "Lost connection (repeated 60 times since 12:02:02)",
                              }));
        // The last of each came at 13:31:00 and 13:31:02. Quiet for ten minutes, the counts are
        // written, and the next time is new again.
        now = QDateTime(QDate(2026, 12, 11), QTime(13, 40, 59));
        errors.Flush();
        EXPECT_EQ(Lines(log).size(), 4u);
        now = QDateTime(QDate(2026, 12, 11), QTime(13, 41, 2));
        errors.Flush();
        errors.Write(QStringLiteral("Can't connect"));
        errors.Write(QStringLiteral("Can't connect"));
    }
    const std::vector<std::string> texts = Texts(log);
    ASSERT_EQ(texts.size(), 8u) << log.str();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 4, texts.end()),
              (std::vector<std::string>{
                  "Can't connect (repeated 779 times since 13:01:10)",
                  "Lost connection (repeated 29 times since 13:02:02)",
                  "Can't connect",
                  // Written as the log closes.
                  "Can't connect (repeated 1 time since 13:41:02)",
              }))
        << log.str();
}

TEST(ErrorReport, WithoutAScreenErrorsAreOnlyLoggedOneLineEach) {
    std::ostringstream log;
    app::TErrorReport report(log, nullptr);
    report.Report(std::runtime_error("\r\n#42S02Table 'screen.print' doesn't exist"));
    const std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(" vx26: #42S02Table 'screen.print' doesn't exist")) << lines[0];
}

TEST(ErrorReport, ClassNamesLoseTheirNamespaces) {
    EXPECT_EQ(app::ErrorClassName(std::runtime_error("x")), QStringLiteral("runtime_error"));
    const data_access::EDAError inner(2013, "lost");
    const data_access::EUniError error(inner, std::make_exception_ptr(inner));
    EXPECT_EQ(app::ErrorClassName(error), QStringLiteral("EUniError"));
}

}  // namespace
