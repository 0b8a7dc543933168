#include "data_access/mysql/my_value_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mysql_client/mysql_field_info.h"
#include "platform/exceptions.h"

namespace {

using namespace data_access;
using namespace data_access::mysql;
using namespace mysql_client;

TValueBytes Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::Exception& e) {
        return e.Message();
    }
    return "no error";
}

// --- integers ---------------------------------------------------------------------------------

struct IntegerCase {
    const char* text;
    TDataType type;
    bool isBit;
    std::int32_t size;
    std::int64_t expected;
};

TEST(MyValueConversion, IntegersAreStoredInTheFieldSize) {
    const IntegerCase cases[] = {
        {"0", dtInt32, false, 4, 0},
        {"-2147483648", dtInt32, false, 4, -2147483648LL},
        {"2147483647", dtInt32, false, 4, 2147483647},
        {"-128", dtInt8, false, 2, -128},
        {"255", dtUInt8, false, 2, 255},
        {"65535", dtUInt16, false, 2, 65535},
        {"4294967295", dtUInt32, false, 4, 4294967295LL},
        {"-9223372036854775808", dtInt64, false, 8, INT64_MIN},
        {"9223372036854775807", dtInt64, false, 8, INT64_MAX},
        // 32-bit accumulation wraps: a 64-bit number in a 32-bit field keeps its low word.
        {"4294967297", dtInt32, false, 4, 1},
        {"\x01\x02", dtInt64, true, 8, 0x0102},
        {"\xff\xff\xff\xff\xff\xff\xff\xff", dtInt64, true, 8, -1},
        {"\x00\x00\x00\x05", dtInt32, true, 4, 5},
    };
    for (const IntegerCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint8_t slot[8] = {};
        const std::string text(c.text, c.isBit && c.text[0] == 0 ? 4 : std::strlen(c.text));
        ConvertInteger(Bytes(text), c.type, c.isBit, c.size, slot);
        std::int64_t stored = 0;
        std::memcpy(&stored, slot, std::size_t(c.size));
        if (c.size < 8 && c.type != dtUInt32 && c.type != dtUInt16 && c.type != dtUInt8) {
            const int shift = 64 - 8 * c.size;
            stored = std::int64_t(std::uint64_t(stored) << shift) >> shift;
        }
        EXPECT_EQ(stored, c.expected);
    }
}

TEST(MyValueConversion, BooleansStoreMinusOneOrZero) {
    const struct {
        std::string text;
        bool isBit;
        std::int16_t expected;
    } cases[] = {{"1", false, -1},
                 {"2", false, -1},
                 {"0", false, 0},
                 {"-0", false, 0},
                 {std::string("\x01", 1), true, -1},
                 {std::string("\x00", 1), true, 0},
                 {std::string("\x01\x00", 2), true, 0}};
    for (const auto& c : cases) {
        std::int16_t stored = 7;
        ConvertInteger(Bytes(c.text), dtBoolean, c.isBit, 2,
                       reinterpret_cast<std::uint8_t*>(&stored));
        EXPECT_EQ(stored, c.expected) << c.text;
    }
}

// --- floats -----------------------------------------------------------------------------------

TEST(MyValueConversion, FloatTexts) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"12.50", 12.5},
        {"-0.001", -0.001},
        {"+3", 3},
        {"1e3", 1000},
        {"1.5E-7", 1.5e-7},
        {"-1.7976931348623157e308", -1.7976931348623157e308},
        {"3.40282e38", 3.40282e38},
        {"123456789012345678901234567890", 1.2345678901234568e29},
        // Beyond the 36 characters read, integer digits still count for the magnitude.
        {"1000000000000000000000000000000000000000000000000000000000000000", 1e63},
        {"0.0000000000000000000000000000000000000001", 0},
        {"", 0},
        {"0e99999", 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(ConvertToFloat(Bytes(c.text)), c.expected) << c.text;
    }
}

TEST(MyValueConversion, MalformedFloatTextsRaiseConvertErrors) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"1.2.3", "'1.2.3' is not a valid floating point value"},
        {"12a", "'12a' is not a valid floating point value"},
        {"1-", "'1-' is not a valid floating point value"},
        {"1e5x", "'5x' is not a valid integer value"},
        {"1e", "'' is not a valid integer value"},
        {"1e99999999999", "'99999999999' is not a valid integer value"},
        {"1234567890123456789012345678901234567890x",
         "'123456789012345678901234567890123456' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
        EXPECT_THROW(ConvertToFloat(Bytes(c.text)), platform::EConvertError) << c.text;
        EXPECT_EQ(MessageOf([&] { ConvertToFloat(Bytes(c.text)); }), c.message);
    }
}

// --- BCD --------------------------------------------------------------------------------------

TEST(MyValueConversion, CurrencyIsRoundedToTenThousandths) {
    EXPECT_EQ(ConvertToCurrency(Bytes("12.50")), 125000);
    EXPECT_EQ(ConvertToCurrency(Bytes("-1.23456")), -12346);
    EXPECT_EQ(ConvertToCurrency(Bytes("0.00004")), 0);
    EXPECT_EQ(ConvertToCurrency(Bytes("922337203685477.5807")), INT64_MAX);
    EXPECT_EQ(MessageOf([] { ConvertToCurrency(Bytes("922337203685478")); }),
              "'922337203685478' is not a valid floating point value");
    EXPECT_EQ(MessageOf([] { ConvertToCurrency(Bytes("1,5")); }),
              "'1,5' is not a valid floating point value");
}

TEST(MyValueConversion, FmtBcdHoldsDigitsByPrecisionAndScale) {
    std::uint8_t bcd[FMTBCDSize];
    ConvertToFMTBCD(Bytes("-123.45"), 6, 2, bcd);
    EXPECT_EQ(bcd[0], 6);
    EXPECT_EQ(bcd[1], 0x80 | 2);
    // 0123.45 as digits 0 1 2 3 4 5
    EXPECT_EQ(bcd[2], 0x01);
    EXPECT_EQ(bcd[3], 0x23);
    EXPECT_EQ(bcd[4], 0x45);
    EXPECT_EQ(bcd[5], 0);

    ConvertToFMTBCD(Bytes("7.5"), 4, 3, bcd);  // scale pads the fraction
    EXPECT_EQ(bcd[1], 3);
    EXPECT_EQ(bcd[2], 0x75);
    EXPECT_EQ(bcd[3], 0x00);

    EXPECT_EQ(MessageOf([&] { ConvertToFMTBCD(Bytes("12345"), 6, 2, bcd); }), "BCD overflow");
    EXPECT_EQ(MessageOf([&] { ConvertToFMTBCD(Bytes("1x"), 6, 2, bcd); }),
              "'1x' is not a valid BCD value");
}

// --- dates and times --------------------------------------------------------------------------

TEST(MyValueConversion, DateAndTimeTexts) {
    const struct {
        const char* text;
        std::uint8_t type;
        int length;
        bool valid;
        double expected;
    } cases[] = {
        {"2024-02-29", MYSQL_TYPE_DATE, 10, true, platform::EncodeDate(2024, 2, 29)},
        {"0000-00-00", MYSQL_TYPE_DATE, 10, false, 0},
        {"2023-02-29", MYSQL_TYPE_DATE, 10, false, 0},
        {"1899-12-30 00:00:00", MYSQL_TYPE_DATETIME, 19, true, 0},
        {"2020-01-02 03:04:05", MYSQL_TYPE_DATETIME, 19, true,
         platform::EncodeDateTime(2020, 1, 2, 3, 4, 5, 0)},
        {"1899-12-29 06:00:00", MYSQL_TYPE_DATETIME, 19, true, -1.25},
        {"2020-01-02 03:04:05.123456", MYSQL_TYPE_DATETIME, 26, true,
         platform::EncodeDateTime(2020, 1, 2, 3, 4, 5, 0)},
        {"0000-00-00 00:00:00", MYSQL_TYPE_DATETIME, 19, false, 0},
        {"2020-01-02 25:00:00", MYSQL_TYPE_DATETIME, 19, false, 0},
        {"-01:30:00", MYSQL_TYPE_TIME, 10, true, -0.0625},
        {"838:59:59", MYSQL_TYPE_TIME, 10, true, 838.0 / 24 + (59 * 60 + 59) / 86400.0},
        {"00:00:00", MYSQL_TYPE_TIME, 10, true, 0},
        {"2020-01-02 03:04:05", MYSQL_TYPE_TIMESTAMP, 19, true,
         platform::EncodeDateTime(2020, 1, 2, 3, 4, 5, 0)},
        {"2020-01-02 03:04:05.12", MYSQL_TYPE_TIMESTAMP, 22, true,
         platform::EncodeDateTime(2020, 1, 2, 3, 4, 5, 0)},
        {"20200102030405", MYSQL_TYPE_TIMESTAMP, 14, true,
         platform::EncodeDateTime(2020, 1, 2, 3, 4, 5, 0)},
        {"200102030405", MYSQL_TYPE_TIMESTAMP, 12, true,
         platform::EncodeDateTime(2020, 1, 2, 3, 4, 5, 0)},
        {"7001020304", MYSQL_TYPE_TIMESTAMP, 10, true,
         platform::EncodeDateTime(1970, 1, 2, 3, 4, 0, 0)},
        {"20200102", MYSQL_TYPE_TIMESTAMP, 8, true, platform::EncodeDate(2020, 1, 2)},
        {"690102", MYSQL_TYPE_TIMESTAMP, 6, true, platform::EncodeDate(2069, 1, 2)},
        {"9912", MYSQL_TYPE_TIMESTAMP, 4, true, platform::EncodeDate(1999, 12, 1)},
        {"05", MYSQL_TYPE_TIMESTAMP, 2, true, platform::EncodeDate(2005, 1, 1)},
        {"00000000000000", MYSQL_TYPE_TIMESTAMP, 14, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double value = -99;
        EXPECT_EQ(DateTimeFromStr(Bytes(c.text), c.type, c.length, u"f", value), c.valid);
        if (c.valid) {
            EXPECT_NEAR(value, c.expected, 1e-9);
        }
    }
}

TEST(MyValueConversion, ShortOrMalformedDateTextsRaise) {
    double value = 0;
    EXPECT_EQ(
        MessageOf([&] { DateTimeFromStr(Bytes("2020-1"), MYSQL_TYPE_DATE, 10, u"d", value); }),
        "'2020-1' is not a valid date");
    EXPECT_EQ(MessageOf([&] {
                  DateTimeFromStr(Bytes("2020-01-01"), MYSQL_TYPE_DATETIME, 19, u"d", value);
              }),
              "'2020-01-01' is not a valid date and time");
    EXPECT_EQ(
        MessageOf([&] { DateTimeFromStr(Bytes("2020"), MYSQL_TYPE_TIMESTAMP, 14, u"d", value); }),
        "'2020' is not a valid date and time");
    EXPECT_THROW(DateTimeFromStr(Bytes("123456"), MYSQL_TYPE_TIME, 10, u"t", value),
                 platform::EDatabaseError);
    EXPECT_EQ(
        MessageOf([&] { DateTimeFromStr(Bytes("123456"), MYSQL_TYPE_TIME, 10, u"t", value); }),
        "Wrong time format. Field t, value 123456");
    EXPECT_EQ(MessageOf([&] { DateTimeFromStr(Bytes("12:3"), MYSQL_TYPE_TIME, 10, u"t", value); }),
              "Wrong time format. Field t, value 12:3");
    EXPECT_THROW(DateTimeFromStr(Bytes("2020-01"), MYSQL_TYPE_TIMESTAMP, 7, u"d", value),
                 platform::EAssertionFailed);
    EXPECT_NE(MessageOf([&] {
                  DateTimeFromStr(Bytes("2020-01"), MYSQL_TYPE_TIMESTAMP, 7, u"d", value);
              }).find("Invalid FIELD_TYPE_TIMESTAMP Field.Length (7)"),
              std::string::npos);
}

TEST(MyValueConversion, ZeroDateIsTheYearOneHundred) {
    EXPECT_DOUBLE_EQ(ZeroDate, platform::EncodeDate(100, 1, 1));
}

// --- UTF-8 ------------------------------------------------------------------------------------

TEST(MyValueConversion, Utf8DecodesIntoTheDestinationAndStopsWhenFull) {
    const std::string text = "Щи \xe2\x82\xac!";  // Cyrillic, a blank, the euro sign, "!"
    char16_t dest[16];
    EXPECT_EQ(Utf8ToWs(Bytes(text), dest, 16, true), 5u);
    EXPECT_EQ(std::u16string(dest), u"Щи €!");

    char16_t small[3] = {u'x', u'x', u'x'};
    EXPECT_EQ(Utf8ToWs(Bytes(text), small, 3, true), 2u);
    EXPECT_EQ(std::u16string(small), u"Щи");

    char16_t noTerminator[2];
    EXPECT_EQ(Utf8ToWs(Bytes(text), noTerminator, 2, false), 2u);
    EXPECT_EQ(noTerminator[1], u'и');

    const std::string emoji = "\xf0\x9f\x98\x80";
    EXPECT_EQ(Utf8ToWs(Bytes(emoji), dest, 16, true), 2u);
    EXPECT_EQ(std::u16string(dest), u"\U0001F600");
    EXPECT_EQ(Utf8ToWs(Bytes(emoji), dest, 2, true), 0u);  // a pair does not fit in one unit

    // A last byte below 128 is taken as it is.
    EXPECT_EQ(Utf8ToWs(Bytes("\xd0\x41"), dest, 16, true), 1u);
    EXPECT_EQ(dest[0], char16_t((0x10 << 6) | 0x01));
}

TEST(MyValueConversion, MalformedUtf8RaisesItsErrors) {
    char16_t dest[8];
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"ab\xd0", "incomplete multibyte char"},
        {"\xe2\x82", "incomplete multibyte char"},
        {"\xe2\x41\x82", "malformed trail byte or out of range char"},
        {"\xd0\xd0", "malformed trail byte"},
        {"\xe2\x82\xc1", "malformed trail byte"},
    };
    for (const auto& c : cases) {
        EXPECT_THROW(Utf8ToWs(Bytes(c.text), dest, 8, true), platform::EConvertError);
        EXPECT_EQ(MessageOf([&] { Utf8ToWs(Bytes(c.text), dest, 8, true); }), c.message);
    }
}

}  // namespace
