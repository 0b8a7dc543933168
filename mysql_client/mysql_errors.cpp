#include "mysql_client/mysql_errors.h"

#include <array>

namespace mysql_client {

namespace {

constexpr std::array<std::string_view, CR_MAX_ERROR - CR_MIN_ERROR + 1> ClientErrors = {
    "Unknown MySQL error",
    "Can't create UNIX socket (%d)",
    "Can't connect to local MySQL server through socket '%-.64s' (%d)",
    "Can't connect to MySQL server on '%s' (%d)",
    "Can't create TCP/IP socket (%d)",
    "Unknown MySQL Server Host '%-.64s' (%d)",
    "MySQL server has gone away",
    "Protocol mismatch. Server Version = %d Client Version = %d",
    "MySQL client run out of memory",
    "Wrong host info",
    "Localhost via UNIX socket",
    "%-.64s via TCP/IP",
    "Error in server handshake",
    "Lost connection to MySQL server during query",
    "Commands out of sync;  You can't run this command now",
    "%-.64s via named pipe",
    "Can't wait for named pipe to host: %s  pipe: %s (%s)",
    "Can't open named pipe to host: %s  pipe: %s (%s)",
    "Can't set state of named pipe to host: %s  pipe: %s (%s)",
    "Can't initialize character set %s (path: %s)",
    "Got packet bigger than 'max_allowed_packet'",
    "Embedded server",
    "Error on SHOW SLAVE STATUS:",
    "Error on SHOW SLAVE HOSTS:",
    "Error connecting to slave:",
    "Error connecting to master:",
    "SSL connection error",
    "Malformed packet",
    "Invalid use of null pointer",
    "Statement not prepared",
    "Not all parameters data supplied",
    "Data truncated",
    "No parameters exists in the statement",
    "Invalid parameter number",
    "Can't send long data for non string or binary data types (parameter: %s)",
    "Using unsupported buffer type: %s  (parameter: %s)",
    "Shared memory (%s)",
    "Can't open shared memory. Request event don't create  (%s)",
    "Can't open shared memory. Answer event don't create  (%s)",
    "Can't open shared memory. File mapping don't create  (%s)",
    "Can't open shared memory. Map of memory don't create  (%s)",
    "Can't open shared memory. File mapping don't create for client (%s)",
    "Can't open shared memory. Map of memory don't create for client (%s)",
    "Can't open shared memory. %s event don't create for client (%s)",
    "Can't open shared memory. Server abandoded and don't sent the answer event (%s)",
    "Can't open shared memory. Can't send the request event to server (%s)",
    "Wrong or unknown protocol",
    "Invalid connection handle",
};

std::string ComposeMessage(std::string text, int code, std::string_view detail) {
    std::string message = std::move(text);
    if (detail.empty()) {
        return message;
    }
    if (code == CR_CONN_HOST_ERROR) {
        return std::string(detail);
    }
    message += "\r\n";
    message += detail;
    return message;
}

}  // namespace

std::string_view ClientErrorText(int code) {
    if (code < CR_MIN_ERROR || code > CR_MAX_ERROR) {
        return {};
    }
    return ClientErrors[static_cast<std::size_t>(code - CR_MIN_ERROR)];
}

EMySqlException::EMySqlException(int code) : EMySqlException(code, {}) {}

EMySqlException::EMySqlException(int code, std::string_view detail)
    : EMySqlException(code, detail, std::string(ClientErrorText(code))) {}

EMySqlException::EMySqlException(int code, std::string_view detail, std::string text)
    : Exception(ComposeMessage(std::move(text), code, detail)), FErrorCode(code) {}

}  // namespace mysql_client
