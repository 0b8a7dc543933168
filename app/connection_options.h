#pragma once

#include "platform/format_settings.h"
#include "platform/text.h"

namespace app {

// The packet limit of both programs: rows of the restaurant's tables are far smaller, and
// whatever answers on the server's port must not make a program allocate without bound.
inline constexpr const char16_t* PacketLimitOption = u"MySQL.MaxAllowedPacket=67108864";

// The option line that bounds each statement of a query or command (0: no limit).
inline platform::String CommandTimeoutOption(int seconds) {
    return u"MySQL.CommandTimeout=" + platform::IntToStr(seconds);
}

}  // namespace app
