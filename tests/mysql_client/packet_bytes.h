#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// count bytes of a recognisable, non-repeating-per-page pattern.
inline Bytes Pattern(std::size_t count, std::uint8_t seed = 0) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = std::uint8_t(i * 31 + (i >> 8) + seed);
    }
    return bytes;
}

inline void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// A plain packet: 3-byte length, sequence number, payload.
inline Bytes Packet(std::uint8_t sequence, const Bytes& payload) {
    const std::size_t n = payload.size();
    Bytes bytes = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), sequence};
    Append(bytes, payload);
    return bytes;
}

}  // namespace test_support
