#include "data_access/macros.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/exceptions.h"
#include "platform/text_encoding.h"

namespace data_access {

namespace {

using platform::String;
using platform::StringView;

constexpr char16_t MarkerChar = u'&';
constexpr StringView Marker = u"&";

bool HasMarker(StringView text) noexcept {
    return text.find(MarkerChar) != StringView::npos;
}

bool StartsWord(char16_t ch) noexcept {
    return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || ch == u'_';
}

// An unquoted identifier or a keyword. A quoted identifier names a column, never a macro, and
// positive codes stand for symbols as well as keywords.
bool IsWord(int token, const String& lexem) noexcept {
    if (token == lcIdent) {
        return lexem.front() != u'"' && lexem.front() != u'`';
    }
    return token > 0 && StartsWord(lexem.front());
}

auto NamedAs(StringView name) {
    return [name](const TMacro& macro) { return platform::AsciiSameText(macro.Name, name); };
}

const TMacro* Find(const std::vector<TMacro>& items, StringView name) {
    const auto found = std::ranges::find_if(items, NamedAs(name));
    return found == items.end() ? nullptr : &*found;
}

// What follows a marker: the lexemes read past it, and whether they make a macro name.
struct TReference {
    String Text;
    bool IsName = false;
};

// Reads a statement text lexeme by lexeme exactly as written, so that copying every lexeme
// gives the text back; strings and comments are single lexemes, so a marker inside them is
// never seen.
class TReferenceReader {
public:
    TReferenceReader(const TMacros::TParserFactory& factory, StringView text)
        : FParser(factory(text)) {
        FParser->SetOmitBlank(false);
        FParser->SetOmitComment(false);
        FParser->SetUppered(false);
        FParser->SetQuotedString(true);
    }

    // False at the end of the text.
    bool Next() { return FParser->GetNextToken() != lcEnd; }
    const String& Lexem() const noexcept { return FParser->Lexem(); }
    // The marker is a symbol character: its code depends on the parser's symbol list.
    bool AtMarker() const noexcept { return Lexem() == Marker; }
    // Right after a marker. A lexeme that starts no name is left to be read again, so that a
    // marker right after a marker still counts.
    TReference ReadReference();

private:
    std::unique_ptr<TParser> FParser;
};

TReference TReferenceReader::ReadReference() {
    const int token = FParser->GetNextToken();
    if (IsWord(token, Lexem())) {
        return {Lexem(), true};
    }
    if (token != lcNumber) {
        FParser->Back();
        return {};
    }
    // "&1st": the lexer splits the number from the word that follows it.
    String number = Lexem();
    if (IsWord(FParser->GetNextToken(), Lexem())) {
        return {number + Lexem(), true};
    }
    FParser->Back();
    return {std::move(number), false};
}

bool Contains(const std::vector<String>& names, StringView name) {
    return std::ranges::any_of(
        names, [name](const String& known) { return platform::AsciiSameText(known, name); });
}

// The names the text refers to, each once, in order of first reference.
std::vector<String> ReferencedNames(const TMacros::TParserFactory& factory, StringView text) {
    std::vector<String> names;
    if (!HasMarker(text)) {
        return names;
    }
    TReferenceReader reader(factory, text);
    while (reader.Next()) {
        if (!reader.AtMarker()) {
            continue;
        }
        TReference reference = reader.ReadReference();
        if (reference.IsName && !Contains(names, reference.Text)) {
            names.push_back(std::move(reference.Text));
        }
    }
    return names;
}

// Macros keep their names' spelling, so equal names mean the very same macros.
bool SameNames(const std::vector<TMacro>& a, const std::vector<TMacro>& b) {
    return std::ranges::equal(a, b, {}, &TMacro::Name, &TMacro::Name);
}

}  // namespace

void TMacros::Scan(StringView text) {
    std::vector<TMacro> items;
    for (String& name : ReferencedNames(FParserFactory, text)) {
        const TMacro* known = Find(FItems, name);
        if (known != nullptr) {
            items.push_back(*known);
        } else {
            items.emplace_back().Name = std::move(name);
        }
    }
    if (!SameNames(items, FItems)) {
        FItems = std::move(items);
    }
}

String TMacros::Expand(StringView text) const {
    if (!HasMarker(text)) {
        return String(text);
    }
    String out;
    out.reserve(text.size());
    TReferenceReader reader(FParserFactory, text);
    while (reader.Next()) {
        if (!reader.AtMarker()) {
            out += reader.Lexem();
            continue;
        }
        const TReference reference = reader.ReadReference();
        const TMacro* macro = reference.IsName ? Find(FItems, reference.Text) : nullptr;
        if (macro == nullptr) {
            out += Marker;
            out += reference.Text;
        } else if (macro->Active) {
            out += macro->Value;
        }
    }
    return out;
}

TMacro* TMacros::FindMacro(StringView name) {
    const auto found = std::ranges::find_if(FItems, NamedAs(name));
    return found == FItems.end() ? nullptr : &*found;
}

TMacro& TMacros::MacroByName(StringView name) {
    TMacro* macro = FindMacro(name);
    if (macro == nullptr) {
        throw platform::EDatabaseError("Macro '" + platform::Utf16ToUtf8(name) + "' not found");
    }
    return *macro;
}

}  // namespace data_access
