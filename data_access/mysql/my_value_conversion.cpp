#include "data_access/mysql/my_value_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "mysql_client/mysql_field_info.h"
#include "platform/exceptions.h"
#include "platform/format.h"
#include "platform/text_encoding.h"

namespace data_access::mysql {

using namespace mysql_client;

const platform::TDateTime ZeroDate = platform::EncodeDate(100, 1, 1);

namespace {

// The value of a byte read as a digit, unchecked.
int DigitOf(std::uint8_t c) noexcept {
    return int(c) - '0';
}

std::string Text(TValueBytes value) {
    return std::string(reinterpret_cast<const char*>(value.data()), value.size());
}

void StoreBytes(std::uint64_t value, std::int32_t size, std::uint8_t* dest) noexcept {
    for (std::int32_t i = 0; i < size; ++i) {
        dest[i] = std::uint8_t(value >> (8 * i));
    }
}

// Decimal text with an optional leading "-", every further byte taken as a digit. The
// arithmetic wraps in the width of Word, as the stored number is cut to it anyway.
template <typename Word>
Word ParseIntText(TValueBytes value) noexcept {
    std::size_t i = 0;
    const bool negative = !value.empty() && value[0] == '-';
    if (negative) {
        ++i;
    }
    Word result = 0;
    for (; i < value.size(); ++i) {
        result = Word(result * 10 + Word(DigitOf(value[i])));
    }
    return negative ? Word(0 - result) : result;
}

[[noreturn]] void NotAFloat(TValueBytes value) {
    throw platform::EConvertError(
        platform::Format("'%s' is not a valid floating point value",
                         Text(value.first(std::min<std::size_t>(value.size(), 36))).c_str()));
}

// The exponent of a float text: an optional sign and digits up to the end of the value, within
// 32 bits.
std::int64_t ParseExponent(TValueBytes text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        ++i;
    }
    std::int64_t result = 0;
    bool valid = i < text.size();
    for (; valid && i < text.size(); ++i) {
        const int digit = DigitOf(text[i]);
        valid = digit >= 0 && digit <= 9;
        result = result * 10 + digit;
        valid = valid && result <= std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    }
    if (negative) {
        result = -result;
    }
    if (!valid || result > std::numeric_limits<std::int32_t>::max()) {
        throw platform::EConvertError(
            platform::Format("'%s' is not a valid integer value", Text(text).c_str()));
    }
    return result;
}

// A decimal text split into its parts: sign, the digits without leading zeros of the integer
// part, and the digits of the fraction.
struct TDecimalText {
    bool Negative = false;
    std::string IntDigits;
    std::string FracDigits;
};

bool SplitDecimal(TValueBytes value, TDecimalText& parts) {
    std::size_t i = 0;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        parts.Negative = value[i] == '-';
        ++i;
    }
    bool point = false;
    bool digits = false;
    for (; i < value.size(); ++i) {
        const std::uint8_t c = value[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                parts.FracDigits += char(c);
            } else if (c != '0' || !parts.IntDigits.empty()) {
                parts.IntDigits += char(c);
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

// The number at positions [pos, pos + count) of a text known to be long enough.
int NumberAt(TValueBytes value, std::size_t pos, std::size_t count) noexcept {
    int result = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        result = result * 10 + DigitOf(value[i]);
    }
    return result;
}

int TwoDigitYear(int year) noexcept {
    return year < 70 ? 2000 + year : 1900 + year;
}

void RequireLength(TValueBytes value, std::size_t length, const char* what) {
    if (value.size() < length) {
        throw platform::EConvertError(
            platform::Format("'%s' is not a valid %s", Text(value).c_str(), what));
    }
}

bool TimeFromStr(TValueBytes value, platform::StringView fieldName, platform::TDateTime& result) {
    const std::size_t window = std::min<std::size_t>(value.size(), 5);
    std::size_t colon = 0;
    while (colon < window && value[colon] != ':') {
        ++colon;
    }
    // The minutes and seconds follow the first ":" at fixed places.
    if (colon == window || value.size() < colon + 6) {
        throw platform::EDatabaseError(platform::Format("Wrong time format. Field %s, value %s",
                                                        platform::Utf16ToUtf8(fieldName).c_str(),
                                                        Text(value).c_str()));
    }
    const bool negative = value[0] == '-';
    const std::size_t hoursStart = negative ? 1 : 0;
    const int hours = colon > hoursStart ? NumberAt(value, hoursStart, colon - hoursStart) : 0;
    const int minutes = NumberAt(value, colon + 1, 2);
    const int seconds = NumberAt(value, colon + 4, 2);
    result = double(hours) / platform::HoursPerDay + double(minutes * 60 + seconds) / 86400.0;
    if (negative) {
        result = -result;
    }
    return true;
}

// The parts of a TIMESTAMP text of the given display length; false for a length of no form.
bool TimestampParts(TValueBytes value, int length, int (&parts)[6]) {
    switch (length) {
        case 14:
            RequireLength(value, 14, "date and time");
            parts[0] = NumberAt(value, 0, 4);
            for (int i = 1; i < 6; ++i) {
                parts[i] = NumberAt(value, std::size_t(2 + 2 * i), 2);
            }
            return true;
        case 12:
        case 10:
        case 8:
        case 6:
        case 4:
        case 2: {
            RequireLength(value, std::size_t(length), "date and time");
            // 8 digits are YYYYMMDD, the other lengths start with a two-digit year.
            const bool longYear = length == 8;
            std::size_t pos = longYear ? 4 : 2;
            parts[0] = longYear ? NumberAt(value, 0, 4) : TwoDigitYear(NumberAt(value, 0, 2));
            for (int i = 1; i < 6 && pos < std::size_t(length); ++i, pos += 2) {
                parts[i] = NumberAt(value, pos, 2);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

void ConvertInteger(TValueBytes value, TDataType dataType, bool isBit, std::int32_t size,
                    std::uint8_t* dest) {
    std::uint64_t number = 0;
    bool isTrue = false;
    if (isBit) {
        for (std::uint8_t byte : value) {
            number = (number << 8) | byte;
        }
        isTrue = !value.empty() && value.back() != 0;
    } else if (dataType == dtInt64 || dataType == dtUInt32) {
        number = ParseIntText<std::uint64_t>(value);
        isTrue = number != 0;
    } else {
        const std::uint32_t word = ParseIntText<std::uint32_t>(value);
        number = std::uint64_t(std::int64_t(std::int32_t(word)));
        isTrue = word != 0;
    }
    if (dataType == dtBoolean) {
        StoreBytes(isTrue ? std::uint64_t(-1) : 0, 2, dest);
        return;
    }
    StoreBytes(number, size, dest);
}

double ConvertToFloat(TValueBytes value) {
    constexpr std::size_t window = 36;
    constexpr std::size_t firstPart = 18;
    std::size_t i = 0;
    bool negative = false;
    if (!value.empty() && (value[0] == '+' || value[0] == '-')) {
        negative = value[0] == '-';
        ++i;
    }
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    int lowDigits = 0;
    std::int64_t scale = 0;
    bool point = false;
    for (; i < value.size(); ++i) {
        const std::uint8_t c = value[i];
        if (c >= '0' && c <= '9') {
            if (i < firstPart) {
                high = high * 10 + std::uint64_t(c - '0');
            } else if (i < window) {
                low = low * 10 + std::uint64_t(c - '0');
                ++lowDigits;
            } else if (!point) {
                // Beyond the digits read, a digit of the integer part still makes the number
                // ten times larger.
                ++scale;
            }
            if (point && i < window) {
                --scale;
            }
        } else if (c == '.' && !point) {
            point = true;
        } else if (c == 'e' || c == 'E') {
            scale += ParseExponent(value.subspan(i + 1));
            break;
        } else {
            NotAFloat(value);
        }
    }
    long double mantissa = static_cast<long double>(high);
    if (lowDigits > 0) {
        mantissa = mantissa * std::pow(10.0L, lowDigits) + static_cast<long double>(low);
    }
    long double result = 0;
    if (mantissa != 0) {
        result = scale >= 0 ? mantissa * std::pow(10.0L, static_cast<long double>(scale))
                            : mantissa / std::pow(10.0L, static_cast<long double>(-scale));
    }
    return static_cast<double>(negative ? -result : result);
}

std::int64_t ConvertToCurrency(TValueBytes value) {
    TDecimalText parts;
    // 922337203685477.5807 is the largest currency value: 15 integer digits at most.
    if (!SplitDecimal(value, parts) || parts.IntDigits.size() > 15) {
        NotAFloat(value);
    }
    std::int64_t units = 0;
    for (char c : parts.IntDigits) {
        units = units * 10 + (c - '0');
    }
    std::int64_t fraction = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        fraction = fraction * 10 + (i < parts.FracDigits.size() ? parts.FracDigits[i] - '0' : 0);
    }
    const bool roundUp = parts.FracDigits.size() > 4 && parts.FracDigits[4] >= '5';
    const std::int64_t maxUnits = std::numeric_limits<std::int64_t>::max() / 10000;
    if (units > maxUnits) {
        NotAFloat(value);
    }
    std::int64_t result = units * 10000;
    const std::int64_t rest = fraction + (roundUp ? 1 : 0);
    if (result > std::numeric_limits<std::int64_t>::max() - rest) {
        NotAFloat(value);
    }
    result += rest;
    return parts.Negative ? -result : result;
}

void ConvertToFMTBCD(TValueBytes value, int precision, int scale, std::uint8_t* dest) {
    TDecimalText parts;
    if (!SplitDecimal(value, parts)) {
        throw platform::EConvertError(
            platform::Format("'%s' is not a valid BCD value", Text(value).c_str()));
    }
    precision = std::clamp(precision, 1, MaxBcdPrecision);
    scale = std::clamp(scale, 0, precision);
    if (int(parts.IntDigits.size()) > precision - scale) {
        throw platform::EConvertError("BCD overflow");
    }
    std::string digits(std::size_t(precision - scale) - parts.IntDigits.size(), '0');
    digits += parts.IntDigits;
    parts.FracDigits.resize(std::size_t(scale), '0');
    digits += parts.FracDigits;
    const bool isZero = digits.find_first_not_of('0') == std::string::npos;
    std::memset(dest, 0, FMTBCDSize);
    dest[0] = std::uint8_t(precision);
    dest[1] = std::uint8_t(scale | (parts.Negative && !isZero ? 0x80 : 0));
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto digit = std::uint8_t(digits[i] - '0');
        dest[2 + i / 2] |= std::uint8_t(i % 2 == 0 ? digit << 4 : digit);
    }
}

bool DateTimeFromStr(TValueBytes value, std::uint8_t myType, int fieldLength,
                     platform::StringView fieldName, platform::TDateTime& result) {
    int parts[6] = {0, 1, 1, 0, 0, 0};
    switch (myType) {
        case MYSQL_TYPE_TIME:
            return TimeFromStr(value, fieldName, result);
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            RequireLength(value, 10, "date");
            return platform::TryEncodeDate(NumberAt(value, 0, 4), NumberAt(value, 5, 2),
                                           NumberAt(value, 8, 2), result);
        case MYSQL_TYPE_TIMESTAMP:
            // 19, or 21 to 26 with the fraction of a second, which is not kept.
            if (fieldLength == 19 || (fieldLength > 20 && fieldLength <= 26)) {
                break;
            }
            if (!TimestampParts(value, fieldLength, parts)) {
                platform::AssertionFailed("Invalid FIELD_TYPE_TIMESTAMP Field.Length (" +
                                              std::to_string(fieldLength) + ")",
                                          __FILE__, __LINE__);
            }
            return platform::TryEncodeDateTime(parts[0], parts[1], parts[2], parts[3], parts[4],
                                               parts[5], 0, result);
        default:
            break;
    }
    // YYYY-MM-DD HH:MM:SS
    RequireLength(value, 19, "date and time");
    return platform::TryEncodeDateTime(NumberAt(value, 0, 4), NumberAt(value, 5, 2),
                                       NumberAt(value, 8, 2), NumberAt(value, 11, 2),
                                       NumberAt(value, 14, 2), NumberAt(value, 17, 2), 0, result);
}

std::size_t Utf8ToWs(TValueBytes value, char16_t* dest, std::size_t capacity, bool terminate) {
    const std::size_t limit = terminate ? (capacity == 0 ? 0 : capacity - 1) : capacity;
    std::size_t out = 0;
    std::size_t i = 0;
    const auto isTrail = [](std::uint8_t b) { return (b & 0xC0) == 0x80; };
    while (i < value.size() && out < limit) {
        const std::uint8_t lead = value[i];
        if (lead < 0x80) {
            dest[out++] = lead;
            ++i;
            continue;
        }
        const std::size_t length = (lead & 0xF8) == 0xF0 ? 4 : (lead & 0x20) ? 3 : 2;
        if (i + length > value.size()) {
            throw platform::EConvertError("incomplete multibyte char");
        }
        std::uint32_t code = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
        for (std::size_t k = 1; k < length; ++k) {
            const std::uint8_t trail = value[i + k];
            if (k + 1 < length && !isTrail(trail)) {
                throw platform::EConvertError("malformed trail byte or out of range char");
            }
            if (k + 1 == length && !isTrail(trail) && trail > 0x80) {
                throw platform::EConvertError("malformed trail byte");
            }
            code = (code << 6) | (trail & 0x3F);
        }
        if (length == 4 && code >= 0x10000 && code <= 0x10FFFF) {
            if (out + 2 > limit) {
                break;
            }
            code -= 0x10000;
            dest[out++] = char16_t(0xD800 + (code >> 10));
            dest[out++] = char16_t(0xDC00 + (code & 0x3FF));
        } else {
            dest[out++] = char16_t(code);
        }
        i += length;
    }
    if (terminate && capacity > 0) {
        dest[out] = 0;
    }
    return out;
}

}  // namespace data_access::mysql
