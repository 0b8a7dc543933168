#include "platform/format_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/exceptions.h"

namespace {

using platform::DateTimeToStr;
using platform::EConvertError;
using platform::EncodeDate;
using platform::EncodeDateTime;
using platform::FloatToStr;
using platform::FormatDateTime;
using platform::String;
using platform::TFormatSettings;

// The fallback settings: dd.mm.yyyy, hh:mm:ss, "." for decimals.
const TFormatSettings Fallback;

TFormatSettings Settings(char16_t decimal, char16_t date, char16_t time) {
    TFormatSettings settings;
    settings.DecimalSeparator = decimal;
    settings.DateSeparator = date;
    settings.TimeSeparator = time;
    return settings;
}

struct FormatCase {
    const char16_t* format;
    const char16_t* text;
};

TEST(FormatDateTime, FormatLetters) {
    const platform::TDateTime value = EncodeDateTime(2024, 3, 5, 7, 8, 9, 45);
    const FormatCase cases[] = {
        {u"d", u"5"},
        {u"dd", u"05"},
        {u"m", u"3"},
        {u"mm", u"03"},
        {u"yy", u"24"},
        {u"yyyy", u"2024"},
        {u"yyy", u"2024"},
        {u"h", u"7"},
        {u"hh", u"07"},
        {u"n", u"8"},
        {u"nn", u"08"},
        {u"s", u"9"},
        {u"ss", u"09"},
        {u"z", u"45"},
        {u"zzz", u"045"},
        {u"DD.MM.YYYY", u"05.03.2024"},
        {u"dd/mm/yyyy", u"05.03.2024"},
        {u"hh:nn:ss", u"07:08:09"},
        // m after an hour letter means minutes, also across separators and literals.
        {u"dd.mm.yyyy hh:mm:ss", u"05.03.2024 07:08:09"},
        {u"hh 'at' m", u"07 at 8"},
        {u"mm hh mm", u"03 07 08"},
        {u"'dd' dd", u"dd 05"},
        {u"\"hh:\"hh", u"hh:07"},
        {u"yyyy'unterminated", u"2024unterminated"},
        {u"''", u""},
        {u"dd mm yyyy hh:mm:ss", u"05 03 2024 07:08:09"},
        {u"ddd x", u"ddd x"},
        {u"", u""},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(FormatDateTime(c.format, value, Fallback), c.text)
            << testing::PrintToString(String(c.format));
    }
}

TEST(FormatDateTime, SlashAndColonStandForTheSettingsSeparators) {
    const platform::TDateTime value = EncodeDateTime(2024, 3, 5, 7, 8, 9, 0);
    EXPECT_EQ(FormatDateTime(u"dd/mm/yyyy hh:nn", value, Settings(u'.', u'-', u'.')),
              u"05-03-2024 07.08");
    EXPECT_EQ(FormatDateTime(u"yyyy-mm-dd'/'", value, Settings(u'.', u'-', u'.')), u"2024-03-05/");
}

TEST(FormatDateTime, YearsArePaddedAndTheEdgesOfTheRangeFormat) {
    EXPECT_EQ(FormatDateTime(u"dd.mm.yyyy yy", EncodeDate(1, 1, 1), Fallback), u"01.01.0001 01");
    EXPECT_EQ(FormatDateTime(u"dd.mm.yyyy hh:nn:ss.zzz",
                             EncodeDateTime(9999, 12, 31, 23, 59, 59, 999), Fallback),
              u"31.12.9999 23:59:59.999");
    EXPECT_THROW(FormatDateTime(u"dd", 2958466, Fallback), EConvertError);
}

TEST(FormatDateTime, UnixTimesInTheReceiptFormat) {
    const struct {
        std::int64_t seconds;
        const char16_t* text;
    } cases[] = {
        {0, u"01.01.1970 00:00:00"},
        {86399, u"01.01.1970 23:59:59"},
        {-1, u"31.12.1969 23:59:59"},
        {2147483647, u"19.01.2038 03:14:07"},
        {-2147483648LL, u"13.12.1901 20:45:52"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            FormatDateTime(u"dd.mm.yyyy hh:mm:ss", platform::UnixToDateTime(c.seconds), Fallback),
            c.text)
            << c.seconds;
    }
}

TEST(DateTimeToStr, TimeIsLeftOutOnlyAtExactMidnight) {
    const platform::TDateTime day = EncodeDate(2024, 3, 5);
    EXPECT_EQ(DateTimeToStr(day, Fallback), u"05.03.2024");
    EXPECT_EQ(DateTimeToStr(day + platform::EncodeTime(7, 8, 9, 0), Fallback),
              u"05.03.2024 07:08:09");
    EXPECT_EQ(DateTimeToStr(day + platform::EncodeTime(0, 0, 0, 1), Fallback),
              u"05.03.2024 00:00:00");
    EXPECT_EQ(DateTimeToStr(0, Fallback), u"30.12.1899");
    EXPECT_EQ(DateTimeToStr(-1.25, Fallback), u"29.12.1899 06:00:00");
    EXPECT_EQ(DateTimeToStr(day + 0.5, Settings(u',', u'/', u'-')), u"05/03/2024 12-00-00");
}

TEST(DateTimeToStr, DateAndTimeKindsShowOnePartEach) {
    const platform::TDateTime value = EncodeDateTime(2024, 3, 5, 7, 8, 9, 0);
    EXPECT_EQ(platform::DateToStr(value, Fallback), u"05.03.2024");
    EXPECT_EQ(platform::TimeToStr(value, Fallback), u"07:08:09");
    EXPECT_EQ(platform::TimeToStr(0, Fallback), u"00:00:00");
    EXPECT_EQ(platform::TimeToStr(platform::EncodeTime(23, 59, 59, 0), Fallback), u"23:59:59");
}

struct FloatCase {
    double value;
    const char16_t* text;
};

TEST(FloatToStr, GeneralFormatWithFifteenDigits) {
    const FloatCase cases[] = {
        {0.0, u"0"},
        {-0.0, u"0"},
        {1, u"1"},
        {-1, u"-1"},
        {100, u"100"},
        {12.5, u"12.5"},
        {-0.0625, u"-0.0625"},
        {0.1, u"0.1"},
        {0.1 + 0.2, u"0.3"},
        {1.0 / 3, u"0.333333333333333"},
        {2.0 / 3, u"0.666666666666667"},
        {838.0 / 24 + 3599.0 / 86400, u"34.9583217592593"},
        {2147483647, u"2147483647"},
        {-2147483648.0, u"-2147483648"},
        {123456789012345, u"123456789012345"},
        {999999999999999, u"999999999999999"},
        {1e15, u"1E15"},
        {1234567890123456, u"1.23456789012346E15"},
        {-1e20, u"-1E20"},
        {0.00001, u"0.00001"},
        {0.000012345, u"0.000012345"},
        {0.0000099, u"9.9E-6"},
        {1e-7, u"1E-7"},
        {-1.5e-7, u"-1.5E-7"},
        {std::numeric_limits<double>::max(), u"1.79769313486232E308"},
        {std::numeric_limits<double>::denorm_min(), u"4.94065645841247E-324"},
        {std::numeric_limits<double>::quiet_NaN(), u"NAN"},
        {std::numeric_limits<double>::infinity(), u"INF"},
        {-std::numeric_limits<double>::infinity(), u"-INF"},
    };
    for (const FloatCase& c : cases) {
        EXPECT_EQ(FloatToStr(c.value, Fallback), c.text) << c.value;
    }
}

TEST(FloatToStr, UsesTheSettingsDecimalSeparator) {
    const TFormatSettings comma = Settings(u',', u'.', u':');
    EXPECT_EQ(FloatToStr(12.5, comma), u"12,5");
    EXPECT_EQ(FloatToStr(-0.001, comma), u"-0,001");
    EXPECT_EQ(FloatToStr(1.5e-7, comma), u"1,5E-7");
    EXPECT_EQ(FloatToStr(100, comma), u"100");
}

TEST(IntToStr, DecimalWithMinusAndNoGrouping) {
    EXPECT_EQ(platform::IntToStr(0), u"0");
    EXPECT_EQ(platform::IntToStr(-250), u"-250");
    EXPECT_EQ(platform::IntToStr(1500), u"1500");
    EXPECT_EQ(platform::IntToStr(std::numeric_limits<std::int32_t>::min()), u"-2147483648");
    EXPECT_EQ(platform::IntToStr(std::numeric_limits<std::int64_t>::max()), u"9223372036854775807");
    EXPECT_EQ(platform::IntToStr(std::numeric_limits<std::int64_t>::min()),
              u"-9223372036854775808");
}

TEST(StrToInt, AcceptsThe32BitRange) {
    const struct {
        const char16_t* text;
        std::int32_t value;
    } cases[] = {
        {u"0", 0},
        {u"42", 42},
        {u"-0", 0},
        {u"+5", 5},
        {u"007", 7},
        {u" 42", 42},
        {u"  -1", -1},
        {u"2147483647", 2147483647},
        {u"-2147483648", -2147483647 - 1},
        {u"000000000002147483647", 2147483647},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::StrToInt(c.text), c.value) << testing::PrintToString(String(c.text));
    }
}

TEST(StrToInt, RejectsEverythingElseWithTheWholeText) {
    const char16_t* cases[] = {
        u"",    u" ",   u"2147483648", u"-2147483649", u"99999999999999999999999",
        u"12 ", u"1a",  u"abc",        u"-",           u"+",
        u"--1", u"1.5", u"1e3",        u"$1F",         u"0x10",
        u"\t1", u"١",   u"１２",
    };
    for (const char16_t* text : cases) {
        EXPECT_THROW(platform::StrToInt(text), EConvertError)
            << testing::PrintToString(String(text));
    }
    const struct {
        const char16_t* text;
        const char* message;
    } messages[] = {
        {u"", "'' is not a valid integer value"},
        {u"2147483648", "'2147483648' is not a valid integer value"},
        {u" 12 ", "' 12 ' is not a valid integer value"},
        {u"тг", "'\xD1\x82\xD0\xB3' is not a valid integer value"},
    };
    for (const auto& m : messages) {
        try {
            platform::StrToInt(m.text);
            ADD_FAILURE() << "no exception for " << m.message;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), m.message);
        }
    }
}

struct LocaleCase {
    const char* dateFormat;
    const char* timeFormat;
    const char* decimalPoint;
    const char16_t* shortDateFormat;
    char16_t dateSeparator;
    const char16_t* longTimeFormat;
    char16_t timeSeparator;
    char16_t decimalSeparator;
};

TEST(MakeFormatSettings, TranslatesTheLocaleFormats) {
    const LocaleCase cases[] = {
        {"%d.%m.%Y", "%H:%M:%S", ",", u"dd/mm/yyyy", u'.', u"hh:nn:ss", u':', u','},
        {"%m/%d/%y", "%k.%M", ".", u"mm/dd/yy", u'/', u"h:nn", u'.', u'.'},
        {"%Y-%m-%e", "%H%M%S", "\xD9\xAB", u"yyyy/mm/d", u'-', u"hhnnss", u':', u'\u066B'},
        {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", "%H:%M:%S", ".", u"yyyy/mm月dd日", u'年',
         u"hh:nn:ss", u':', u'.'},
        // What the value texts cannot reproduce keeps the fallback.
        {"%d %B %Y", "%r", "", u"dd/mm/yyyy", u'.', u"hh:nn:ss", u':', u'.'},
        {"%d de %m", "%I:%M:%S %p", ",,", u"dd/mm/yyyy", u'.', u"hh:nn:ss", u':', u'.'},
        {"%d.%m/%Y", "%H:%M:", ".", u"dd/mm/yyyy", u'.', u"hh:nn:", u':', u'.'},
        {"%-d.%m.%Y", "%H:%M:%", ".", u"dd/mm/yyyy", u'.', u"hh:nn:ss", u':', u'.'},
        {"", "", "", u"dd/mm/yyyy", u'.', u"hh:nn:ss", u':', u'.'},
    };
    for (const LocaleCase& c : cases) {
        const TFormatSettings s =
            platform::MakeFormatSettings(c.dateFormat, c.timeFormat, c.decimalPoint);
        EXPECT_EQ(s.ShortDateFormat, c.shortDateFormat) << c.dateFormat;
        EXPECT_EQ(s.DateSeparator, c.dateSeparator) << c.dateFormat;
        EXPECT_EQ(s.LongTimeFormat, c.longTimeFormat) << c.timeFormat;
        EXPECT_EQ(s.TimeSeparator, c.timeSeparator) << c.timeFormat;
        EXPECT_EQ(s.DecimalSeparator, c.decimalSeparator) << c.decimalPoint;
    }
}

TEST(MakeFormatSettings, TranslatedFormatsGiveTheLocalesTexts) {
    const platform::TDateTime value = EncodeDateTime(2024, 3, 5, 7, 8, 9, 0);
    const TFormatSettings russian = platform::MakeFormatSettings("%d.%m.%Y", "%H:%M:%S", ",");
    EXPECT_EQ(DateTimeToStr(value, russian), u"05.03.2024 07:08:09");
    EXPECT_EQ(FloatToStr(12.5, russian), u"12,5");
    const TFormatSettings iso = platform::MakeFormatSettings("%Y-%m-%d", "%H.%M.%S", ".");
    EXPECT_EQ(DateTimeToStr(value, iso), u"2024-03-05 07.08.09");
}

TEST(FormatSettings, ProcessSettingsAreOneSharedObject) {
    platform::TFormatSettings& settings = platform::FormatSettings();
    EXPECT_EQ(&settings, &platform::FormatSettings());
    const TFormatSettings saved = settings;
    settings = Settings(u',', u'/', u'-');
    EXPECT_EQ(FloatToStr(2.5), u"2,5");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5) + 0.5), u"05/03/2024 12-00-00");
    settings = saved;
}

}  // namespace
