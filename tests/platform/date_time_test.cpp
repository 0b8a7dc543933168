#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

#include "platform/exceptions.h"

namespace {

using platform::DateTimeToTimeStamp;
using platform::EConvertError;
using platform::EncodeDate;
using platform::EncodeDateTime;
using platform::EncodeTime;
using platform::TDateTime;
using platform::TTimeStamp;

struct DateCase {
    int year, month, day;
    TDateTime value;
};

// Day numbers counted independently of the code under test.
const DateCase Dates[] = {
    {1899, 12, 30, 0},    {1899, 12, 31, 1},    {1899, 12, 29, -1},      {1900, 1, 1, 2},
    {1900, 2, 28, 60},    {1900, 3, 1, 61},     {1970, 1, 1, 25569},     {2000, 2, 29, 36585},
    {2000, 3, 1, 36586},  {2024, 2, 29, 45351}, {1600, 2, 29, -109512},  {1700, 3, 1, -72987},
    {100, 1, 1, -657434}, {1, 1, 1, -693593},   {9999, 12, 31, 2958465},
};

TEST(DateEncoding, EncodesAndDecodesDaysSince18991230) {
    for (const DateCase& c : Dates) {
        EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.value) << c.value;
        int year, month, day;
        platform::DecodeDate(c.value, year, month, day);
        EXPECT_EQ(year, c.year) << c.value;
        EXPECT_EQ(month, c.month) << c.value;
        EXPECT_EQ(day, c.day) << c.value;
        EXPECT_EQ(DateTimeToTimeStamp(c.value).Date, c.value + platform::DateDelta);
    }
}

TEST(DateEncoding, EveryDayOfFourCenturiesRoundTrips) {
    // Crosses the century years 1700 to 1900 (not leap) and 2000 (leap) day by day.
    TDateTime expected = EncodeDate(1696, 1, 1);
    for (int year = 1696; year <= 2100; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= platform::DaysInAMonth(year, month); ++day) {
                ASSERT_EQ(EncodeDate(year, month, day), expected) << year << "-" << month;
                int y, m, d;
                platform::DecodeDate(expected, y, m, d);
                ASSERT_EQ(y * 10000 + m * 100 + d, year * 10000 + month * 100 + day);
                expected += 1;
            }
        }
    }
}

TEST(DateEncoding, ImpossibleDatesRaise) {
    const int cases[][3] = {
        {0, 1, 1},    {10000, 1, 1}, {2023, 2, 29}, {1900, 2, 29}, {2024, 13, 1},
        {2024, 0, 1}, {2024, 4, 31}, {2024, 1, 0},  {2024, 1, 32}, {-1, 1, 1},
    };
    for (const auto& c : cases) {
        TDateTime value = 7;
        EXPECT_FALSE(platform::TryEncodeDate(c[0], c[1], c[2], value)) << c[0] << c[1] << c[2];
        try {
            EncodeDate(c[0], c[1], c[2]);
            ADD_FAILURE() << "no exception for " << c[0] << "-" << c[1] << "-" << c[2];
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "Invalid argument to date encode");
        }
    }
}

struct TimeCase {
    int hour, min, sec, msec;
    int msecsOfDay;
};

TEST(TimeEncoding, EncodesTheFractionOfTheDay) {
    const TimeCase cases[] = {
        {0, 0, 0, 0, 0},
        {0, 0, 0, 1, 1},
        {6, 0, 0, 0, 21600000},
        {12, 0, 0, 0, 43200000},
        {13, 14, 15, 16, 47655016},
        {23, 59, 59, 999, 86399999},
    };
    for (const TimeCase& c : cases) {
        const TDateTime value = EncodeTime(c.hour, c.min, c.sec, c.msec);
        EXPECT_DOUBLE_EQ(value, c.msecsOfDay / 86400000.0);
        int hour, min, sec, msec;
        platform::DecodeTime(value, hour, min, sec, msec);
        EXPECT_EQ(hour, c.hour);
        EXPECT_EQ(min, c.min);
        EXPECT_EQ(sec, c.sec);
        EXPECT_EQ(msec, c.msec);
        EXPECT_EQ(DateTimeToTimeStamp(value).Time, c.msecsOfDay);
    }
}

TEST(TimeEncoding, ImpossibleTimesRaise) {
    const int cases[][4] = {
        {24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}, {0, 0, 0, -1},
    };
    for (const auto& c : cases) {
        TDateTime value;
        EXPECT_FALSE(platform::TryEncodeTime(c[0], c[1], c[2], c[3], value));
        try {
            EncodeTime(c[0], c[1], c[2], c[3]);
            ADD_FAILURE() << "no exception for " << c[0] << ":" << c[1] << ":" << c[2];
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "Invalid argument to time encode");
        }
    }
    TDateTime value;
    EXPECT_FALSE(platform::TryEncodeDateTime(2024, 1, 1, 24, 0, 0, 0, value));
    EXPECT_FALSE(platform::TryEncodeDateTime(2024, 2, 30, 0, 0, 0, 0, value));
    EXPECT_THROW(EncodeDateTime(2024, 2, 30, 0, 0, 0, 0), EConvertError);
}

TEST(DateTimeEncoding, TimeCountsForwardFromMidnightAlsoBefore18991230) {
    EXPECT_EQ(EncodeDateTime(1899, 12, 30, 6, 0, 0, 0), 0.25);
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
    EXPECT_EQ(EncodeDateTime(1899, 12, 28, 18, 0, 0, 0), -2.75);

    struct Case {
        TDateTime value;
        int year, month, day, hour;
    };
    // -0.25 has the date part 0, so it reads as 1899-12-30 06:00, just like 0.25.
    const Case cases[] = {
        {-1.25, 1899, 12, 29, 6},
        {-2.75, 1899, 12, 28, 18},
        {-0.25, 1899, 12, 30, 6},
        {-693593.5, 1, 1, 1, 12},
    };
    for (const Case& c : cases) {
        int year, month, day, hour, min, sec, msec;
        platform::DecodeDate(c.value, year, month, day);
        platform::DecodeTime(c.value, hour, min, sec, msec);
        EXPECT_EQ(year * 10000 + month * 100 + day, c.year * 10000 + c.month * 100 + c.day)
            << c.value;
        EXPECT_EQ(hour, c.hour) << c.value;
    }
}

TEST(DateTimeEncoding, DecodingRoundsToTheMillisecond) {
    // 23:59:59.9996 rounds up into the next day, a leap day here.
    const TDateTime value = EncodeDate(2024, 2, 28) + 86399999.6 / 86400000;
    int year, month, day, hour, min, sec, msec;
    platform::DecodeDate(value, year, month, day);
    platform::DecodeTime(value, hour, min, sec, msec);
    EXPECT_EQ(year * 10000 + month * 100 + day, 20240229);
    EXPECT_EQ(hour + min + sec + msec, 0);
    // A second computed by division lands a hair below the exact value.
    const TDateTime second = EncodeDate(2024, 2, 28) + 1.0 / 86400;
    EXPECT_EQ(DateTimeToTimeStamp(second).Time, 1000);
}

TEST(TimeStamp, DateCountsFrom00010101AsOneAndTimeInMilliseconds) {
    const TTimeStamp first = DateTimeToTimeStamp(EncodeDate(1, 1, 1));
    EXPECT_EQ(first.Date, 1);
    EXPECT_EQ(first.Time, 0);
    const TTimeStamp noon = DateTimeToTimeStamp(0.5);
    EXPECT_EQ(noon.Date, 693594);
    EXPECT_EQ(noon.Time, 43200000);
    const TTimeStamp before = DateTimeToTimeStamp(-1.25);
    EXPECT_EQ(before.Date, 693593);
    EXPECT_EQ(before.Time, 21600000);
    const TTimeStamp last = DateTimeToTimeStamp(EncodeDateTime(9999, 12, 31, 23, 59, 59, 999));
    EXPECT_EQ(last.Date, 3652059);
    EXPECT_EQ(last.Time, 86399999);

    EXPECT_EQ(platform::TimeStampToMSecs({1, 1}), 86400001.0);
    EXPECT_EQ(platform::TimeStampToMSecs(DateTimeToTimeStamp(platform::UnixDateDelta)),
              62135683200000.0);
    EXPECT_EQ(platform::TimeStampToMSecs(last), 3652059.0 * 86400000 + 86399999);
}

TEST(TimeStamp, ConvertsBackToTheSameDateTime) {
    const TDateTime values[] = {0, 0.5, -1.25, -693593, 2958465, EncodeDate(2024, 2, 29) + 0.75};
    for (const TDateTime value : values) {
        EXPECT_EQ(platform::TimeStampToDateTime(DateTimeToTimeStamp(value)), value) << value;
    }
}

TEST(TimeStamp, InvalidStampsRaise) {
    try {
        platform::TimeStampToDateTime({0, 0});
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'0.0' is not a valid timestamp");
    }
    EXPECT_THROW(platform::TimeStampToDateTime({-1, 1}), EConvertError);
    EXPECT_THROW(platform::TimeStampToDateTime({86400000, 1}), EConvertError);
}

TEST(DateTimeRange, ValuesOutsideYears1To9999Raise) {
    const TDateTime outside[] = {
        -693594,  // 0000-12-31
        2958466,  // 10000-01-01
        2958465.9999999999,
        1e300,
        -1e300,
        std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
    };
    for (const TDateTime value : outside) {
        int year, month, day, hour, min, sec, msec;
        EXPECT_THROW(platform::DecodeDate(value, year, month, day), EConvertError) << value;
        EXPECT_THROW(platform::DecodeTime(value, hour, min, sec, msec), EConvertError) << value;
    }
    try {
        DateTimeToTimeStamp(2958466);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'2958466' is not a valid date and time");
    }
}

struct UnixCase {
    std::int64_t seconds;
    int year, month, day, hour, min, sec;
};

TEST(UnixTime, SecondsSince1970WithoutTimeZone) {
    const UnixCase cases[] = {
        {0, 1970, 1, 1, 0, 0, 0},
        {86399, 1970, 1, 1, 23, 59, 59},
        {-1, 1969, 12, 31, 23, 59, 59},
        {951782400, 2000, 2, 29, 0, 0, 0},
        {2147483647, 2038, 1, 19, 3, 14, 7},
        {-2147483648LL, 1901, 12, 13, 20, 45, 52},
        {-62135596800LL, 1, 1, 1, 0, 0, 0},
        {253402300799LL, 9999, 12, 31, 23, 59, 59},
    };
    for (const UnixCase& c : cases) {
        const TDateTime value = platform::UnixToDateTime(c.seconds);
        EXPECT_EQ(value, EncodeDateTime(c.year, c.month, c.day, c.hour, c.min, c.sec, 0))
            << c.seconds;
        EXPECT_EQ(platform::DateTimeToUnix(value), c.seconds);
    }
}

TEST(UnixTime, DateTimeToUnixTruncatesTowardsZero) {
    EXPECT_EQ(platform::DateTimeToUnix(platform::UnixDateDelta + 1.5 / 86400), 1);
    EXPECT_EQ(platform::DateTimeToUnix(platform::UnixDateDelta - 1.5 / 86400), -1);
    EXPECT_EQ(platform::DateTimeToUnix(platform::UnixDateDelta - 0.999 / 86400), 0);
}

TEST(UnixTime, SecondsOutsideTheDateRangeRaise) {
    const std::int64_t outside[] = {
        -62135596801LL,
        253402300800LL,
        std::numeric_limits<std::int64_t>::max(),
        std::numeric_limits<std::int64_t>::min(),
    };
    for (const std::int64_t seconds : outside) {
        EXPECT_THROW(platform::UnixToDateTime(seconds), EConvertError) << seconds;
    }
    try {
        platform::UnixToDateTime(253402300800LL);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'253402300800' is not a valid Unix time");
    }
}

class Clock : public testing::Test {
protected:
    void TearDown() override { platform::SetClock({}); }
};

TEST_F(Clock, NowReadsTheClockSet) {
    TDateTime current = EncodeDateTime(2024, 3, 5, 7, 8, 9, 10);
    platform::SetClock([&current] { return current; });
    EXPECT_EQ(platform::Now(), current);
    current += 1;
    EXPECT_EQ(platform::Now(), current);
}

// Local wall-clock seconds since 1970, as if the local time were UTC.
std::int64_t LocalSeconds() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return timegm(&local);
}

TEST_F(Clock, DefaultClockIsTheLocalWallClock) {
    platform::SetClock([] { return 0.0; });
    platform::SetClock({});
    const std::int64_t before = LocalSeconds();
    const std::int64_t now = platform::DateTimeToUnix(platform::Now());
    const std::int64_t after = LocalSeconds();
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

}  // namespace
