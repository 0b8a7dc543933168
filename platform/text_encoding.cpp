#include "platform/text_encoding.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <utility>

#include "platform/exceptions.h"
#include "platform/format.h"

namespace platform {

namespace {

constexpr char32_t ReplacementChar = 0xFFFD;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(String& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (c >> 10));
        out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    }
}

// The upper half (bytes 0x80 to 0xFF) of a single-byte code page. Bytes the page leaves
// undefined are given the C1 control of the same number.
using CodePageTable = std::array<char16_t, 128>;

constexpr CodePageTable Cp1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // 0xC0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // 0xC8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // 0xD0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // 0xD8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // 0xE0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // 0xE8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // 0xF0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // 0xF8
};

constexpr CodePageTable Cp1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // 0xA0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,  // 0xA8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // 0xB8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,  // 0xC0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // 0xC8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,  // 0xD0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,  // 0xD8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,  // 0xE0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,  // 0xE8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,  // 0xF0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,  // 0xF8
};

// A code page with its reverse table (character -> byte, sorted by character) for encoding.
class TCodePage {
public:
    explicit TCodePage(const CodePageTable& table) : FTable(table) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            FReverse[i] = {table[i], static_cast<char>(0x80 + i)};
        }
        std::sort(FReverse.begin(), FReverse.end());
    }

    char16_t Decode(unsigned char byte) const { return byte < 0x80 ? byte : FTable[byte - 0x80]; }

    char Encode(char16_t c) const {
        if (c < 0x80) {
            return static_cast<char>(c);
        }
        const auto found = std::lower_bound(FReverse.begin(), FReverse.end(), c,
                                            [](const std::pair<char16_t, char>& entry,
                                               char16_t wanted) { return entry.first < wanted; });
        return found != FReverse.end() && found->first == c ? found->second : '?';
    }

private:
    const CodePageTable& FTable;
    std::array<std::pair<char16_t, char>, 128> FReverse;
};

std::atomic<unsigned> CurrentCodePage{1251};

const TCodePage& CodePage(unsigned codePage) {
    static const TCodePage cp1251(Cp1251);
    static const TCodePage cp1252(Cp1252);
    return codePage == 1252 ? cp1252 : cp1251;
}

}  // namespace

std::string Utf16ToUtf8(StringView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendUtf8(out, ReplacementChar);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

String Utf8ToUtf16(std::string_view bytes) {
    String out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i++]);
        if (lead < 0x80) {
            out += lead;
            continue;
        }
        // Continuation bytes must lie in [low, high]; the first one's range is narrowed for
        // the leads that could otherwise start an overlong form, a surrogate or a value above
        // U+10FFFF. The end of the input reads as 0, which is never in range.
        int trail = 0;
        char32_t c = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            c = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            c = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        bool complete = trail > 0;
        for (int k = 0; k < trail; ++k) {
            const unsigned char next = i < bytes.size() ? bytes[i] : 0;
            if (next < low || next > high) {
                complete = false;
                break;
            }
            c = (c << 6) | (next & 0x3F);
            ++i;
            low = 0x80;
            high = 0xBF;
        }
        AppendUtf16(out, complete ? c : ReplacementChar);
    }
    return out;
}

void SetAnsiCodePage(unsigned codePage) {
    if (codePage != 1251 && codePage != 1252) {
        throw EArgumentException(Format("Code page %u is not supported", codePage));
    }
    CurrentCodePage = codePage;
}

unsigned AnsiCodePage() noexcept {
    return CurrentCodePage;
}

AnsiString Utf16ToAnsi(StringView text) {
    const TCodePage& page = CodePage(AnsiCodePage());
    AnsiString out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            ++i;
            out += '?';
        } else {
            out += page.Encode(text[i]);
        }
    }
    return out;
}

String AnsiToUtf16(std::string_view bytes) {
    const TCodePage& page = CodePage(AnsiCodePage());
    String out;
    out.reserve(bytes.size());
    for (const char byte : bytes) {
        out += page.Decode(static_cast<unsigned char>(byte));
    }
    return out;
}

}  // namespace platform
