#include "data_access/utf8_text.h"

namespace data_access {

namespace {

constexpr char32_t Replacement = 0xFFFD;
constexpr TDecodedChar Invalid{Replacement, 1};

void AppendUtf8(std::string& text, char32_t code) {
    const auto put = [&text](char32_t bits) { text.push_back(static_cast<char>(bits)); };
    switch (Utf8Length(code)) {
        case 1:
            put(code);
            break;
        case 2:
            put(0xC0 | code >> 6);
            put(0x80 | (code & 0x3F));
            break;
        case 3:
            put(0xE0 | code >> 12);
            put(0x80 | (code >> 6 & 0x3F));
            put(0x80 | (code & 0x3F));
            break;
        default:
            put(0xF0 | code >> 18);
            put(0x80 | (code >> 12 & 0x3F));
            put(0x80 | (code >> 6 & 0x3F));
            put(0x80 | (code & 0x3F));
            break;
    }
}

void AppendUtf16(std::u16string& text, char32_t code) {
    if (code < 0x10000) {
        text.push_back(static_cast<char16_t>(code));
        return;
    }
    code -= 0x10000;
    text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

}  // namespace

TDecodedChar DecodeUtf8(const std::uint8_t* bytes, std::size_t available) noexcept {
    const std::uint8_t lead = bytes[0];
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length;
    char32_t code;
    // The range of the second byte; it excludes overlong forms, surrogates and codes past
    // U+10FFFF.
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return Invalid;
    }
    if (available < length) {
        return Invalid;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (bytes[i] < low || bytes[i] > high) {
            return Invalid;
        }
        low = 0x80;
        high = 0xBF;
        code = code << 6 | (bytes[i] & 0x3F);
    }
    return {code, length};
}

TDecodedChar DecodeUtf16(const char16_t* units, std::size_t available) noexcept {
    const char16_t unit = units[0];
    if (unit < 0xD800 || unit > 0xDFFF) {
        return {unit, 1};
    }
    if (unit <= 0xDBFF && available > 1 && units[1] >= 0xDC00 && units[1] <= 0xDFFF) {
        return {0x10000 + (char32_t(unit - 0xD800) << 10) + (units[1] - 0xDC00), 2};
    }
    return Invalid;
}

std::size_t Utf8Length(char32_t code) noexcept {
    return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
}

std::size_t Utf16Length(char32_t code) noexcept {
    return code < 0x10000 ? 1 : 2;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string result;
    result.reserve(text.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const TDecodedChar c = DecodeUtf8(bytes + i, text.size() - i);
        AppendUtf16(result, c.Code);
        i += c.Length;
    }
    return result;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const TDecodedChar c = DecodeUtf16(text.data() + i, text.size() - i);
        AppendUtf8(result, c.Code);
        i += c.Length;
    }
    return result;
}

}  // namespace data_access
