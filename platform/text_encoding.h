#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"

namespace platform {

// UTF-16 <-> UTF-8. Valid text converts without loss both ways. Malformed input never fails and
// never reads past its end: an unpaired surrogate becomes U+FFFD, and so does every malformed
// UTF-8 sequence (a stray continuation byte, an overlong form, an encoded surrogate, a value
// above U+10FFFF, a sequence cut short), one U+FFFD for each maximal malformed part, the byte
// that broke a sequence being read again as the start of the next.
std::string Utf16ToUtf8(StringView text);
String Utf8ToUtf16(std::string_view bytes);

// The system's ANSI code page: a process setting, 1251 (Cyrillic) unless changed. Supported
// pages: 1251 and 1252; any other raises EArgumentException.
void SetAnsiCodePage(unsigned codePage);
unsigned AnsiCodePage() noexcept;

// One byte per character in the current ANSI code page. Bytes the page leaves undefined stand
// for the C1 control of the same number, so every byte string survives the round trip through
// UTF-16. A character the page lacks becomes '?' (one for a surrogate pair).
AnsiString Utf16ToAnsi(StringView text);
String AnsiToUtf16(std::string_view bytes);

}  // namespace platform
