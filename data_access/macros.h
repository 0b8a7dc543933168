#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "data_access/parser.h"
#include "platform/text.h"

namespace data_access {

// A text macro: "&Name" in a statement text stands for Value while the macro is active, for
// nothing while it is not.
struct TMacro {
    platform::String Name;
    platform::String Value;
    bool Active = true;
};

// The macros of a component's statement text.
class TMacros {
public:
    // Makes the lexer the scan and the expansion read the text with.
    using TParserFactory = std::function<std::unique_ptr<TParser>(platform::StringView text)>;

    explicit TMacros(TParserFactory parserFactory) : FParserFactory(std::move(parserFactory)) {}

    // Finds the "&name" references of the text outside strings and comments: a name is an
    // identifier or keyword after "&" (a number directly followed by an identifier or keyword
    // joins it). The list becomes one macro per name, in order of first reference; a macro
    // already known keeps its value and state. A text without "&" is not lexed: its list is
    // empty. The list is replaced only when it changed.
    void Scan(platform::StringView text);
    // The text with every "&name" of a known macro replaced by its value (active) or nothing
    // (inactive); everything else is copied unchanged. A text without "&" is returned as it is.
    platform::String Expand(platform::StringView text) const;

    int Count() const noexcept { return int(FItems.size()); }
    TMacro& operator[](int index) { return FItems.at(std::size_t(index)); }
    // By name, ignoring a to z case; nullptr when there is none.
    TMacro* FindMacro(platform::StringView name);
    // Raises EDatabaseError "Macro '<name>' not found" when there is none.
    TMacro& MacroByName(platform::StringView name);

private:
    TParserFactory FParserFactory;
    std::vector<TMacro> FItems;
};

}  // namespace data_access
