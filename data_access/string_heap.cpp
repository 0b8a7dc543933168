#include "data_access/string_heap.h"

#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "platform/exceptions.h"

namespace data_access {

namespace {

// The smallest slot worth keeping: the header and one step of data.
constexpr std::int32_t MinSlot = TStringHeap::HeaderSize + TStringHeap::Align;

std::uint8_t* Bytes(void* buf) noexcept {
    return static_cast<std::uint8_t*>(buf);
}

// Buffers are only 2-byte aligned, so the words in front of them are copied, not dereferenced.
void SetSizeWord(void* buf, std::int32_t size) noexcept {
    std::memcpy(Bytes(buf) - TStringHeap::HeaderSize, &size, sizeof size);
}

void SetRefWord(void* buf, std::uint16_t ref) noexcept {
    std::memcpy(Bytes(buf) - sizeof ref, &ref, sizeof ref);
}

// A buffer on a free list links the next one through its first data bytes.
void* Link(const void* buf) noexcept {
    void* next;
    std::memcpy(&next, buf, sizeof next);
    return next;
}

void SetLink(void* buf, void* next) noexcept {
    std::memcpy(buf, &next, sizeof next);
}

std::int64_t SizeClass(std::int64_t size) noexcept {
    return (size + TStringHeap::Align - 1) / TStringHeap::Align;
}

}  // namespace

struct TStringHeap::TBlock {
    TBlock* Next;
    std::uint8_t Data[ChunkDataSize];
};

TStringHeap::TStringHeap() noexcept = default;

TStringHeap::~TStringHeap() {
    FreeChunks();
}

std::int32_t TStringHeap::SizeWord(const void* buf) noexcept {
    std::int32_t size;
    std::memcpy(&size, static_cast<const std::uint8_t*>(buf) - HeaderSize, sizeof size);
    return size;
}

std::uint16_t TStringHeap::RefWord(const void* buf) noexcept {
    std::uint16_t ref;
    std::memcpy(&ref, static_cast<const std::uint8_t*>(buf) - sizeof ref, sizeof ref);
    return ref;
}

std::unique_lock<std::mutex> TStringHeap::Lock() {
    return FThreadSafetyCS ? std::unique_lock(*FThreadSafetyCS) : std::unique_lock<std::mutex>();
}

void* TStringHeap::NewBuf(std::int32_t size) {
    if (size <= 0) {
        return nullptr;
    }
    const auto lock = Lock();
    FEmpty = false;
    const std::int64_t sizeClass = SizeClass(size);
    if (sizeClass <= SmallClasses) {
        void*& head = FSmallTab[sizeClass - 1];
        if (head) {
            void* buf = head;
            head = Link(buf);
            SetRefWord(buf, RefWord(buf) + 1);
            return buf;
        }
        return CarveBuf(static_cast<std::int32_t>(sizeClass) * Align);
    }
    void* buf = Bytes(::operator new(std::size_t(size) + HeaderSize)) + HeaderSize;
    SetSizeWord(buf, size);
    SetRefWord(buf, RefNull);
    FSysGetMem = true;
    return buf;
}

void* TStringHeap::CarveBuf(std::int32_t dataSize) {
    const std::int32_t slot = dataSize + HeaderSize;
    if (!FRoot) {
        NewChunk();
    } else if (FFree < slot) {
        PushRemainder();
        NewChunk();
    }
    void* buf = FRoot->Data + (ChunkDataSize - FFree) + HeaderSize;
    FFree -= slot;
    std::int32_t size = dataSize;
    const bool chunkFull = FFree < MinSlot;
    if (chunkFull) {
        // A rest too small for a buffer of its own goes to this one while it stays small.
        const std::int32_t rest = FFree / Align * Align;
        if (size + rest <= SmallSize) {
            size += rest;
        }
    }
    SetSizeWord(buf, size);
    SetRefWord(buf, RefNull);
    if (chunkFull) {
        NewChunk();
    }
    return buf;
}

// The rest of the newest chunk becomes a free buffer for later requests of its size.
void TStringHeap::PushRemainder() noexcept {
    // Less is left only when allocating the chunk after a full one failed.
    if (FFree < MinSlot) {
        return;
    }
    void* buf = FRoot->Data + (ChunkDataSize - FFree) + HeaderSize;
    const std::int32_t size = (FFree - HeaderSize) / Align * Align;
    SetSizeWord(buf, size);
    SetRefWord(buf, RefFree);
    Push(buf, size / Align);
}

void TStringHeap::Push(void* buf, std::int32_t sizeClass) noexcept {
    void*& head = FSmallTab[sizeClass - 1];
    SetLink(buf, head);
    head = buf;
}

void TStringHeap::NewChunk() {
    static_assert(sizeof(TBlock) == BlockSize);
    auto* block = new TBlock;
    block->Next = FRoot;
    FRoot = block;
    FFree = ChunkDataSize;
}

void TStringHeap::FreeChunks() noexcept {
    while (FRoot) {
        TBlock* next = FRoot->Next;
        delete FRoot;
        FRoot = next;
    }
}

void TStringHeap::DisposeBuf(void* buf) {
    if (!buf) {
        return;
    }
    const auto lock = Lock();
    const std::uint16_t ref = RefWord(buf);
    platform::Assert(ref >= RefNull, "DisposeBuf failed");
    if (ref > RefNull) {
        SetRefWord(buf, ref - 1);
        return;
    }
    const std::int64_t sizeClass = SizeClass(SizeWord(buf));
    platform::Assert(sizeClass > 0, "SmallTab in DisposeBuf failed");
    SetRefWord(buf, RefFree);
    if (sizeClass <= SmallClasses) {
        Push(buf, static_cast<std::int32_t>(sizeClass));
    } else {
        ::operator delete(Bytes(buf) - HeaderSize);
    }
}

void TStringHeap::AddRef(void* buf) {
    if (!buf) {
        return;
    }
    const std::uint16_t ref = RefWord(buf);
    // A word at its maximum would wrap round to a free buffer's.
    platform::Assert(ref > RefFree && ref < std::numeric_limits<std::uint16_t>::max(),
                     "AddRefStr failed");
    SetRefWord(buf, ref + 1);
}

template <class Char>
Char* TStringHeap::CopyStr(const Char* str, bool trim, std::int32_t len) {
    if (!str) {
        return nullptr;
    }
    std::size_t length = len < 0 ? std::char_traits<Char>::length(str) : std::size_t(len);
    if (trim) {
        while (length > 0 && str[length - 1] == Char(' ')) {
            --length;
        }
    }
    const std::size_t bytes = (length + 1) * sizeof(Char);
    if (bytes > std::size_t(std::numeric_limits<std::int32_t>::max())) {
        throw std::bad_alloc();
    }
    auto* buf = static_cast<Char*>(NewBuf(static_cast<std::int32_t>(bytes)));
    std::char_traits<Char>::copy(buf, str, length);
    buf[length] = Char(0);
    return buf;
}

char* TStringHeap::AllocStr(const char* str, bool trim, std::int32_t len) {
    return CopyStr(str, trim, len);
}

char16_t* TStringHeap::AllocWideStr(const char16_t* str, bool trim, std::int32_t len) {
    return CopyStr(str, trim, len);
}

void TStringHeap::Clear() {
    const auto lock = Lock();
    if (FEmpty) {
        return;
    }
    FreeChunks();
    FSmallTab.fill(nullptr);
    FFree = ChunkDataSize;
    FEmpty = true;
    FSysGetMem = false;
}

void TStringHeap::SetThreadSafety(bool value) {
    if (value) {
        platform::Assert(FThreadSafetyCS == nullptr);
        FThreadSafetyCS = std::make_unique<std::mutex>();
    } else {
        FThreadSafetyCS.reset();
    }
}

}  // namespace data_access
