#pragma once

#include <string>

#include "platform/exceptions.h"

namespace data_access {

// A silent abort: the operation ends without an error to show (an error handler declined the
// error, or a running execution was cancelled on purpose).
class EAbort : public platform::Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// The connection was restored after a lost-connection error and the caller is to repeat the
// operation that failed; carries that error's code and message.
class EFailOver : public platform::Exception {
public:
    EFailOver(int code, std::string message) : Exception(std::move(message)), FErrorCode(code) {}

    int ErrorCode() const noexcept { return FErrorCode; }

private:
    int FErrorCode;
};

}  // namespace data_access
