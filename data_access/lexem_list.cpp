#include "data_access/lexem_list.h"

#include <algorithm>

#include "platform/exceptions.h"

namespace data_access {

int CompareTextAscii(std::u16string_view left, std::u16string_view right) noexcept {
    const std::size_t count = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t a = ToUpperAscii(left[i]);
        const char16_t b = ToUpperAscii(right[i]);
        if (a != b) {
            return a < b ? -1 : 1;
        }
    }
    if (left.size() == right.size()) {
        return 0;
    }
    return left.size() < right.size() ? -1 : 1;
}

TLexemList::TLexemList(std::initializer_list<TEntry> entries) {
    FEntries.reserve(entries.size());
    for (const TEntry& entry : entries) {
        Add(entry.Text, entry.Code);
    }
}

void TLexemList::Add(std::u16string_view text, int code) {
    platform::Assert(code > 0);
    platform::Assert(!text.empty());
    std::u16string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), ToUpperAscii);
    const auto place = std::lower_bound(
        FEntries.begin(), FEntries.end(), upper,
        [](const TItem& item, const std::u16string& key) { return item.Text < key; });
    FEntries.insert(place, TItem{std::move(upper), code});
}

void TLexemList::Add(const TLexemList& other) {
    for (const TItem& item : other.FEntries) {
        Add(item.Text, item.Code);
    }
}

int TLexemList::Find(std::u16string_view lexem) const noexcept {
    std::size_t low = 0;
    std::size_t high = FEntries.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const int order = CompareTextAscii(FEntries[middle].Text, lexem);
        if (order == 0) {
            return FEntries[middle].Code;
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return 0;
}

bool TLexemList::HasCode(int code) const noexcept {
    return std::any_of(FEntries.begin(), FEntries.end(),
                       [code](const TItem& item) { return item.Code == code; });
}

std::u16string_view TLexemList::TextOf(int code) const noexcept {
    for (const TItem& item : FEntries) {
        if (item.Code == code) {
            return item.Text;
        }
    }
    return {};
}

}  // namespace data_access
