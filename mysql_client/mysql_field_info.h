#pragma once

#include <cstdint>
#include <string>

namespace mysql_client {

// Column type codes of the protocol.
enum : std::uint8_t {
    MYSQL_TYPE_DECIMAL = 0,
    MYSQL_TYPE_TINY = 1,
    MYSQL_TYPE_SHORT = 2,
    MYSQL_TYPE_LONG = 3,
    MYSQL_TYPE_FLOAT = 4,
    MYSQL_TYPE_DOUBLE = 5,
    MYSQL_TYPE_NULL = 6,
    MYSQL_TYPE_TIMESTAMP = 7,
    MYSQL_TYPE_LONGLONG = 8,
    MYSQL_TYPE_INT24 = 9,
    MYSQL_TYPE_DATE = 10,
    MYSQL_TYPE_TIME = 11,
    MYSQL_TYPE_DATETIME = 12,
    MYSQL_TYPE_YEAR = 13,
    MYSQL_TYPE_NEWDATE = 14,
    MYSQL_TYPE_VARCHAR = 15,
    MYSQL_TYPE_BIT = 16,
    MYSQL_TYPE_NEWDECIMAL = 246,
    MYSQL_TYPE_ENUM = 247,
    MYSQL_TYPE_SET = 248,
    MYSQL_TYPE_TINY_BLOB = 249,
    MYSQL_TYPE_MEDIUM_BLOB = 250,
    MYSQL_TYPE_LONG_BLOB = 251,
    MYSQL_TYPE_BLOB = 252,
    MYSQL_TYPE_VAR_STRING = 253,
    MYSQL_TYPE_STRING = 254,
    MYSQL_TYPE_GEOMETRY = 255,
};

// Added to the flags of numeric columns.
constexpr std::uint32_t NUM_FLAG = 32768;

// One column definition of a result set.
struct TMySqlFieldInfo {
    std::string Name;
    std::string OrgName;
    std::string Table;
    std::string OrgTable;
    std::string Database;
    std::string DefaultValue;
    std::int32_t Length = 0;
    std::int32_t Scale = 0;
    std::int32_t MaxLength = 0;
    std::uint32_t Flags = 0;
    std::int32_t CharsetNr = 0;
    std::uint8_t MyType = 0;
};

// Integer and floating types, TIMESTAMP only in its numeric 14- and 8-digit forms, and YEAR.
inline bool IsNumField(std::uint8_t type, std::int32_t length) {
    return (type <= MYSQL_TYPE_INT24 &&
            (type != MYSQL_TYPE_TIMESTAMP || length == 14 || length == 8)) ||
           type == MYSQL_TYPE_YEAR;
}

}  // namespace mysql_client
