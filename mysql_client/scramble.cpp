#include "mysql_client/scramble.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace mysql_client {

namespace {

constexpr std::size_t DigestLength = std::tuple_size_v<Sha1Digest>;
constexpr std::size_t SaltLength = 4;

bool IsSpaceOrTab(std::uint8_t b) {
    return b == ' ' || b == '\t';
}

}  // namespace

Sha1Digest MyCrypt(const Sha1Digest& a, const Sha1Digest& b) {
    Sha1Digest result;
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = a[i] ^ b[i];
    }
    return result;
}

Sha1Digest ComputeScramble41(std::string_view password, const std::uint8_t* scramble20) {
    const Sha1Digest stage1 = TSHA1Managed::ComputeHash(password);
    const Sha1Digest stage2 = TSHA1Managed::ComputeHash(stage1.data(), stage1.size());
    std::array<std::uint8_t, Scramble41Length + DigestLength> message;
    std::copy(scramble20, scramble20 + Scramble41Length, message.begin());
    std::copy(stage2.begin(), stage2.end(), message.begin() + Scramble41Length);
    return MyCrypt(TSHA1Managed::ComputeHash(message.data(), message.size()), stage1);
}

std::array<std::uint32_t, 2> hashPassword(std::string_view bytes) {
    std::uint32_t nr = 1345345333;
    std::uint32_t add = 7;
    std::uint32_t nr2 = 0x12345671;
    for (const char c : bytes) {
        const std::uint8_t b = static_cast<std::uint8_t>(c);
        if (IsSpaceOrTab(b)) {
            continue;
        }
        nr ^= ((nr & 63) + add) * b + (nr << 8);
        nr2 += (nr2 << 8) ^ nr;
        add += b;
    }
    return {nr & 0x7FFFFFFF, nr2 & 0x7FFFFFFF};
}

void randominit(TrandStruct& state, std::uint64_t seed1, std::uint64_t seed2) {
    state.max_value = 0x3FFFFFFF;
    state.max_value_dbl = static_cast<double>(state.max_value);
    state.seed1 = seed1 % state.max_value;
    state.seed2 = seed2 % state.max_value;
}

double MyRandom(TrandStruct& state) {
    state.seed1 = (state.seed1 * 3 + state.seed2) % state.max_value;
    state.seed2 = (state.seed1 + state.seed2 + 33) % state.max_value;
    return static_cast<double>(state.seed1) / state.max_value_dbl;
}

std::array<std::uint8_t, ScrambleLength> ComputeScramble323(std::string_view password,
                                                            const std::uint8_t* message8) {
    const auto hp = hashPassword(password);
    const auto hm =
        hashPassword(std::string_view(reinterpret_cast<const char*>(message8), ScrambleLength));
    TrandStruct state;
    randominit(state, hp[0] ^ hm[0], hp[1] ^ hm[1]);

    std::array<std::uint8_t, ScrambleLength> out;
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(std::floor(MyRandom(state) * 31) + 64);
    }
    const auto extra = static_cast<std::uint8_t>(std::floor(MyRandom(state) * 31));
    for (auto& b : out) {
        b ^= extra;
    }
    return out;
}

Sha1Digest PasswordHashStage1(std::string_view password) {
    std::string kept;
    kept.reserve(password.size());
    for (const char c : password) {
        if (!IsSpaceOrTab(static_cast<std::uint8_t>(c))) {
            kept.push_back(c);
        }
    }
    return TSHA1Managed::ComputeHash(kept);
}

Sha1Digest PasswordHashStage2(const Sha1Digest& stage1, const std::uint8_t* salt4) {
    std::array<std::uint8_t, SaltLength + DigestLength> message;
    std::copy(salt4, salt4 + SaltLength, message.begin());
    std::copy(stage1.begin(), stage1.end(), message.begin() + SaltLength);
    return TSHA1Managed::ComputeHash(message.data(), message.size());
}

void PasswordCrypt(const std::uint8_t* from, std::uint8_t* to, const std::uint8_t* key,
                   std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        to[i] = from[i] ^ key[i];
    }
}

}  // namespace mysql_client
