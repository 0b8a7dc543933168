#include "mysql_client/vio.h"

#include <gtest/gtest.h>

#include <deque>

#include "tests/mysql_client/packet_bytes.h"
#include "tests/support/memory_vio.h"

namespace {

using test_support::Bytes;
using test_support::MemoryVio;
using test_support::Pattern;

using std::chrono::milliseconds;

class BufferedRead : public ::testing::Test {
protected:
    void SetUp() override {
        vio.SetSleep([this](milliseconds pause) { pauses.push_back(pause); });
    }

    Bytes ReadBytes(std::size_t count) {
        Bytes bytes(count);
        bytes.resize(vio.Read(bytes.data(), count));
        return bytes;
    }

    MemoryVio vio;
    std::vector<milliseconds> pauses;
};

TEST_F(BufferedRead, SmallReadsShareOneSocketCall) {
    const Bytes input = Pattern(100);
    vio.Feed(input);
    Bytes got = ReadBytes(3);
    EXPECT_EQ(vio.ReadRequests(), std::vector<std::size_t>{16384});
    for (const std::size_t count : {50, 47}) {
        test_support::Append(got, ReadBytes(count));
    }
    EXPECT_EQ(vio.ReadCalls(), 1);
    EXPECT_EQ(got, input);
}

TEST_F(BufferedRead, LargeReadTakesBufferedBytesThenReadsDirectly) {
    const Bytes input = Pattern(5003);
    vio.Feed(input.data(), 103);
    Bytes got = ReadBytes(3);  // leaves 100 bytes buffered
    vio.Feed(input.data() + 103, 4900);
    test_support::Append(got, ReadBytes(5000));
    EXPECT_EQ(got, input);
    EXPECT_EQ(vio.ReadRequests(), (std::vector<std::size_t>{16384, 4900}));
}

TEST_F(BufferedRead, ReadsAcrossTheBufferBoundary) {
    const Bytes input = Pattern(16384 + 100);
    vio.Feed(input);
    Bytes got;
    while (got.size() < input.size()) {
        const Bytes piece = ReadBytes(std::min<std::size_t>(7, input.size() - got.size()));
        ASSERT_FALSE(piece.empty());
        test_support::Append(got, piece);
    }
    EXPECT_EQ(got, input);
    EXPECT_EQ(vio.ReadCalls(), 2);
    EXPECT_TRUE(pauses.empty());
}

TEST(BufferedReadShortDelivery, SmallReadCompletesWhenTheSocketDeliversLess) {
    MemoryVio vio(2);  // the network hands out two bytes at a time
    vio.Feed(Pattern(4));
    Bytes got(4);
    EXPECT_EQ(vio.Read(got.data(), 4), 4u);
    EXPECT_EQ(got, Pattern(4));
}

TEST_F(BufferedRead, PeerClosingMidReadEndsItShortAfterOnePause) {
    vio.Feed(Pattern(3000));
    EXPECT_EQ(ReadBytes(5000).size(), 3000u);
    EXPECT_EQ(vio.LastError(), "");
    EXPECT_EQ(pauses, std::vector<milliseconds>{milliseconds(10)});
}

TEST_F(BufferedRead, SmallReadOnAClosedConnectionAsksOnce) {
    EXPECT_EQ(ReadBytes(4).size(), 0u);
    EXPECT_EQ(vio.ReadCalls(), 1);
    EXPECT_EQ(pauses, std::vector<milliseconds>{milliseconds(10)});
}

// A transport whose single sends deliver scripted amounts.
class ScriptedWrites : public mysql_client::TCRVio {
public:
    explicit ScriptedWrites(std::deque<std::size_t> script) : FScript(std::move(script)) {}

    int calls = 0;

    int GetTimeout() const override { return 0; }
    void SetTimeout(int) override {}
    void Close() override {}
    std::size_t ReadNoWait(std::uint8_t*, std::size_t) override { return 0; }
    std::size_t WriteNoWait(const std::uint8_t*, std::size_t count) override {
        ++calls;
        if (FScript.empty()) {
            return 0;
        }
        const std::size_t sent = std::min(count, FScript.front());
        FScript.pop_front();
        return sent;
    }

private:
    std::deque<std::size_t> FScript;
};

TEST(WriteLoop, GivesUpAfterTheThirdZeroResultInTotal) {
    const struct {
        std::deque<std::size_t> script;
        std::size_t written;
        int calls;
        int pauses;
    } cases[] = {
        {{20}, 20, 1, 0},       {{5, 5, 5, 5}, 20, 4, 0},
        {{}, 0, 3, 2},          {{5, 0, 5, 0, 0, 5}, 10, 5, 2},
        {{0, 0, 20}, 20, 3, 2},
    };
    const Bytes data = Pattern(20);
    for (const auto& c : cases) {
        ScriptedWrites vio(c.script);
        int pauses = 0;
        vio.SetSleep([&pauses](milliseconds) { ++pauses; });
        EXPECT_EQ(vio.Write(data.data(), data.size()), c.written);
        EXPECT_EQ(vio.calls, c.calls);
        EXPECT_EQ(pauses, c.pauses);
    }
}

}  // namespace
