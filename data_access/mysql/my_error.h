#pragma once

#include <string>

#include "data_access/da_error.h"

namespace data_access::mysql {

// An error of a MySQL connection, raised from the code and message the protocol facade kept.
class EMyError : public EDAError {
public:
    // For a syntax error (1064) the line number is taken from the message's last number.
    EMyError(int code, std::string message);

    int LineNumber() const noexcept { return FLineNumber; }
    // The connection is gone: the server shut down, could not be reached or was lost, or the
    // client closed it after a packet over its limit.
    bool IsFatalError() const noexcept override;
    bool IsKeyViolation() const noexcept;

private:
    int FLineNumber = 0;
};

}  // namespace data_access::mysql
