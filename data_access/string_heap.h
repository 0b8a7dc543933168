#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace data_access {

// The out-of-record strings of one storage.
//
// Small buffers (up to SmallSize bytes) are carved from chunks of BlockSize bytes in steps of
// Align bytes; a released one goes on the free list of its size class and only Clear returns
// chunks to the system, all at once. Larger buffers are allocations of their own that go back to
// the system with their last owner; the heap does not track them, so their owners release them
// before Clear.
//
// In front of the first data byte of every buffer lie a 32-bit size word (the rounded size of a
// small buffer, the requested size of a large one) and a 16-bit reference word: RefNull for one
// owner, one more for each further owner, RefFree while the buffer lies on a free list. Buffers
// are 2-byte aligned; their data bytes are not initialised.
class TStringHeap {
public:
    static constexpr std::int32_t BlockSize = 16384;
    static constexpr std::int32_t SmallSize = 2000;
    static constexpr std::int32_t Align = 8;
    static constexpr std::uint16_t RefNull = 101;
    static constexpr std::uint16_t RefFree = 100;
    // The size word and the reference word.
    static constexpr std::int32_t HeaderSize = 6;
    static constexpr std::int32_t SmallClasses = SmallSize / Align;
    // What a chunk holds for buffers: everything after its link to the chunk before it.
    static constexpr std::int32_t ChunkDataSize = BlockSize - sizeof(void*);

    TStringHeap() noexcept;
    ~TStringHeap();

    TStringHeap(const TStringHeap&) = delete;
    TStringHeap& operator=(const TStringHeap&) = delete;

    // A buffer of at least size bytes with one owner; nil for a size of 0 or less.
    void* NewBuf(std::int32_t size);
    // Drops one owner of buf (nil does nothing); the last one frees it.
    void DisposeBuf(void* buf);
    // Adds an owner to buf (nil does nothing). Not serialised even when the heap is thread-safe.
    static void AddRef(void* buf);

    // A new buffer holding a copy of str and a terminating zero: len characters, or up to str's
    // terminator when len is negative, without trailing blanks when trim is on. Nil for nil.
    char* AllocStr(const char* str, bool trim = false, std::int32_t len = -1);
    char16_t* AllocWideStr(const char16_t* str, bool trim = false, std::int32_t len = -1);

    // Returns every chunk to the system and empties the free lists.
    void Clear();

    // Serialises NewBuf, DisposeBuf and Clear under a lock of their own.
    void SetThreadSafety(bool value);
    bool ThreadSafety() const noexcept { return FThreadSafetyCS != nullptr; }

    // Nothing was handed out since creation or the last Clear.
    bool Empty() const noexcept { return FEmpty; }
    // A large buffer was handed out since the last Clear.
    bool SysGetMem() const noexcept { return FSysGetMem; }

    static std::int32_t SizeWord(const void* buf) noexcept;
    static std::uint16_t RefWord(const void* buf) noexcept;

private:
    struct TBlock;

    std::unique_lock<std::mutex> Lock();
    void* CarveBuf(std::int32_t dataSize);
    void PushRemainder() noexcept;
    void Push(void* buf, std::int32_t sizeClass) noexcept;
    void NewChunk();
    void FreeChunks() noexcept;
    template <class Char>
    Char* CopyStr(const Char* str, bool trim, std::int32_t len);

    // Heads of the free lists; index n - 1 holds the buffers of n * Align data bytes.
    std::array<void*, SmallClasses> FSmallTab{};
    std::int32_t FFree = ChunkDataSize;
    TBlock* FRoot = nullptr;
    bool FEmpty = true;
    bool FSysGetMem = false;
    std::unique_ptr<std::mutex> FThreadSafetyCS;
};

}  // namespace data_access
