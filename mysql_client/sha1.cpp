#include "mysql_client/sha1.h"

#include <bit>
#include <cstring>

namespace mysql_client {

namespace {

constexpr std::size_t BlockSize = 64;

using State = std::array<std::uint32_t, 5>;

std::uint32_t ReadBigEndian32(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 |
           std::uint32_t(bytes[2]) << 8 | std::uint32_t(bytes[3]);
}

void ProcessBlock(State& state, const std::uint8_t* block) {
    std::uint32_t w[80];
    for (int t = 0; t < 16; ++t) {
        w[t] = ReadBigEndian32(block + 4 * t);
    }
    for (int t = 16; t < 80; ++t) {
        w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    }

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int t = 0; t < 80; ++t) {
        std::uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t temp = std::rotl(a, 5) + f + e + k + w[t];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = temp;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

}  // namespace

Sha1Digest TSHA1Managed::ComputeHash(const std::uint8_t* data, std::size_t count) {
    State state = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

    const std::size_t whole = count - count % BlockSize;
    for (std::size_t offset = 0; offset < whole; offset += BlockSize) {
        ProcessBlock(state, data + offset);
    }

    // The tail, the 0x80 marker and the 64-bit bit length fill one block, or two when fewer than
    // nine bytes are left after the tail.
    std::uint8_t tail[2 * BlockSize] = {};
    const std::size_t rest = count - whole;
    if (rest > 0) {
        std::memcpy(tail, data + whole, rest);
    }
    tail[rest] = 0x80;
    const std::size_t tailLength = rest + 9 <= BlockSize ? BlockSize : 2 * BlockSize;
    const std::uint64_t bits = std::uint64_t(count) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[tailLength - 1 - i] = std::uint8_t(bits >> (8 * i));
    }
    for (std::size_t offset = 0; offset < tailLength; offset += BlockSize) {
        ProcessBlock(state, tail + offset);
    }

    Sha1Digest digest;
    for (std::size_t i = 0; i < state.size(); ++i) {
        digest[4 * i] = std::uint8_t(state[i] >> 24);
        digest[4 * i + 1] = std::uint8_t(state[i] >> 16);
        digest[4 * i + 2] = std::uint8_t(state[i] >> 8);
        digest[4 * i + 3] = std::uint8_t(state[i]);
    }
    return digest;
}

Sha1Digest TSHA1Managed::ComputeHash(std::string_view bytes) {
    return ComputeHash(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace mysql_client
