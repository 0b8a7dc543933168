#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mysql_client {

using Sha1Digest = std::array<std::uint8_t, 20>;

// SHA-1 (FIPS 180-1), for the password responses of the handshake.
class TSHA1Managed {
public:
    // The 20-byte digest: the five 32-bit state words, most significant byte first.
    static Sha1Digest ComputeHash(const std::uint8_t* data, std::size_t count);
    static Sha1Digest ComputeHash(std::string_view bytes);
};

}  // namespace mysql_client
