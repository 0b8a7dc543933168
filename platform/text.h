#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Text inside the program is UTF-16; 8-bit text (bytes in the ANSI code page or UTF-8, as the
// caller says) is kept apart in its own type.
using String = std::u16string;
using StringView = std::u16string_view;
using AnsiString = std::string;

// Upper-cases a to z only: names of fields, options and keywords compare this way, so that
// letters outside ASCII are never touched by the user's locale.
String AsciiUpperCase(StringView text);
// Compares ignoring the case of a to z: negative, 0 or positive, by UTF-16 unit order.
int AsciiCompareText(StringView a, StringView b);
bool AsciiSameText(StringView a, StringView b);

// Drops trailing blanks (spaces only), as fixed-length character values are read.
StringView TrimTrailingBlanks(StringView text);
std::string_view TrimTrailingBlanks(std::string_view text);
// Drops every trailing character below 33: blanks, line ends and other control characters.
StringView TrimRight(StringView text);
// Drops every leading and trailing character below 33, as names and settings are read.
StringView Trim(StringView text);

// A list of text lines. Text joins the lines, each followed by CR LF; SetText splits at CR LF,
// LF or a lone CR, and a line break at the very end starts no further line. OnChange, when
// set, runs after every change of the lines.
class TStringList {
public:
    std::function<void()> OnChange;

    void Clear();
    // Appends a line and returns its index.
    int Add(String line);
    int Count() const noexcept { return static_cast<int>(FLines.size()); }
    // Raises EArgumentException "List index out of bounds (%d)" for an index outside the list.
    const String& operator[](int index) const;
    void Put(int index, String line);

    String Text() const;
    void SetText(StringView text);

private:
    void CheckIndex(int index) const;
    void Changed();

    std::vector<String> FLines;
};

}  // namespace platform
