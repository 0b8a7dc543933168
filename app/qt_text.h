#pragma once

#include <QString>

#include "platform/text.h"

namespace app {

// The program's UTF-16 text as Qt's.
inline QString Q(platform::StringView text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

}  // namespace app
