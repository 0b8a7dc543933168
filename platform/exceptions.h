#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace platform {

// The general exception: a message and nothing else. Every error of the system derives from it,
// so the service's error box can show any failure the same way.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}

    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }

private:
    std::string FMessage;
};

// A value handed to an operation is outside what it accepts.
class EArgumentException : public Exception {
public:
    using Exception::Exception;
};

// A text or number that cannot be converted to the wanted kind of value (a malformed number,
// an impossible date or time).
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An operation the object does not support.
class ENotSupportedException : public Exception {
public:
    using Exception::Exception;
};

// A file could not be opened, read or written.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// The database error class: the base of every error of the data-access layer.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A programming error caught by a check; an ordinary exception, never the end of the process.
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

// A failing operating-system call, with the system's error code and text.
class EOSError : public Exception {
public:
    explicit EOSError(int code);

    int ErrorCode() const noexcept { return FErrorCode; }

private:
    int FErrorCode;
};

// Raises EAssertionFailed ("Assertion failure" or the given text, with file and line).
[[noreturn]] void AssertionFailed(std::string_view message, const char* file, int line);

// Raises EAssertionFailed when condition is false. Inline, so that checks on hot paths cost a
// compare. (The builtins give the caller's place with every compiler we build with.)
inline void Assert(bool condition, std::string_view message = {},
                   const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    if (!condition) [[unlikely]] {
        AssertionFailed(message, file, line);
    }
}

}  // namespace platform
