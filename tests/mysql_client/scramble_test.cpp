#include "mysql_client/scramble.h"

#include <gtest/gtest.h>

#include <string>

#include "mysql_client/sha1.h"

namespace {

using mysql_client::ComputeScramble323;
using mysql_client::ComputeScramble41;
using mysql_client::hashPassword;
using mysql_client::MyRandom;
using mysql_client::PasswordHashStage1;
using mysql_client::PasswordHashStage2;
using mysql_client::randominit;
using mysql_client::Sha1Digest;
using mysql_client::TrandStruct;
using mysql_client::TSHA1Managed;

std::string Hex(const Sha1Digest& digest) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : digest) {
        text += Digits[b >> 4];
        text += Digits[b & 15];
    }
    return text;
}

std::string AllByteValues() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

// The server's 20-byte scramble, with bytes above 0x7F to catch sign trouble.
constexpr std::uint8_t Scramble20[] = {0x85, 0xaa, 0xcf, 0xf4, 0x19, 0x3e, 0x63, 0x88, 0xad, 0xd2,
                                       0xf7, 0x1c, 0x41, 0x66, 0x8b, 0xb0, 0xd5, 0xfa, 0x1f, 0x44};

// The first 8 bytes of a server scramble, as a pre-4.1 server sends them.
constexpr std::uint8_t Message8[] = {0x3a, 0x5c, 0x27, 0x7e, 0x41, 0x6f, 0x22, 0x4d};

TEST(Sha1, MatchesReferenceDigests) {
    const struct {
        const char* name;
        std::string input;
        const char* digest;
    } cases[] = {
        {"empty", "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"two-block message", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"million a", std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        // Around the padding boundaries: the length still fits the first block up to 55 bytes.
        {"55 a", std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
        {"56 a", std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
        {"63 a", std::string(63, 'a'), "03f09f5b158a7a8cdad920bddc29b81c18a551f5"},
        {"64 a", std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
        {"65 a", std::string(65, 'a'), "11655326c708d70319be2610e8a57d9a5b959d3b"},
        {"bytes 0..255", AllByteValues(), "4916d6bdb7f78e6803698cab32d1586ea457dfc8"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(TSHA1Managed::ComputeHash(c.input)), c.digest) << c.name;
    }
}

TEST(Scramble41, XorsPasswordHashWithHashOfScrambleAndDoubleHash) {
    const struct {
        const char* password;
        Sha1Digest response;
    } cases[] = {
        {"Secret-41", {0xb7, 0x2d, 0xe6, 0xce, 0x8c, 0x2c, 0x5f, 0xe6, 0x6e, 0x38,
                       0x8d, 0x84, 0x4d, 0x8b, 0x8d, 0x76, 0x1b, 0x19, 0xb0, 0xd6}},
        // Spaces are part of a 4.1 password.
        {"Sec ret-41", {0x05, 0xda, 0xa3, 0x6a, 0x1e, 0x01, 0x54, 0x77, 0x6f, 0xf7,
                        0x43, 0xee, 0xa0, 0x63, 0x4f, 0x33, 0x39, 0xd8, 0x7c, 0x8b}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComputeScramble41(c.password, Scramble20), c.response) << c.password;
        EXPECT_EQ(ComputeScramble41(c.password, Scramble20), c.response) << c.password << " again";
    }
}

TEST(PreV41PasswordHash, MatchesKnownHashesAndSkipsSpacesAndTabs) {
    const struct {
        std::string password;
        std::array<std::uint32_t, 2> hash;
    } cases[] = {
        {"password", {0x5d2e1939, 0x3cc5ef67}},
        {" pass\tword\t ", {0x5d2e1939, 0x3cc5ef67}},
        {"p\xc3\xa4ssw\xc3\xb6rd", {0x4abeaead, 0x409936b7}},
        {"correct horse battery staple", {0x3c814ebd, 0x0491233c}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hashPassword(c.password), c.hash) << c.password;
    }
}

// A slip in the generator barely moves the pre-4.1 response bytes, so its sequence is checked
// exactly.
TEST(PreV41Random, ReducesSeedsAndFollowsTheSequence) {
    TrandStruct state;
    randominit(state, 0xDEADBEEF, 0x7FFFFFFF);
    EXPECT_EQ(state.seed1, 0x1eadbef2u);
    EXPECT_EQ(state.seed2, 0x1u);

    const struct {
        std::uint64_t seed1;
        std::uint64_t seed2;
        double value;
    } steps[] = {
        {0x1c093cd8, 0x1c093cfa, 0.4380638230946509},
        {0x3024f383, 0x0c2e309f, 0.7522553240435713},
        {0x1c9d0b2a, 0x28cb3bea, 0.4470851816675488},
    };
    for (const auto& step : steps) {
        EXPECT_DOUBLE_EQ(MyRandom(state), step.value);
        EXPECT_EQ(state.seed1, step.seed1);
        EXPECT_EQ(state.seed2, step.seed2);
    }
}

TEST(Scramble323, MatchesIndependentlyComputedResponse) {
    using Response = std::array<std::uint8_t, mysql_client::ScrambleLength>;
    const struct {
        const char* password;
        Response response;
    } cases[] = {
        {"Secret-41", {0x56, 0x56, 0x4b, 0x58, 0x58, 0x51, 0x4e, 0x55}},
        {" Secret\t-41", {0x56, 0x56, 0x4b, 0x58, 0x58, 0x51, 0x4e, 0x55}},
        {"password", {0x57, 0x45, 0x58, 0x58, 0x44, 0x43, 0x47, 0x44}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComputeScramble323(c.password, Message8), c.response) << c.password;
    }
}

TEST(PasswordHashStages, StripSpacesThenHashSaltBeforeStage1) {
    const Sha1Digest stage1 = {0x00, 0x46, 0xb3, 0x46, 0x86, 0x55, 0xd7, 0x38, 0x23, 0x09,
                               0xd6, 0x16, 0x86, 0x96, 0x18, 0xde, 0x86, 0x63, 0xf5, 0x94};
    EXPECT_EQ(PasswordHashStage1("Secret-41"), stage1);
    EXPECT_EQ(PasswordHashStage1(" Se cret\t-41\t"), stage1);

    const std::uint8_t salt[] = {0xde, 0xad, 0xbe, 0xef};
    const Sha1Digest stage2 = {0xe9, 0xfc, 0xe2, 0x73, 0x8f, 0x8c, 0xe8, 0xd7, 0xe3, 0x23,
                               0x9d, 0xe2, 0xbd, 0x91, 0x5c, 0xbd, 0x35, 0x0d, 0x34, 0xda};
    EXPECT_EQ(PasswordHashStage2(stage1, salt), stage2);
}

}  // namespace
