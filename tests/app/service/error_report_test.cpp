#include "app/error_report.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <sstream>
#include <stdexcept>

#include "data_access/uni_error.h"

namespace {

// A box that records what it showed; while "open" it runs what the test asks for, as the
// nested event loop of a real box would.
struct TBoxLog {
    std::vector<QString> shown;
    std::vector<int> more;
    std::function<void()> whileOpen;
};

class TFakeBox final : public app::TErrorBox {
public:
    explicit TFakeBox(TBoxLog& log) : FLog(log) {}
    void Show(const QString& text) override {
        FLog.shown.push_back(text);
        if (FLog.whileOpen) {
            std::exchange(FLog.whileOpen, nullptr)();
        }
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

TEST(ErrorReport, ErrorsWhileABoxIsOpenAreLoggedAndCountedNotBoxed) {
    std::ostringstream log;
    TBoxLog boxes;
    app::TErrorReport report(log, [&] { return std::make_unique<TFakeBox>(boxes); });
    boxes.whileOpen = [&] {
        report.Report(std::runtime_error("second"));
        report.Report(std::runtime_error("third"));
    };
    report.Report(std::runtime_error("first"));
    EXPECT_EQ(boxes.shown, std::vector<QString>{QStringLiteral("first")});
    EXPECT_EQ(boxes.more, (std::vector<int>{1, 2}));
    report.Report(std::runtime_error("fourth"));
    EXPECT_EQ(boxes.shown.size(), 2u);
    const std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), 4u);
    const QRegularExpression stamped(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d vx26: (first|second|third|fourth)$"));
    for (const std::string& line : lines) {
        EXPECT_TRUE(stamped.match(QString::fromStdString(line)).hasMatch()) << line;
    }
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
