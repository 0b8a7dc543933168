#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace data_access {

// Upper-cases a to z only: keywords are plain ASCII and every other letter, Cyrillic included,
// must stay as written.
constexpr char16_t ToUpperAscii(char16_t ch) noexcept {
    return ch >= u'a' && ch <= u'z' ? char16_t(ch - (u'a' - u'A')) : ch;
}

// Compares two texts ignoring the case of a to z: < 0, 0 or > 0.
int CompareTextAscii(std::u16string_view left, std::u16string_view right) noexcept;

// A lexer's list of symbols or keywords with their token codes, kept sorted by upper-cased text
// so a lexeme is looked up by binary search without building an upper-cased copy.
class TLexemList {
public:
    struct TEntry {
        std::u16string_view Text;
        int Code;
    };

    TLexemList() = default;
    TLexemList(std::initializer_list<TEntry> entries);

    // The text must not be empty and the code must be positive (assertions); the text is stored
    // upper-cased.
    void Add(std::u16string_view text, int code);
    void Add(const TLexemList& other);

    // The code of the entry equal to lexem ignoring case, 0 when there is none.
    int Find(std::u16string_view lexem) const noexcept;
    bool HasCode(int code) const noexcept;
    // The text of the entry with that code, empty when there is none.
    std::u16string_view TextOf(int code) const noexcept;
    std::size_t Count() const noexcept { return FEntries.size(); }

private:
    struct TItem {
        std::u16string Text;
        int Code;
    };

    std::vector<TItem> FEntries;
};

}  // namespace data_access
