#pragma once

#include <string>

namespace platform {

// printf-style formatting into a string; the message formats of the system are written this way.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform
