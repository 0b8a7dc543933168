#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace data_access {

// The 8-bit text of blobs is UTF-8. These are the character steps the blobs convert and count
// with; counting and converting go through the same steps, so sizes and positions always agree
// with the converted text.

// One character decoded from text: its code point and the code units it takes.
struct TDecodedChar {
    char32_t Code;
    std::size_t Length;
};

// The character at bytes (available > 0). An invalid or incomplete sequence gives U+FFFD for its
// first byte alone.
TDecodedChar DecodeUtf8(const std::uint8_t* bytes, std::size_t available) noexcept;
// The character at units (available > 0). A lone surrogate gives U+FFFD.
TDecodedChar DecodeUtf16(const char16_t* units, std::size_t available) noexcept;

// Bytes of the character in UTF-8, units of it in UTF-16.
std::size_t Utf8Length(char32_t code) noexcept;
std::size_t Utf16Length(char32_t code) noexcept;

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace data_access
