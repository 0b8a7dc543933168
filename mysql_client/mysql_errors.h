#pragma once

#include <string>
#include <string_view>

#include "platform/exceptions.h"
#include "platform/format.h"

namespace mysql_client {

// Client error codes raised by this client.
constexpr int CR_MIN_ERROR = 2000;
constexpr int CR_MAX_ERROR = 2047;
constexpr int CR_CONN_HOST_ERROR = 2003;
constexpr int CR_SERVER_GONE_ERROR = 2006;
constexpr int CR_VERSION_ERROR = 2007;
constexpr int CR_SERVER_HANDSHAKE_ERR = 2012;
constexpr int CR_SERVER_LOST = 2013;
constexpr int CR_COMMANDS_OUT_OF_SYNC = 2014;
constexpr int CR_NET_PACKET_TOO_LARGE = 2020;
constexpr int CR_SSL_CONNECTION_ERROR = 2026;
constexpr int CR_MALFORMED_PACKET = 2027;
constexpr int CR_NULL_POINTER = 2028;
constexpr int CR_UNKNOWN_PROTOCOL = 2046;
// Beyond the table: their messages are the detail alone, after the line break.
constexpr int CR_AUTH_PLUGIN_NOT_SUPPORTED = 2059;
constexpr int CR_LOCAL_FILE_REFUSED = 2068;

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

    // The client error text filled with printf-style arguments, then the detail as above.
    template <typename... Args>
    static EMySqlException Formatted(int code, std::string_view detail, Args... args) {
        return EMySqlException(code, detail,
                               platform::Format(ClientErrorText(code).data(), args...));
    }

    int ErrorCode() const noexcept { return FErrorCode; }

private:
    EMySqlException(int code, std::string_view detail, std::string text);

    int FErrorCode;
};

}  // namespace mysql_client
