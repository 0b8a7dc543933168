#pragma once

#include <string>
#include <string_view>

#include "data_access/param_desc.h"
#include "platform/text.h"

namespace data_access::mysql {

// How values are written into a statement's text on one connection.
struct TSQLValueContext {
    // Texts go as UTF-8, else in the ANSI code page.
    bool UseUnicode = false;
    // The server reads backslash escapes in string literals.
    bool NeedBackslashes = true;
};

// Appends the bytes as a quoted string literal. With backslashes NUL, line feed, carriage
// return, character 26, the double quote and the backslash are escaped with a backslash; the
// single quote is always written twice, which reads the same whether the server takes
// backslash escapes or not, so no value can end the literal early.
void EscapeAndQuoteStr(std::string_view bytes, bool needBackslashes, std::string& out);
// The same for a text, encoded as the context says.
void EscapeAndQuoteWideStr(platform::StringView text, const TSQLValueContext& context,
                           std::string& out);

// Appends the parameter's value as SQL: NULL, a quoted literal, a number, or a quoted date or
// time. A value of a kind its data type does not expect is written by its own kind; a text is
// always a quoted literal.
void AppendValueToSQL(const TParamDesc& param, const TSQLValueContext& context, std::string& out);

}  // namespace data_access::mysql
