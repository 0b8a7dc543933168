#pragma once

#include <cstdint>
#include <string_view>

#include "platform/date_time.h"
#include "platform/text.h"

namespace platform {

// The locale's formats for value texts. In the date and time formats "/" and ":" stand for
// DateSeparator and TimeSeparator. The defaults are the fallback used when the user has no
// locale of their own: dd.mm.yyyy, hh:mm:ss and a "." for decimals.
struct TFormatSettings {
    char16_t DecimalSeparator = u'.';
    char16_t DateSeparator = u'.';
    char16_t TimeSeparator = u':';
    String ShortDateFormat = u"dd/mm/yyyy";
    String LongTimeFormat = u"hh:nn:ss";
};

// Settings made from a locale's strftime date and time formats and decimal point (UTF-8). %d,
// %e, %m, %y, %Y, %H, %k, %M and %S are understood; a format using anything else (month names,
// the 12-hour clock) or a Latin letter or quote as literal text keeps the fallback. The first
// literal character of a format becomes its separator.
TFormatSettings MakeFormatSettings(std::string_view dateFormat, std::string_view timeFormat,
                                   std::string_view decimalPoint);

// The process's settings, read from the user's locale at first use; the "C" and "POSIX"
// locales count as none. Change them only while no other thread formats values.
TFormatSettings& FormatSettings();

// Formats a date-time. Letters, in either case, with the number of repeats meaning the width:
// d, dd day; m, mm month; yy year of the century; yyyy (or longer) the year; h, hh hour; n, nn
// minutes, and m, mm too when they follow an hour letter; s, ss seconds; z milliseconds, zzz
// three digits. "/" and ":" give the separators; text in single or double quotes is copied
// without the quotes. Other characters, and letters not listed, are copied as they stand.
// A value outside the date-time range raises EConvertError.
String FormatDateTime(StringView format, TDateTime value,
                      const TFormatSettings& settings = FormatSettings());
// ShortDateFormat; LongTimeFormat; both separated by a blank, the time left out when it is
// exactly midnight.
String DateToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
String TimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
String DateTimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());

// The general number format with 15 significant digits: the shortest text, without trailing
// zeros, in fixed notation when the value has at most 15 digits before the point and is at least
// 0.00001 in size, otherwise as a mantissa, "E" and the exponent (1E20, 1.5E-7). A zero is "0"
// whatever its sign; NaN and the infinities are "NAN", "INF" and "-INF".
String FloatToStr(double value, const TFormatSettings& settings = FormatSettings());

// Decimal, with a leading "-" when negative and no grouping.
String IntToStr(std::int64_t value);
// A 32-bit signed decimal integer: leading blanks, an optional sign, then digits up to the
// end. Anything else, or a value out of range, raises EConvertError
// "'%s' is not a valid integer value" with the whole text.
std::int32_t StrToInt(StringView text);

}  // namespace platform
