#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace mysql_client {

// A byte-stream transport. Concrete transports supply the single-shot socket calls; this class
// turns them into reads and writes of a requested number of bytes, with a read-ahead buffer
// that serves protocol headers and short packets.
//
// Reads and writes never throw: a failure is recorded in LastError()/LastErrorCode() and the
// operation returns fewer bytes than asked.
class TCRVio {
public:
    static constexpr std::size_t VIO_READ_BUFFER_SIZE = 16384;
    // Reads of at least this many bytes bypass the read-ahead buffer to save a copy.
    static constexpr std::size_t VIO_UNBUFFERED_READ_MIN_SIZE = 2048;
    // Pause between unproductive socket calls of the read and write loops.
    static constexpr std::chrono::milliseconds RetryPause{10};

    using SleepFunction = std::function<void(std::chrono::milliseconds)>;

    TCRVio();
    virtual ~TCRVio();

    TCRVio(const TCRVio&) = delete;
    TCRVio& operator=(const TCRVio&) = delete;

    // The Timeout property, in seconds.
    virtual int GetTimeout() const = 0;
    virtual void SetTimeout(int seconds) = 0;

    // The base only resets the read-ahead buffer.
    virtual void Connect();
    virtual void Close() = 0;

    // One transport call each: returns what it moved, 0 on close or failure.
    virtual std::size_t ReadNoWait(std::uint8_t* buffer, std::size_t count) = 0;
    virtual std::size_t WriteNoWait(const std::uint8_t* buffer, std::size_t count) = 0;

    // Loops until count bytes were moved or the transport gave up; returns the bytes moved.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t count);
    virtual std::size_t Write(const std::uint8_t* buffer, std::size_t count);

    // Waits until the transport is readable; the base does not support it.
    virtual bool WaitForData(int timeoutSeconds);

    const std::string& LastError() const noexcept { return FLastError; }
    int LastErrorCode() const noexcept { return FLastErrorCode; }

    // Replaces the pause of the retry loops (tests record it instead of sleeping).
    void SetSleep(SleepFunction sleep) { FSleep = std::move(sleep); }

protected:
    void ClearError() noexcept;
    void SetError(std::string message, int code);

    std::string FLastError;
    int FLastErrorCode = 0;

private:
    std::size_t ServeFromBuffer(std::uint8_t* buffer, std::size_t count) noexcept;

    std::unique_ptr<std::uint8_t[]> FBuffer;
    std::size_t FBufferLen = 0;
    std::size_t FBufferPos = 0;
    SleepFunction FSleep;
};

}  // namespace mysql_client
