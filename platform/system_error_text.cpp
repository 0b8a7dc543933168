#include "platform/system_error_text.h"

#include <cstring>

namespace platform {

namespace {

std::string TrimTrailing(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::string SystemErrorText(int code) {
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in buffer.
    return TrimTrailing(strerror_r(code, buffer, sizeof buffer));
}

}  // namespace platform
