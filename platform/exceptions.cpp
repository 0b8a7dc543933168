#include "platform/exceptions.h"

#include "platform/format.h"
#include "platform/system_error_text.h"

namespace platform {

EOSError::EOSError(int code)
    : Exception(Format("System Error.  Code: %d.\r\n%s", code, SystemErrorText(code).c_str())),
      FErrorCode(code) {}

void AssertionFailed(std::string_view message, const char* file, int line) {
    const std::string text =
        message.empty() ? std::string("Assertion failure") : std::string(message);
    throw EAssertionFailed(Format("%s (%s, line %d)", text.c_str(), file, line));
}

}  // namespace platform
