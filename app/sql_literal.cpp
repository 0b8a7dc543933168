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

platform::String SqlQuoted(platform::StringView value) {
    return u"'" + SqlLiteral(value) + u"'";
}

}  // namespace app
