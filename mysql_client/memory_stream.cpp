#include "mysql_client/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace mysql_client {

void MemoryStream::Reserve(std::size_t capacity) {
    if (capacity <= FCapacity) {
        return;
    }
    const std::size_t grown = std::max({capacity, FCapacity + FCapacity / 2, FInitialCapacity});
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[grown]);
    if (FLength > 0) {
        std::memcpy(data.get(), FData.get(), FLength);
    }
    FData = std::move(data);
    FCapacity = grown;
}

void MemoryStream::SetLength(std::size_t length) {
    Reserve(length);
    FLength = length;
}

void MemoryStream::Write(const std::uint8_t* data, std::size_t count) {
    if (count == 0) {
        return;
    }
    const std::size_t end = FPosition + count;
    Reserve(end);
    std::memcpy(FData.get() + FPosition, data, count);
    FPosition = end;
    FLength = std::max(FLength, end);
}

void MemoryStream::Fill(std::uint8_t value, std::size_t count) {
    const std::size_t end = FPosition + count;
    Reserve(end);
    std::memset(FData.get() + FPosition, value, count);
    FPosition = end;
    FLength = std::max(FLength, end);
}

void MemoryStream::Close() noexcept {
    FData.reset();
    FCapacity = 0;
    FLength = 0;
    FPosition = 0;
}

}  // namespace mysql_client
