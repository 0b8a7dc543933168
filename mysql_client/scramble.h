#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mysql_client/sha1.h"

namespace mysql_client {

// The password responses of the handshake: the 4.1 one (mysql_native_password) and the pre-4.1
// one still asked for by old servers and old accounts.

constexpr std::size_t ScrambleLength = 8;
constexpr std::size_t Scramble41Length = 20;

// Byte-wise xor of two digests.
Sha1Digest MyCrypt(const Sha1Digest& a, const Sha1Digest& b);

// The 4.1 response to the server's 20-byte scramble: SHA1(p) xor SHA1(scramble + SHA1(SHA1(p))).
// The password is hashed as given, spaces included.
Sha1Digest ComputeScramble41(std::string_view password, const std::uint8_t* scramble20);

// The state of the pre-4.1 pseudo-random generator.
struct TrandStruct {
    std::uint64_t seed1;
    std::uint64_t seed2;
    std::uint64_t max_value;
    double max_value_dbl;
};

// The pre-4.1 password hash: two 31-bit words; spaces and tabs do not count.
std::array<std::uint32_t, 2> hashPassword(std::string_view bytes);

void randominit(TrandStruct& state, std::uint64_t seed1, std::uint64_t seed2);

// The next value in [0, 1).
double MyRandom(TrandStruct& state);

// The pre-4.1 response to the first 8 bytes of the server's scramble. The password must not be
// empty (an empty password sends no response); the caller appends the terminating zero byte.
std::array<std::uint8_t, ScrambleLength> ComputeScramble323(std::string_view password,
                                                            const std::uint8_t* message8);

// SHA1 of the password with every space and tab removed.
Sha1Digest PasswordHashStage1(std::string_view password);

// SHA1 of the 4 salt bytes followed by the 20 bytes of stage1.
Sha1Digest PasswordHashStage2(const Sha1Digest& stage1, const std::uint8_t* salt4);

// to[i] := from[i] xor key[i] for length bytes.
void PasswordCrypt(const std::uint8_t* from, std::uint8_t* to, const std::uint8_t* key,
                   std::size_t length);

}  // namespace mysql_client
