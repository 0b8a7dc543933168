#include "mysql_client/mysql_errors.h"

#include <gtest/gtest.h>

namespace {

using mysql_client::ClientErrorText;
using mysql_client::EMySqlException;

TEST(ClientErrorTable, CoversCodes2000To2047Only) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {1999, ""},
        {2000, "Unknown MySQL error"},
        {2013, "Lost connection to MySQL server during query"},
        {2014, "Commands out of sync;  You can't run this command now"},
        {2027, "Malformed packet"},
        {2047, "Invalid connection handle"},
        {2048, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClientErrorText(c.code), c.text) << c.code;
    }
}

TEST(EMySqlExceptionMessage, JoinsTableTextAndDetail) {
    const struct {
        int code;
        const char* detail;
        const char* message;
    } cases[] = {
        {2013, "", "Lost connection to MySQL server during query"},
        {2013, "Error on data reading",
         "Lost connection to MySQL server during query\r\nError on data reading"},
        {2003, "Cannot connect to server on host 'x'", "Cannot connect to server on host 'x'"},
        {1146, "#42S02Table 'a.b' doesn't exist", "\r\n#42S02Table 'a.b' doesn't exist"},
        {1157, "", ""},
    };
    for (const auto& c : cases) {
        const EMySqlException error(c.code, c.detail);
        EXPECT_EQ(error.ErrorCode(), c.code);
        EXPECT_EQ(error.Message(), c.message) << c.code;
    }
    EXPECT_EQ(EMySqlException(2006).Message(), "MySQL server has gone away");
}

}  // namespace
