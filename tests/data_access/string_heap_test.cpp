#include "data_access/string_heap.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/exceptions.h"

namespace {

using data_access::TStringHeap;
using ::testing::StartsWith;

constexpr std::int32_t Slot(std::int32_t dataSize) {
    return dataSize + TStringHeap::HeaderSize;
}

constexpr std::int32_t MaxSmallSlot = Slot(TStringHeap::SmallSize);

void ExpectAssertion(const std::function<void()>& action, const std::string& text) {
    try {
        action();
        ADD_FAILURE() << "no assertion failure, expected " << text;
    } catch (const platform::EAssertionFailed& e) {
        EXPECT_THAT(e.Message(), StartsWith(text + " ("));
    }
}

std::ptrdiff_t Distance(const void* from, const void* to) {
    return static_cast<const std::uint8_t*>(to) - static_cast<const std::uint8_t*>(from);
}

TEST(TStringHeap, SmallSizesRoundUpToTheirClass) {
    const struct {
        std::int32_t size;
        std::int32_t sizeWord;
    } cases[] = {{1, 8}, {7, 8}, {8, 8}, {9, 16}, {100, 104}, {1993, 2000}, {2000, 2000}};
    TStringHeap heap;
    for (const auto& c : cases) {
        void* buf = heap.NewBuf(c.size);
        ASSERT_NE(buf, nullptr) << c.size;
        EXPECT_EQ(TStringHeap::SizeWord(buf), c.sizeWord) << c.size;
        EXPECT_EQ(TStringHeap::RefWord(buf), TStringHeap::RefNull) << c.size;
        std::memset(buf, 0xAB, c.sizeWord);
    }
    EXPECT_FALSE(heap.SysGetMem());
    EXPECT_FALSE(heap.Empty());
}

TEST(TStringHeap, NothingForSizesOfZeroOrLess) {
    TStringHeap heap;
    EXPECT_EQ(heap.NewBuf(0), nullptr);
    EXPECT_EQ(heap.NewBuf(-5), nullptr);
    EXPECT_TRUE(heap.Empty());
    heap.DisposeBuf(nullptr);
    TStringHeap::AddRef(nullptr);
}

TEST(TStringHeap, BuffersFollowEachOtherInTheirChunk) {
    TStringHeap heap;
    void* first = heap.NewBuf(1);
    void* second = heap.NewBuf(8);
    void* third = heap.NewBuf(20);
    void* fourth = heap.NewBuf(1);
    EXPECT_EQ(Distance(first, second), Slot(8));
    EXPECT_EQ(Distance(second, third), Slot(8));
    EXPECT_EQ(Distance(third, fourth), Slot(24));
}

TEST(TStringHeap, LargeBuffersAreAllocationsOfTheirOwn) {
    TStringHeap heap;
    void* buf = heap.NewBuf(2001);
    EXPECT_EQ(TStringHeap::SizeWord(buf), 2001);
    EXPECT_EQ(TStringHeap::RefWord(buf), TStringHeap::RefNull);
    EXPECT_TRUE(heap.SysGetMem());
    std::memset(buf, 0, 2001);

    // Shared, it survives until its last owner lets go; then the system has it back (the leak
    // checker of the sanitizer build would report it otherwise).
    TStringHeap::AddRef(buf);
    heap.DisposeBuf(buf);
    EXPECT_EQ(TStringHeap::RefWord(buf), TStringHeap::RefNull);
    heap.DisposeBuf(buf);

    heap.Clear();
    EXPECT_FALSE(heap.SysGetMem());
    EXPECT_TRUE(heap.Empty());
}

TEST(TStringHeap, SharedBufferGoesToItsFreeListWithItsLastOwner) {
    TStringHeap heap;
    void* buf = heap.NewBuf(30);
    TStringHeap::AddRef(buf);
    TStringHeap::AddRef(buf);
    EXPECT_EQ(TStringHeap::RefWord(buf), 103);

    heap.DisposeBuf(buf);
    heap.DisposeBuf(buf);
    EXPECT_EQ(TStringHeap::RefWord(buf), TStringHeap::RefNull);
    heap.DisposeBuf(buf);
    EXPECT_EQ(TStringHeap::RefWord(buf), TStringHeap::RefFree);

    // Another class takes new room; the same class takes the released buffer back.
    EXPECT_NE(heap.NewBuf(40), buf);
    EXPECT_EQ(heap.NewBuf(25), buf);
    EXPECT_EQ(TStringHeap::RefWord(buf), TStringHeap::RefNull);
    EXPECT_EQ(TStringHeap::SizeWord(buf), 32);
}

TEST(TStringHeap, EveryClassReusesItsReleasedBuffers) {
    TStringHeap heap;
    std::vector<void*> buffers;
    for (std::int32_t n = 1; n <= TStringHeap::SmallClasses; ++n) {
        buffers.push_back(heap.NewBuf(n * TStringHeap::Align));
        std::memset(buffers.back(), n, n * TStringHeap::Align);
    }
    for (void* buf : buffers) {
        heap.DisposeBuf(buf);
    }
    // Each class hands back its own buffer, whatever was released after it.
    for (std::int32_t n = TStringHeap::SmallClasses; n >= 1; --n) {
        EXPECT_EQ(heap.NewBuf(n * TStringHeap::Align - 7), buffers[n - 1]) << n;
    }
}

TEST(TStringHeap, FreeListsHandOutTheLastReleasedFirst) {
    TStringHeap heap;
    void* a = heap.NewBuf(16);
    void* b = heap.NewBuf(16);
    heap.DisposeBuf(a);
    heap.DisposeBuf(b);
    EXPECT_EQ(heap.NewBuf(16), b);
    EXPECT_EQ(heap.NewBuf(16), a);
}

// Fills the first chunk with largest buffers and returns the first of them.
void* FillWithLargestBuffers(TStringHeap& heap, int count) {
    void* first = heap.NewBuf(TStringHeap::SmallSize);
    for (int i = 1; i < count; ++i) {
        heap.NewBuf(TStringHeap::SmallSize);
    }
    return first;
}

TEST(TStringHeap, RemainderOfAFullChunkServesItsSizeClass) {
    TStringHeap heap;
    const int fitting = TStringHeap::ChunkDataSize / MaxSmallSlot;
    const std::int32_t rest = TStringHeap::ChunkDataSize - fitting * MaxSmallSlot;
    ASSERT_GE(rest, Slot(8));
    const std::int32_t restSize =
        (rest - TStringHeap::HeaderSize) / TStringHeap::Align * TStringHeap::Align;

    void* first = FillWithLargestBuffers(heap, fitting);
    void* next = heap.NewBuf(TStringHeap::SmallSize);  // does not fit: new chunk
    EXPECT_NE(Distance(first, next), fitting * MaxSmallSlot);

    void* remainder = heap.NewBuf(restSize);
    EXPECT_EQ(Distance(first, remainder), fitting * MaxSmallSlot);
    EXPECT_EQ(TStringHeap::SizeWord(remainder), restSize);
    EXPECT_EQ(TStringHeap::RefWord(remainder), TStringHeap::RefNull);
}

TEST(TStringHeap, LastBufferOfAChunkTakesTheTooSmallRest) {
    // The chunk is filled up to the last buffer and 10 bytes; the last buffer takes those bytes
    // (rounded down to 8) only while it stays small.
    const std::int32_t ChunkTail = 10;
    const struct {
        std::int32_t lastSize;
        std::int32_t sizeWord;
    } cases[] = {{312, 320}, {TStringHeap::SmallSize, TStringHeap::SmallSize}};
    for (const auto& c : cases) {
        TStringHeap heap;
        std::int32_t filler = TStringHeap::ChunkDataSize - Slot(c.lastSize) - ChunkTail;
        while (filler > 0) {
            const std::int32_t slot = std::min(filler, MaxSmallSlot);
            heap.NewBuf(slot - TStringHeap::HeaderSize);
            filler -= slot;
        }
        ASSERT_EQ(filler, 0) << c.lastSize;
        EXPECT_EQ(TStringHeap::SizeWord(heap.NewBuf(c.lastSize)), c.sizeWord) << c.lastSize;
    }
}

TEST(TStringHeap, ClearReturnsEveryChunk) {
    TStringHeap heap;
    for (int i = 0; i < 100; ++i) {
        heap.NewBuf(1 + i * 19 % TStringHeap::SmallSize);
    }
    heap.DisposeBuf(heap.NewBuf(500));
    EXPECT_FALSE(heap.Empty());
    heap.Clear();
    EXPECT_TRUE(heap.Empty());
    EXPECT_FALSE(heap.SysGetMem());

    // The free lists went with the chunks: new buffers come from a fresh chunk.
    void* a = heap.NewBuf(500);
    void* b = heap.NewBuf(500);
    EXPECT_EQ(Distance(a, b), Slot(504));
    heap.Clear();
    // Destruction returns chunks still holding buffers as well.
    heap.NewBuf(10);
}

TEST(TStringHeap, CopiesOfText) {
    TStringHeap heap;
    const struct {
        const char* text;
        bool trim;
        std::int32_t len;
        std::string copy;
    } cases[] = {
        {"abc", false, -1, "abc"},  {"abc  ", true, -1, "abc"}, {"abc  ", false, -1, "abc  "},
        {"abcdef", false, 2, "ab"}, {"ab  cd", true, 4, "ab"},  {"   ", true, -1, ""},
        {"", false, -1, ""},
    };
    for (const auto& c : cases) {
        const char* copy = heap.AllocStr(c.text, c.trim, c.len);
        EXPECT_EQ(copy, c.copy) << c.text;
        EXPECT_EQ(copy[c.copy.size()], '\0');
        EXPECT_EQ(TStringHeap::SizeWord(copy), std::int32_t(c.copy.size() + 8) / 8 * 8) << c.text;

        const std::u16string wideText(c.text, c.text + std::strlen(c.text));
        const char16_t* wide = heap.AllocWideStr(wideText.c_str(), c.trim, c.len);
        EXPECT_EQ(std::u16string(wide), std::u16string(c.copy.begin(), c.copy.end())) << c.text;
        EXPECT_EQ(TStringHeap::SizeWord(wide), std::int32_t(2 * c.copy.size() + 9) / 8 * 8)
            << c.text;
    }
    EXPECT_EQ(heap.AllocStr(nullptr), nullptr);
    EXPECT_EQ(heap.AllocWideStr(nullptr), nullptr);
}

TEST(TStringHeap, MisuseIsAnAssertionFailure) {
    TStringHeap heap;
    void* buf = heap.NewBuf(10);
    heap.DisposeBuf(buf);
    ExpectAssertion([&] { heap.DisposeBuf(buf); }, "DisposeBuf failed");
    ExpectAssertion([&] { TStringHeap::AddRef(buf); }, "AddRefStr failed");

    // Headers that no buffer of the heap carries: a size word of 0, a reference word that would
    // wrap round to a free buffer's.
    alignas(8) std::uint8_t forged[16] = {};
    void* forgedBuf = forged + TStringHeap::HeaderSize;
    const std::uint16_t one = TStringHeap::RefNull;
    std::memcpy(forged + 4, &one, sizeof one);
    ExpectAssertion([&] { heap.DisposeBuf(forgedBuf); }, "SmallTab in DisposeBuf failed");
    const std::uint16_t most = 0xFFFF;
    std::memcpy(forged + 4, &most, sizeof most);
    ExpectAssertion([&] { TStringHeap::AddRef(forgedBuf); }, "AddRefStr failed");

    heap.SetThreadSafety(true);
    ExpectAssertion([&] { heap.SetThreadSafety(true); }, "Assertion failure");
}

TEST(TStringHeap, ThreadSafeHeapServesSeveralThreads) {
    TStringHeap heap;
    heap.SetThreadSafety(true);
    EXPECT_TRUE(heap.ThreadSafety());
    const auto work = [&heap](int seed) {
        std::vector<void*> held;
        for (int i = 0; i < 20000; ++i) {
            void* buf = heap.NewBuf(1 + (seed * 31 + i * 7) % 300);
            std::memset(buf, seed, 1);
            held.push_back(buf);
            if (held.size() > 16) {
                heap.DisposeBuf(held.front());
                held.erase(held.begin());
            }
        }
        for (void* buf : held) {
            heap.DisposeBuf(buf);
        }
    };
    std::vector<std::thread> threads;
    for (int seed = 0; seed < 4; ++seed) {
        threads.emplace_back(work, seed);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    heap.Clear();
    EXPECT_TRUE(heap.Empty());
    heap.SetThreadSafety(false);
    EXPECT_FALSE(heap.ThreadSafety());
}

}  // namespace
