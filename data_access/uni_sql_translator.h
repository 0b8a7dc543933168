#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data_access/parser.h"
#include "platform/text.h"

namespace data_access {

// A named text value: the macros a brace construct can test or reference.
struct TUniMacro {
    platform::String Name;
    platform::String Value;
};
using TUniMacros = std::vector<TUniMacro>;

// What one provider makes of universal statement text: its lexer, its identifier quotes, the
// macros defined for it and its forms of the portable functions and date literals.
class TUniSqlFormatter {
public:
    virtual ~TUniSqlFormatter() = default;

    // A lexer of the provider's statement text.
    virtual std::unique_ptr<TParser> CreateParser(platform::StringView text) const = 0;
    // The quotes a double-quoted identifier gets.
    virtual std::pair<char16_t, char16_t> IdentQuotes() const = 0;
    // The macros every statement of the provider sees (names compare ignoring a to z case).
    virtual const TUniMacros& ProviderMacros() const = 0;
    // The provider's form of the function of that name (ignoring a to z case): "%s" takes the
    // arguments in order, "%N:s" argument N (0-based). nullptr for an unknown function.
    virtual const char16_t* FunctionFormat(platform::StringView name) const = 0;
    // The provider's form of a date, time or timestamp literal ("%s" takes the quoted value).
    // nullptr for another keyword.
    virtual const char16_t* LiteralFormat(platform::StringView keyword) const = 0;
};

// The statement text as the provider runs it: brace constructs interpreted ({if NAME} ... {else}
// ... {endif}, {fn NAME(args)}, {date 'v'}, {time 'v'}, {timestamp 'v'}, {NAME} macro
// references), double-quoted identifiers in the provider's quotes and "--" comments made block
// comments. connectionMacros come after the provider's own. Raises EDatabaseError with
// "Unexpected character", "Unexpected {else}", "Unexpected {endif}", "{if} statement not
// completed" or "Empty macro or function name" for a malformed construct.
platform::String TranslateUniSql(platform::StringView text, const TUniSqlFormatter& formatter,
                                 const TUniMacros& connectionMacros = {});

}  // namespace data_access
