#pragma once

#include <string>
#include <string_view>

#include "platform/exceptions.h"

namespace mysql_client {

// Client error codes raised by this client.
constexpr int CR_MIN_ERROR = 2000;
constexpr int CR_MAX_ERROR = 2047;
constexpr int CR_CONN_HOST_ERROR = 2003;
constexpr int CR_SERVER_LOST = 2013;
constexpr int CR_MALFORMED_PACKET = 2027;

// Server error codes the packet layer raises itself.
constexpr int ER_NET_PACKETS_OUT_OF_ORDER = 1156;
constexpr int ER_NET_UNCOMPRESS_ERROR = 1157;

// The client error text of a code, empty outside 2000..2047.
std::string_view ClientErrorText(int code);

// Every failure inside the protocol client: a code and the message built from the client error
// table and a detail.
class EMySqlException : public platform::Exception {
public:
    // The client error text of the code alone.
    explicit EMySqlException(int code);
    // The client error text, a line break and the detail; for 2003 the detail alone; the text
    // alone when there is no detail.
    EMySqlException(int code, std::string_view detail);

    int ErrorCode() const noexcept { return FErrorCode; }

private:
    int FErrorCode;
};

}  // namespace mysql_client
