#pragma once

#include "platform/text.h"

namespace app {

// The value as the contents of a MySQL string literal: quotes doubled and backslashes escaped,
// so that a value read from the database or typed into the panel can never end the literal. A
// value without either comes back unchanged.
platform::String SqlLiteral(platform::StringView value);
// The value as a whole MySQL string literal: SqlLiteral between single quotes.
platform::String SqlQuoted(platform::StringView value);

}  // namespace app
