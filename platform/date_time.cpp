#include "platform/date_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

#include "platform/exceptions.h"
#include "platform/format.h"

namespace platform {

namespace {

constexpr int DaysPer400Years = 146097;
constexpr int DaysPer100Years = 36524;
constexpr int DaysPer4Years = 1461;
constexpr std::int64_t SecsPerDay = 86400;
// The time-stamp day numbers of 9999-12-31 and of 1970-01-01.
constexpr std::int32_t MaxDateStamp = 3652059;
constexpr std::int64_t UnixEpochStamp = DateDelta + 25569;

std::int64_t StampMSecs(const TTimeStamp& stamp) {
    return std::int64_t(stamp.Date) * MSecsPerDay + stamp.Time;
}

// Days from 0001-01-01 to the given date.
int DaysBefore(int year, int month, int day) {
    const int y = year - 1;
    int days = y * 365 + y / 4 - y / 100 + y / 400 + day - 1;
    for (int m = 1; m < month; ++m) {
        days += DaysInAMonth(year, m);
    }
    return days;
}

TDateTime CombineDateAndTime(TDateTime date, TDateTime time) {
    return date >= 0 ? date + time : date - time;
}

TTimeStamp StampFromMSecs(std::int64_t msecs) {
    return {static_cast<std::int32_t>(msecs % MSecsPerDay),
            static_cast<std::int32_t>(msecs / MSecsPerDay)};
}

[[noreturn]] void RaiseInvalidDateTime(TDateTime value) {
    throw EConvertError(Format("'%.15g' is not a valid date and time", value));
}

std::mutex ClockLock;
TClock Clock;

TDateTime SystemNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto msec = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    // A leap second is shown as the last second of its minute.
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, std::min(local.tm_sec, 59), static_cast<int>(msec));
}

}  // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInAMonth(int year, int month) {
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInAMonth(year, month)) {
        return false;
    }
    result = DaysBefore(year, month, day) + 1 - DateDelta;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime result;
    if (!TryEncodeDate(year, month, day, result)) {
        throw EConvertError("Invalid argument to date encode");
    }
    return result;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
    if (hour < 0 || hour >= HoursPerDay || min < 0 || min >= MinsPerHour || sec < 0 ||
        sec >= SecsPerMin || msec < 0 || msec >= MSecsPerSec) {
        return false;
    }
    const int msecs = ((hour * MinsPerHour + min) * SecsPerMin + sec) * MSecsPerSec + msec;
    result = TDateTime(msecs) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime result;
    if (!TryEncodeTime(hour, min, sec, msec, result)) {
        throw EConvertError("Invalid argument to time encode");
    }
    return result;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec,
                       TDateTime& result) {
    TDateTime date;
    TDateTime time;
    if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, min, sec, msec, time)) {
        return false;
    }
    result = CombineDateAndTime(date, time);
    return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec) {
    return CombineDateAndTime(EncodeDate(year, month, day), EncodeTime(hour, min, sec, msec));
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    // Whole 400-, 100-, 4- and 1-year cycles from 0001-01-01; the last year of a 100-year or
    // 4-year run is the one that may be a day longer, so at most 3 shorter runs are taken.
    int days = DateTimeToTimeStamp(value).Date - 1;
    year = 1 + 400 * (days / DaysPer400Years);
    days %= DaysPer400Years;
    const int centuries = std::min(days / DaysPer100Years, 3);
    year += 100 * centuries;
    days -= centuries * DaysPer100Years;
    year += 4 * (days / DaysPer4Years);
    days %= DaysPer4Years;
    const int years = std::min(days / 365, 3);
    year += years;
    days -= years * 365;
    month = 1;
    while (days >= DaysInAMonth(year, month)) {
        days -= DaysInAMonth(year, month);
        ++month;
    }
    day = days + 1;
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    int rest = DateTimeToTimeStamp(value).Time;
    msec = rest % MSecsPerSec;
    rest /= MSecsPerSec;
    sec = rest % SecsPerMin;
    rest /= SecsPerMin;
    min = rest % MinsPerHour;
    hour = rest / MinsPerHour;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
    // The bound keeps the product exact and far inside 64 bits; NaN fails it too. Rounding the
    // whole value first lets a time that rounds up to midnight move to the next day.
    if (!(std::fabs(value) < 3.0e6)) {
        RaiseInvalidDateTime(value);
    }
    const auto msecs = static_cast<std::int64_t>(std::nearbyint(value * MSecsPerDay));
    const TTimeStamp stamp = {static_cast<std::int32_t>(std::abs(msecs) % MSecsPerDay),
                              static_cast<std::int32_t>(DateDelta + msecs / MSecsPerDay)};
    if (stamp.Date < 1 || stamp.Date > MaxDateStamp) {
        RaiseInvalidDateTime(value);
    }
    return stamp;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
    if (stamp.Date < 1 || stamp.Time < 0 || stamp.Time >= MSecsPerDay) {
        throw EConvertError(Format("'%d.%d' is not a valid timestamp", stamp.Date, stamp.Time));
    }
    return CombineDateAndTime(stamp.Date - DateDelta, TDateTime(stamp.Time) / MSecsPerDay);
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
    return double(StampMSecs(stamp));
}

TDateTime UnixToDateTime(std::int64_t seconds) {
    constexpr std::int64_t First = (1 - UnixEpochStamp) * SecsPerDay;
    constexpr std::int64_t Last = (MaxDateStamp + 1 - UnixEpochStamp) * SecsPerDay - 1;
    if (seconds < First || seconds > Last) {
        throw EConvertError(
            Format("'%lld' is not a valid Unix time", static_cast<long long>(seconds)));
    }
    return TimeStampToDateTime(
        StampFromMSecs((UnixEpochStamp * SecsPerDay + seconds) * MSecsPerSec));
}

std::int64_t DateTimeToUnix(TDateTime value) {
    return (StampMSecs(DateTimeToTimeStamp(value)) - UnixEpochStamp * MSecsPerDay) / MSecsPerSec;
}

void SetClock(TClock clock) {
    const std::lock_guard<std::mutex> lock(ClockLock);
    Clock = std::move(clock);
}

TDateTime Now() {
    TClock clock;
    {
        const std::lock_guard<std::mutex> lock(ClockLock);
        clock = Clock;
    }
    return clock ? clock() : SystemNow();
}

}  // namespace platform
