#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "mysql_client/vio.h"

namespace test_support {

// An in-memory transport: reads come from bytes fed in advance (at most maxChunk per call, so
// that short socket reads can be imitated), and every write call is recorded. When the input
// runs out, reads return 0 like a peer that closed the connection.
class MemoryVio : public mysql_client::TCRVio {
public:
    explicit MemoryVio(std::size_t maxChunk = std::numeric_limits<std::size_t>::max());

    void Feed(const std::vector<std::uint8_t>& bytes);
    void Feed(const std::uint8_t* bytes, std::size_t count);

    const std::vector<std::vector<std::uint8_t>>& Writes() const { return FWrites; }
    // All bytes written, in order.
    std::vector<std::uint8_t> Written() const;
    int ReadCalls() const { return static_cast<int>(FReadRequests.size()); }
    // The count each read call asked for.
    const std::vector<std::size_t>& ReadRequests() const { return FReadRequests; }
    bool Closed() const { return FClosed; }

    int GetTimeout() const override { return 0; }
    void SetTimeout(int) override {}
    void Close() override { FClosed = true; }
    std::size_t ReadNoWait(std::uint8_t* buffer, std::size_t count) override;
    std::size_t WriteNoWait(const std::uint8_t* buffer, std::size_t count) override;

private:
    std::size_t FMaxChunk;
    std::vector<std::uint8_t> FInput;
    std::size_t FInputPos = 0;
    std::vector<std::vector<std::uint8_t>> FWrites;
    std::vector<std::size_t> FReadRequests;
    bool FClosed = false;
};

}  // namespace test_support
