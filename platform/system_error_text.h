#pragma once

#include <string>

namespace platform {

// The system's description of an errno value, without trailing blanks, line breaks and periods,
// so that message formats can add their own period.
std::string SystemErrorText(int code);

}  // namespace platform
