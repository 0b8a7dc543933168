#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// Deflates count bytes at zlib's default level into out (RFC 1950: zlib header and trailer).
// Returns the compressed size, or 0 when the output does not fit in capacity or zlib fails.
std::size_t DeflateInto(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                        std::size_t capacity);

// How a one-pass inflate into a buffer of fixed size ended.
enum class InflateStatus {
    StreamEnd,   // the whole stream, trailer checked, fitted in the buffer
    OutputFull,  // the buffer filled up before the stream ended
    Damaged,     // the stream is corrupt or cut short
};

// Inflates zlib streams one after another, keeping zlib's state and window between them so that
// a stream of many small packets does not set them up each time.
class TInflater {
public:
    TInflater();
    ~TInflater();

    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    // Inflates a stream into at most capacity bytes at out in one pass; produced receives the
    // number of bytes written.
    InflateStatus Inflate(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                          std::size_t capacity, std::size_t& produced);
    // Inflates a stream into exactly expected bytes at out. False when the stream is damaged or
    // does not end at exactly that length.
    bool InflateExact(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                      std::size_t expected);

private:
    struct Stream;
    std::unique_ptr<Stream> FStream;
};

// One-pass forms with a stream of their own.
InflateStatus InflateInto(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                          std::size_t capacity, std::size_t& produced);
bool InflateExact(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                  std::size_t expected);

}  // namespace platform
