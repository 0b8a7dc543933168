#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Deflates count bytes at zlib's default level into out (RFC 1950: zlib header and trailer).
// Returns the compressed size, or 0 when the output does not fit in capacity or zlib fails.
std::size_t DeflateInto(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                        std::size_t capacity);

// Inflates a zlib stream into exactly expected bytes at out. False when the stream is damaged
// or does not end at exactly that length.
bool InflateExact(const std::uint8_t* data, std::size_t count, std::uint8_t* out,
                  std::size_t expected);

}  // namespace platform
