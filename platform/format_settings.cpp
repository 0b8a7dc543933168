#include "platform/format_settings.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/exceptions.h"
#include "platform/format.h"
#include "platform/text_encoding.h"

namespace platform {

namespace {

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

String Widen(std::string_view ascii) {
    return String(ascii.begin(), ascii.end());
}

// The format letters standing for one strftime conversion, or nullptr when it has none.
const char16_t* FormatLetters(char16_t conversion) {
    switch (conversion) {
        case u'd':
            return u"dd";
        case u'e':
            return u"d";
        case u'm':
            return u"mm";
        case u'y':
            return u"yy";
        case u'Y':
            return u"yyyy";
        case u'H':
            return u"hh";
        case u'k':
            return u"h";
        case u'M':
            return u"nn";
        case u'S':
            return u"ss";
        default:
            return nullptr;
    }
}

// Turns a strftime format into format letters, writing its first literal character (taken as
// the separator) as placeholder. False, leaving the outputs alone, for an empty format or one
// using anything FormatDateTime could not reproduce.
bool TranslateFormat(std::string_view strftimeFormat, char16_t placeholder, String& format,
                     char16_t& separator) {
    const String text = Utf8ToUtf16(strftimeFormat);
    String result;
    char16_t found = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'%') {
            const char16_t* letters = ++i < text.size() ? FormatLetters(text[i]) : nullptr;
            if (letters == nullptr) {
                return false;
            }
            result += letters;
            continue;
        }
        if (IsAsciiLetter(c) || c == u'\'' || c == u'"') {
            return false;
        }
        if (found == 0) {
            found = c;
        }
        if (c == found) {
            result += placeholder;
        } else if (c == u'/' || c == u':') {
            return false;
        } else {
            result += c;
        }
    }
    if (result.empty()) {
        return false;
    }
    format = std::move(result);
    if (found != 0) {
        separator = found;
    }
    return true;
}

// Whether the user chose a locale for the category: the first of LC_ALL, the category's own
// variable and LANG that is set decides, and "C", "POSIX" and the "C." variants mean none.
bool HasOwnLocale(const char* category) {
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            const std::string_view name(value);
            return name != "C" && name != "POSIX" && !name.starts_with("C.");
        }
    }
    return false;
}

TFormatSettings ReadUserLocale() {
    // A locale object of its own: the process's C locale, which number parsing and printing
    // elsewhere rely on, stays as it is.
    const locale_t locale = newlocale(LC_TIME_MASK | LC_NUMERIC_MASK, "", locale_t(0));
    if (locale == locale_t(0)) {
        return {};
    }
    const bool ownTime = HasOwnLocale("LC_TIME");
    TFormatSettings settings = MakeFormatSettings(ownTime ? nl_langinfo_l(D_FMT, locale) : "",
                                                  ownTime ? nl_langinfo_l(T_FMT, locale) : "",
                                                  nl_langinfo_l(RADIXCHAR, locale));
    freelocale(locale);
    return settings;
}

void AppendNumber(String& out, int value, int width) {
    const String digits = IntToStr(value);
    if (static_cast<int>(digits.size()) < width) {
        out.append(static_cast<std::size_t>(width) - digits.size(), u'0');
    }
    out += digits;
}

}  // namespace

TFormatSettings MakeFormatSettings(std::string_view dateFormat, std::string_view timeFormat,
                                   std::string_view decimalPoint) {
    TFormatSettings settings;
    TranslateFormat(dateFormat, u'/', settings.ShortDateFormat, settings.DateSeparator);
    TranslateFormat(timeFormat, u':', settings.LongTimeFormat, settings.TimeSeparator);
    const String decimal = Utf8ToUtf16(decimalPoint);
    if (decimal.size() == 1) {
        settings.DecimalSeparator = decimal[0];
    }
    return settings;
}

TFormatSettings& FormatSettings() {
    static TFormatSettings settings = ReadUserLocale();
    return settings;
}

String FormatDateTime(StringView format, TDateTime value, const TFormatSettings& settings) {
    int year, month, day, hour, min, sec, msec;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, min, sec, msec);
    String out;
    char16_t lastLetter = 0;
    std::size_t i = 0;
    while (i < format.size()) {
        const char16_t c = format[i];
        if (c == u'\'' || c == u'"') {
            const std::size_t close = std::min(format.find(c, i + 1), format.size());
            out += format.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        if (!IsAsciiLetter(c)) {
            out += c == u'/' ? settings.DateSeparator : c == u':' ? settings.TimeSeparator : c;
            ++i;
            continue;
        }
        char16_t letter = AsciiLower(c);
        std::size_t count = 1;
        while (i + count < format.size() && AsciiLower(format[i + count]) == letter) {
            ++count;
        }
        if (letter == u'm' && lastLetter == u'h') {
            letter = u'n';
        }
        lastLetter = letter;
        const int width = count == 1 ? 1 : 2;
        if (letter == u'y') {
            AppendNumber(out, count <= 2 ? year % 100 : year, count <= 2 ? 2 : 4);
        } else if (letter == u'd' && count <= 2) {
            AppendNumber(out, day, width);
        } else if (letter == u'm' && count <= 2) {
            AppendNumber(out, month, width);
        } else if (letter == u'h') {
            AppendNumber(out, hour, width);
        } else if (letter == u'n') {
            AppendNumber(out, min, width);
        } else if (letter == u's') {
            AppendNumber(out, sec, width);
        } else if (letter == u'z') {
            AppendNumber(out, msec, count <= 2 ? 1 : 3);
        } else {
            out += format.substr(i, count);
        }
        i += count;
    }
    return out;
}

String DateToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(settings.ShortDateFormat, value, settings);
}

String TimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(settings.LongTimeFormat, value, settings);
}

String DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
    String text = DateToStr(value, settings);
    if (DateTimeToTimeStamp(value).Time != 0) {
        text += u' ';
        text += TimeToStr(value, settings);
    }
    return text;
}

String FloatToStr(double value, const TFormatSettings& settings) {
    if (std::isnan(value)) {
        return u"NAN";
    }
    if (std::isinf(value)) {
        return value > 0 ? u"INF" : u"-INF";
    }
    if (value == 0) {
        return u"0";
    }
    // d.dddddddddddddde±x: the value rounded to 15 significant digits, whatever the C locale.
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                       std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<std::size_t>(written.ptr - buffer));
    const std::size_t e = text.find('e');
    std::string digits(text.substr(0, 1));
    digits += text.substr(2, e - 2);
    digits.erase(digits.find_last_not_of('0') + 1);
    const int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());

    String out = value < 0 ? u"-" : u"";
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out += u'0';
            out += settings.DecimalSeparator;
            out.append(static_cast<std::size_t>(-exponent - 1), u'0');
            out += Widen(digits);
        } else {
            const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() < whole) {
                digits.append(whole - digits.size(), '0');
            }
            out += Widen(std::string_view(digits).substr(0, whole));
            if (digits.size() > whole) {
                out += settings.DecimalSeparator;
                out += Widen(std::string_view(digits).substr(whole));
            }
        }
    } else {
        out += Widen(std::string_view(digits).substr(0, 1));
        if (digits.size() > 1) {
            out += settings.DecimalSeparator;
            out += Widen(std::string_view(digits).substr(1));
        }
        out += u'E';
        out += IntToStr(exponent);
    }
    return out;
}

String IntToStr(std::int64_t value) {
    char buffer[24];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return Widen(std::string_view(buffer, static_cast<std::size_t>(written.ptr - buffer)));
}

std::int32_t StrToInt(StringView text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        ++i;
    }
    const auto invalid = [text] {
        return EConvertError(
            Format("'%s' is not a valid integer value", Utf16ToUtf8(text).c_str()));
    };
    if (i == text.size()) {
        throw invalid();
    }
    // The magnitude may reach 2^31 for a negative value; anything past the limit fails at once.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < u'0' || c > u'9') {
            throw invalid();
        }
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > limit) {
            throw invalid();
        }
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace platform
