#include "mysql_client/vio.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/exceptions.h"

namespace mysql_client {

TCRVio::TCRVio()
    : FBuffer(new std::uint8_t[VIO_READ_BUFFER_SIZE]),
      FSleep([](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }) {}

TCRVio::~TCRVio() = default;

void TCRVio::Connect() {
    FBufferLen = 0;
    FBufferPos = 0;
}

bool TCRVio::WaitForData(int) {
    platform::Assert(false, "WaitForData is not supported by this transport");
    return false;
}

void TCRVio::ClearError() noexcept {
    FLastError.clear();
    FLastErrorCode = 0;
}

void TCRVio::SetError(std::string message, int code) {
    FLastError = std::move(message);
    FLastErrorCode = code;
}

std::size_t TCRVio::ServeFromBuffer(std::uint8_t* buffer, std::size_t count) noexcept {
    const std::size_t n = std::min(FBufferLen - FBufferPos, count);
    if (n > 0) {
        std::memcpy(buffer, FBuffer.get() + FBufferPos, n);
        FBufferPos += n;
    }
    if (FBufferPos == FBufferLen) {
        FBufferPos = 0;
        FBufferLen = 0;
    }
    return n;
}

std::size_t TCRVio::Read(std::uint8_t* buffer, std::size_t count) {
    std::size_t result = ServeFromBuffer(buffer, count);
    count -= result;
    if (count == 0) {
        return result;
    }
    platform::Assert(FBufferPos == 0 && FBufferLen == 0);

    // Large reads, and whatever a small read still lacks, go straight into the caller's memory;
    // the first unproductive call ends the read short after one pause, so a closed or failed
    // connection is reported promptly (and a timeout is not waited for twice).
    int retryBudget = 1;
    if (count < VIO_UNBUFFERED_READ_MIN_SIZE) {
        FBufferLen = ReadNoWait(FBuffer.get(), VIO_READ_BUFFER_SIZE);
        const std::size_t served = ServeFromBuffer(buffer + result, count);
        result += served;
        count -= served;
        if (served == 0) {
            retryBudget = 0;
            FSleep(RetryPause);
        }
    }
    while (count > 0 && retryBudget > 0) {
        const std::size_t received = ReadNoWait(buffer + result, count);
        result += received;
        count -= received;
        if (received > 0) {
            retryBudget = 1;
            continue;
        }
        --retryBudget;
        if (count > 0) {
            FSleep(RetryPause);
        }
    }
    return result;
}

std::size_t TCRVio::Write(const std::uint8_t* buffer, std::size_t count) {
    std::size_t written = 0;
    // Not reset by a successful send: one call gives up after its third zero result in total.
    int zeroResults = 0;
    while (count > 0) {
        const std::size_t sent = WriteNoWait(buffer + written, count);
        if (sent > 0) {
            written += sent;
            count -= sent;
            continue;
        }
        if (++zeroResults == 3) {
            break;
        }
        FSleep(RetryPause);
    }
    return written;
}

}  // namespace mysql_client
