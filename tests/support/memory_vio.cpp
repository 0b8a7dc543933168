#include "tests/support/memory_vio.h"

#include <algorithm>
#include <cstring>

namespace test_support {

MemoryVio::MemoryVio(std::size_t maxChunk) : FMaxChunk(maxChunk) {
    // Nobody waits on a memory transport.
    SetSleep([](std::chrono::milliseconds) {});
}

void MemoryVio::Feed(const std::vector<std::uint8_t>& bytes) {
    Feed(bytes.data(), bytes.size());
}

void MemoryVio::Feed(const std::uint8_t* bytes, std::size_t count) {
    FInput.insert(FInput.end(), bytes, bytes + count);
}

std::vector<std::uint8_t> MemoryVio::Written() const {
    std::vector<std::uint8_t> all;
    for (const auto& write : FWrites) {
        all.insert(all.end(), write.begin(), write.end());
    }
    return all;
}

std::size_t MemoryVio::ReadNoWait(std::uint8_t* buffer, std::size_t count) {
    FReadRequests.push_back(count);
    ClearError();
    const std::size_t n = std::min({count, FMaxChunk, FInput.size() - FInputPos});
    if (n > 0) {
        std::memcpy(buffer, FInput.data() + FInputPos, n);
        FInputPos += n;
    }
    return n;
}

std::size_t MemoryVio::WriteNoWait(const std::uint8_t* buffer, std::size_t count) {
    ClearError();
    FWrites.emplace_back(buffer, buffer + count);
    return count;
}

}  // namespace test_support
