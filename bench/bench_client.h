#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace bench {

// Where the benchmark's server listens and whom it connects as.
struct TServerAddress {
    std::string Host;
    int Port = 0;
    std::string User;
    std::string Password;
    std::string Database;
};

// What streaming a result saw; both clients must see the same.
struct TStreamTotals {
    std::uint64_t Rows = 0;
    std::uint64_t Nulls = 0;
    std::uint64_t Bytes = 0;
    std::uint64_t Checksum = 0;

    // Reads the value's last byte, so that no client can skip looking at its values.
    void AddValue(const std::uint8_t* value, std::size_t length) noexcept {
        Bytes += length;
        if (length > 0) {
            Checksum += value[length - 1];
        }
    }

    bool operator==(const TStreamTotals&) const = default;
};

// One connection of one client, doing the benchmark's work. Failures raise std::runtime_error
// with the server's or the client's message.
class TBenchClient {
public:
    virtual ~TBenchClient() = default;

    // Runs a statement, discarding its rows if it has any.
    virtual void Execute(std::string_view sql) = 0;
    // The first value of the first row, empty for NULL.
    virtual std::string QueryValue(std::string_view sql) = 0;
    // Streams every row of the statement's result, reading every value.
    virtual TStreamTotals Stream(std::string_view sql) = 0;
    // Runs "SELECT 1" count times, each with its own result; returns the sum of the values.
    virtual std::uint64_t RoundTrips(int count) = 0;
    // Keeps every row of the statement's result in memory with every value converted to its
    // native form (numbers, date-times, UTF-16 text); returns the number of rows kept.
    virtual std::uint64_t Store(std::string_view sql) = 0;
};

// Connections in UTF-8, optionally with the compressed protocol.
std::unique_ptr<TBenchClient> ConnectOurClient(const TServerAddress& address, bool compress);
std::unique_ptr<TBenchClient> ConnectLibmariadb(const TServerAddress& address, bool compress);

std::string LibmariadbVersion();

}  // namespace bench
