#include "data_access/mysql/my_error.h"

#include <charconv>

namespace data_access::mysql {

namespace {

constexpr int ER_PARSE_ERROR = 1064;
constexpr int ER_DUP_ENTRY = 1062;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The last run of decimal digits in the text, 0 when there is none or it does not fit.
int LastNumber(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && !IsDigit(text[end - 1])) {
        --end;
    }
    std::size_t start = end;
    while (start > 0 && IsDigit(text[start - 1])) {
        --start;
    }
    int number = 0;
    if (start < end) {
        std::from_chars(text.data() + start, text.data() + end, number);
    }
    return number;
}

}  // namespace

EMyError::EMyError(int code, std::string message) : EDAError(code, std::move(message)) {
    if (code == ER_PARSE_ERROR) {
        FLineNumber = LastNumber(Message());
    }
}

bool EMyError::IsFatalError() const noexcept {
    switch (ErrorCode()) {
        case 1053:  // server shutdown in progress
        case 2003:  // cannot connect
        case 2006:  // server has gone away
        case 2013:  // lost connection
        case 2020:  // packet over the limit: the client closed the connection
            return true;
        default:
            return false;
    }
}

bool EMyError::IsKeyViolation() const noexcept {
    return ErrorCode() == ER_DUP_ENTRY;
}

}  // namespace data_access::mysql
