#include "data_access/mysql/my_error.h"

#include <gtest/gtest.h>

namespace {

using data_access::mysql::EMyError;

TEST(EMyError, SyntaxErrorsTellTheirLine) {
    const struct {
        int code;
        const char* message;
        int line;
    } cases[] = {
        {1064, "\r\n#42000You have an error in your SQL syntax; ... near 'SELEC' at line 12", 12},
        {1064, "syntax error at line 3.", 3},
        {1064, "no number here", 0},
        {1064, "line 99999999999999999999", 0},  // does not fit: no line, no error
        {1146, "Table 't2' doesn't exist at line 4", 0},
    };
    for (const auto& c : cases) {
        const EMyError error(c.code, c.message);
        EXPECT_EQ(error.LineNumber(), c.line) << c.message;
        EXPECT_EQ(error.Message(), c.message);
        EXPECT_EQ(error.ErrorCode(), c.code);
    }
}

TEST(EMyError, FatalCodesAreTheLostConnections) {
    for (const int code : {1053, 2003, 2006, 2013, 2020}) {
        EXPECT_TRUE(EMyError(code, "").IsFatalError()) << code;
    }
    for (const int code : {1045, 1062, 1064, 2014, 2027}) {
        EXPECT_FALSE(EMyError(code, "").IsFatalError()) << code;
    }
    EXPECT_TRUE(EMyError(1062, "Duplicate entry").IsKeyViolation());
    EXPECT_FALSE(EMyError(1064, "").IsKeyViolation());
}

}  // namespace
