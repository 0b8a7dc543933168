#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "data_access/data_types.h"
#include "platform/date_time.h"
#include "platform/text.h"

namespace data_access::mysql {

// One value of a text result row as the server sent it: its bytes, nothing beyond them. Every
// converter here reads only these bytes and writes only the destination it is given.
using TValueBytes = std::span<const std::uint8_t>;

// The smallest date-time value, which a zero date reads as when it is not read as NULL:
// 0100-01-01 00:00:00.
extern const platform::TDateTime ZeroDate;

// Integers and booleans. A BIT value is its bytes as a big-endian unsigned number. Any other
// value is decimal text: an optional leading "-", then every further byte taken as a digit
// (byte - '0') without checking, accumulated in 64 bits for dtInt64 and dtUInt32 and in 32 bits
// (wrapping) for the other types. The number is stored in size bytes (1, 2, 4 or 8,
// little-endian); a dtBoolean stores 16 bits: -1 when the number is not 0, else 0 (for BIT: when
// the last byte is not 0).
void ConvertInteger(TValueBytes value, TDataType dataType, bool isBit, std::int32_t size,
                    std::uint8_t* dest);

// Decimal text to double: an optional sign, digits, at most one ".", an optional exponent ("e"
// or "E", an optional sign, digits). The digits of the first 36 characters make the mantissa;
// digits before the "." beyond them still count for its magnitude. A non-digit in the exponent
// raises EConvertError "'%s' is not a valid integer value" with the exponent's text; any other
// unexpected character "'%s' is not a valid floating point value" with the first 36 characters.
double ConvertToFloat(TValueBytes value);

// Decimal text as currency: ten-thousandths in 64 bits, rounded half away from zero. Malformed
// text or a value out of range raises EConvertError "'%s' is not a valid floating point value".
std::int64_t ConvertToCurrency(TValueBytes value);

// The stored form of dtFMTBCD (FMTBCDSize bytes): byte 0 the precision, byte 1 the scale with
// bit 0x80 set for a negative number, then the precision's digits two per byte, the first digit
// in the high half. At most 64 digits.
inline constexpr int MaxBcdPrecision = 64;
// Decimal text normalised to precision and scale (digits beyond the scale are cut). Malformed
// text raises EConvertError "'%s' is not a valid BCD value"; more integer digits than precision
// less scale raise EConvertError "BCD overflow".
void ConvertToFMTBCD(TValueBytes value, int precision, int scale, std::uint8_t* dest);

// Date and time texts of a column of MySQL type myType; fieldLength chooses the form of a
// TIMESTAMP. Returns false for a zero date: a date, or for DATETIME and TIMESTAMP a time, that
// cannot be encoded. A text too short for its form raises EConvertError "'%s' is not a valid
// date" (DATE) or "'%s' is not a valid date and time"; a TIME text without ":" in its first five
// characters, or too short, raises EDatabaseError "Wrong time format. Field %s, value %s" naming
// fieldName; a TIMESTAMP length without a form is an assertion failure.
bool DateTimeFromStr(TValueBytes value, std::uint8_t myType, int fieldLength,
                     platform::StringView fieldName, platform::TDateTime& result);

// UTF-8 to UTF-16 into dest, which holds capacity units; with terminate one of them is kept for
// the zero written after the last character. Returns the units written before the zero. A byte
// below 128 is a character; a higher one starts a sequence of three bytes when its bit 0x20 is
// set (four, as a surrogate pair, for 0xF0 to 0xF7), else of two, whose following bytes give
// their low six bits. Raises EConvertError "incomplete multibyte char" for a sequence cut by
// the end of the value, "malformed trail byte or out of range char" for an inner byte that is
// not a continuation byte, and "malformed trail byte" for a last byte above 128 that is not one.
// Decoding stops when dest is full.
std::size_t Utf8ToWs(TValueBytes value, char16_t* dest, std::size_t capacity, bool terminate);

}  // namespace data_access::mysql
