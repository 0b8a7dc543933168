#include "data_access/mysql/my_sql_values.h"

#include <cmath>
#include <cstdint>

#include "platform/date_time.h"
#include "platform/format.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace data_access::mysql {

namespace {

// Date and number texts of SQL: "." for decimals, ":" between time parts.
const platform::TFormatSettings& SQLFormat() {
    static const platform::TFormatSettings settings{};
    return settings;
}

// The smallest date-time value, which stands for the zero date of MySQL.
const platform::TDateTime& ZeroDate() {
    static const platform::TDateTime value = platform::EncodeDate(100, 1, 1);
    return value;
}

std::string Encode(platform::StringView text, const TSQLValueContext& context) {
    return context.UseUnicode ? platform::Utf16ToUtf8(text) : platform::Utf16ToAnsi(text);
}

bool IsBinaryType(TDataType type) {
    return type == dtUnknown || type == dtBlob || type == dtBytes || type == dtVarBytes ||
           type == dtExtVarBytes;
}

bool IsTextType(TDataType type) {
    return type == dtString || type == dtMemo || type == dtExtString || type == dtWideString ||
           type == dtExtWideString || type == dtWideMemo;
}

bool IsFloatType(TDataType type) {
    return type == dtFloat || type == dtSingle || type == dtCurrency || type == dtBCD ||
           type == dtFMTBCD;
}

bool IsDateTimeType(TDataType type) {
    return type == dtDate || type == dtTime || type == dtDateTime;
}

void AppendFloat(double value, std::string& out) {
    out += platform::Utf16ToUtf8(platform::FloatToStr(value, SQLFormat()));
}

void AppendFormatted(platform::StringView format, platform::TDateTime value, std::string& out) {
    out += '\'';
    out += platform::Utf16ToUtf8(platform::FormatDateTime(format, value, SQLFormat()));
    out += '\'';
}

// Hours are not bounded by a day: MySQL times run to 838 hours either way.
void AppendTime(platform::TDateTime value, std::string& out) {
    std::int64_t seconds = std::llround(value * 86400.0);
    out += seconds < 0 ? "'-" : "'";
    seconds = std::llabs(seconds);
    out += platform::Format("%lld:%02d:%02d'", static_cast<long long>(seconds / 3600),
                            int(seconds / 60 % 60), int(seconds % 60));
}

// A value that is not NULL, written by its own kind.
void AppendByKind(const TParamValue& value, const TSQLValueContext& context, std::string& out) {
    if (const bool* b = std::get_if<bool>(&value)) {
        out += *b ? '1' : '0';
    } else if (const std::int64_t* i = std::get_if<std::int64_t>(&value)) {
        out += std::to_string(*i);
    } else if (const double* d = std::get_if<double>(&value)) {
        AppendFloat(*d, out);
    } else if (const platform::String* s = std::get_if<platform::String>(&value)) {
        EscapeAndQuoteWideStr(*s, context, out);
    } else {
        EscapeAndQuoteStr(std::get<std::string>(value), context.NeedBackslashes, out);
    }
}

}  // namespace

void EscapeAndQuoteStr(std::string_view bytes, bool needBackslashes, std::string& out) {
    out.reserve(out.size() + bytes.size() + 2);
    out += '\'';
    for (const char c : bytes) {
        if (c == '\'') {
            out += "''";
            continue;
        }
        if (!needBackslashes) {
            out += c;
            continue;
        }
        switch (c) {
            case '\0':
                out += "\\0";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\x1a':
                out += "\\Z";
                break;
            case '"':
            case '\\':
                out += '\\';
                out += c;
                break;
            default:
                out += c;
        }
    }
    out += '\'';
}

void EscapeAndQuoteWideStr(platform::StringView text, const TSQLValueContext& context,
                           std::string& out) {
    EscapeAndQuoteStr(Encode(text, context), context.NeedBackslashes, out);
}

void AppendValueToSQL(const TParamDesc& param, const TSQLValueContext& context, std::string& out) {
    const TParamValue& value = param.Value;
    const TDataType type = param.DataType;
    const double* number = std::get_if<double>(&value);
    if (param.IsNull()) {
        out += "NULL";
    } else if (IsDateTimeType(type) && number && *number == ZeroDate()) {
        out += "'0000-00-00 00:00:00'";
    } else if (IsBinaryType(type) && std::holds_alternative<std::string>(value)) {
        EscapeAndQuoteStr(std::get<std::string>(value), context.NeedBackslashes, out);
    } else if (IsTextType(type) && std::holds_alternative<platform::String>(value)) {
        EscapeAndQuoteWideStr(std::get<platform::String>(value), context, out);
    } else if (IsFloatType(type) && number) {
        AppendFloat(*number, out);
    } else if (type == dtDate && number) {
        AppendFormatted(u"yyyy-mm-dd", *number, out);
    } else if (type == dtTime && number) {
        AppendTime(*number, out);
    } else if (type == dtDateTime && number) {
        AppendFormatted(u"yyyy-mm-dd hh:nn:ss", *number, out);
    } else {
        AppendByKind(value, context, out);
    }
}

}  // namespace data_access::mysql
