#include "platform/text.h"

#include <algorithm>

#include "platform/exceptions.h"
#include "platform/format.h"

namespace platform {

namespace {

char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

template <typename View>
View DropTrailing(View text, bool (*drop)(typename View::value_type)) {
    std::size_t length = text.size();
    while (length > 0 && drop(text[length - 1])) {
        --length;
    }
    return text.substr(0, length);
}

}  // namespace

String AsciiUpperCase(StringView text) {
    String result(text);
    for (char16_t& c : result) {
        c = AsciiUpper(c);
    }
    return result;
}

int AsciiCompareText(StringView a, StringView b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t ca = AsciiUpper(a[i]);
        const char16_t cb = AsciiUpper(b[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool AsciiSameText(StringView a, StringView b) {
    return a.size() == b.size() && AsciiCompareText(a, b) == 0;
}

StringView TrimTrailingBlanks(StringView text) {
    return DropTrailing(
        text, +[](char16_t c) { return c == u' '; });
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    return DropTrailing(
        text, +[](char c) { return c == ' '; });
}

StringView TrimRight(StringView text) {
    return DropTrailing(
        text, +[](char16_t c) { return c < 33; });
}

StringView Trim(StringView text) {
    text = TrimRight(text);
    std::size_t start = 0;
    while (start < text.size() && text[start] < 33) {
        ++start;
    }
    return text.substr(start);
}

void TStringList::Clear() {
    FLines.clear();
    Changed();
}

int TStringList::Add(String line) {
    FLines.push_back(std::move(line));
    Changed();
    return Count() - 1;
}

const String& TStringList::operator[](int index) const {
    CheckIndex(index);
    return FLines[static_cast<std::size_t>(index)];
}

void TStringList::Put(int index, String line) {
    CheckIndex(index);
    FLines[static_cast<std::size_t>(index)] = std::move(line);
    Changed();
}

String TStringList::Text() const {
    String text;
    for (const String& line : FLines) {
        text += line;
        text += u"\r\n";
    }
    return text;
}

void TStringList::SetText(StringView text) {
    FLines.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of(u"\r\n", pos), text.size());
        FLines.emplace_back(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == u'\r') {
            ++pos;
        }
        if (pos < text.size() && text[pos] == u'\n') {
            ++pos;
        }
    }
    Changed();
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) {
        throw EArgumentException(Format("List index out of bounds (%d)", index));
    }
}

void TStringList::Changed() {
    if (OnChange) {
        OnChange();
    }
}

}  // namespace platform
