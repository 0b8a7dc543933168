#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// A date and time: days since 1899-12-30, the time of day as the fraction. Before that day the
// value is negative while its fraction still counts forward from midnight (1899-12-29 06:00 is
// -1.25): the date is the value truncated towards zero, the time its absolute fraction. Values
// cover 0001-01-01 to 9999-12-31; the time is kept to the millisecond.
using TDateTime = double;

constexpr int HoursPerDay = 24;
constexpr int MinsPerHour = 60;
constexpr int SecsPerMin = 60;
constexpr int MSecsPerSec = 1000;
constexpr int MSecsPerDay = HoursPerDay * MinsPerHour * SecsPerMin * MSecsPerSec;
// The time-stamp day number of 1899-12-30.
constexpr int DateDelta = 693594;
// 1970-01-01 00:00:00.
constexpr TDateTime UnixDateDelta = 25569;

// The date as days since 0001-01-01 plus 1 (so 0001-01-01 is 1), the time as milliseconds
// since midnight.
struct TTimeStamp {
    std::int32_t Time;
    std::int32_t Date;
};

bool IsLeapYear(int year);
// Days of the month (1 to 12) in that year.
int DaysInAMonth(int year, int month);

// Years 1 to 9999 with a month and day that exist; hours 0 to 23, minutes and seconds 0 to 59,
// milliseconds 0 to 999. The Encode forms raise EConvertError "Invalid argument to date encode"
// or "Invalid argument to time encode" where the Try forms return false.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
// The time is added to a date on or after 1899-12-30 and subtracted from an earlier one.
bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec,
                       TDateTime& result);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);

// The parts of a value rounded to the millisecond (23:59:59.9996 is midnight of the next day).
// A value outside the covered range (or not a number) raises EConvertError.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);

// Raises EConvertError for a value outside the covered range.
TTimeStamp DateTimeToTimeStamp(TDateTime value);
// Raises EConvertError "'%d.%d' is not a valid timestamp" (date, time) for a stamp whose date
// is below 1 or whose time is not within the day.
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
// Date × 86400000 + time.
double TimeStampToMSecs(const TTimeStamp& stamp);

// Unix time: whole seconds since 1970-01-01 00:00:00, no time-zone conversion either way.
// UnixToDateTime raises EConvertError when the result is outside the covered range;
// DateTimeToUnix truncates towards zero (negative before 1970).
TDateTime UnixToDateTime(std::int64_t seconds);
std::int64_t DateTimeToUnix(TDateTime value);

// The current local date and time, from the clock set here: by default the system's local
// clock to the millisecond. An empty clock restores the default.
using TClock = std::function<TDateTime()>;
void SetClock(TClock clock);
TDateTime Now();

}  // namespace platform
