#include "app/sql_literal.h"

namespace app {

platform::String SqlLiteral(platform::StringView value) {
    platform::String result;
    result.reserve(value.size());
    for (const char16_t c : value) {
        if (c == u'\'' || c == u'\\') {
            result += c;
        }
        result += c;
    }
    return result;
}

// Appended piece by piece: prepending to a temporary sets off a false -Wrestrict at -O3.
platform::String SqlQuoted(platform::StringView value) {
    platform::String result(1, u'\'');
    result += SqlLiteral(value);
    result += u'\'';
    return result;
}

}  // namespace app
