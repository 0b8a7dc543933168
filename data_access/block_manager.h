#pragma once

#include <cstddef>
#include <cstdint>

namespace data_access {

struct TBlockHeader;
struct TItemHeader;
using PBlockHeader = TBlockHeader*;
using PItemHeader = TItemHeader*;

enum TItemStatus : std::uint8_t { isUnmodified, isUpdated, isAppended, isDeleted };
enum TUpdateRecAction : std::uint8_t {
    urFail,
    urAbort,
    urSkip,
    urRetry,
    urApplied,
    urNone,
    urSuspended
};
enum TItemFilterState : std::uint8_t { fsNotChecked, fsNotOmitted, fsOmitted };

inline constexpr std::uint8_t flUsed = 238;
inline constexpr std::uint8_t flFree = 221;

// Headers are packed so that a block is its header followed by its items back to back, each item
// its header followed by its record's bytes.
#pragma pack(push, 1)

struct TBlockHeader {
    std::uint16_t ItemCount;
    std::uint16_t UsedItems;
    // Neighbours in the manager's block list.
    PBlockHeader Prev;
    PBlockHeader Next;
    std::uint8_t Test;
};

struct TItemHeader {
    PBlockHeader Block;
    // Neighbours in the record list, or in the free chain while the item is free.
    PItemHeader Prev;
    PItemHeader Next;
    // The record as it was before a cached update, else nil.
    void* Rollback;
    TItemStatus Status;
    TUpdateRecAction UpdateResult;
    // 1-based position of the record in the list.
    std::int32_t Order;
    std::uint8_t Flag;
    TItemFilterState FilterResult;
    std::uint8_t AlignByte;
};

#pragma pack(pop)

// Both headers have an odd size, so a record starts at an even offset from its block and an even
// item size (odd records, see AlignRecordSize) keeps every record of a block 2-byte aligned.
static_assert(sizeof(TBlockHeader) % 2 == 1 && sizeof(TItemHeader) % 2 == 1);

// The record size made odd, or rather made to give an even item size.
constexpr std::int32_t AlignRecordSize(std::int32_t size) noexcept {
    return size + (size + std::int32_t(sizeof(TItemHeader))) % 2;
}

// The record bytes that follow the item's header.
inline std::uint8_t* ItemRecord(PItemHeader item) noexcept {
    return reinterpret_cast<std::uint8_t*>(item) + sizeof(TItemHeader);
}

// The blocks of record slots of one storage, and the chain of free items among them.
class TBlockManager {
public:
    TBlockManager() noexcept = default;
    ~TBlockManager() { FreeAllBlock(); }

    TBlockManager(const TBlockManager&) = delete;
    TBlockManager& operator=(const TBlockManager&) = delete;

    // A new block of itemCount slots, zero-filled, at the head of the block list; ItemCount and
    // UsedItems are both itemCount.
    PBlockHeader AllocBlock(std::uint16_t itemCount);
    void FreeBlock(PBlockHeader block) noexcept;
    // Releases every block and empties the free chain.
    void FreeAllBlock() noexcept;

    // A used item taken from the free chain, which grows by a block of DefaultItemCount items
    // when empty.
    PItemHeader AllocItem();
    // Gives a used item back; the last used item of a block takes the whole block with it.
    void FreeItem(PItemHeader item);
    // Marks an item free and puts it at the head of the free chain.
    void PushFreeItem(PItemHeader item) noexcept;

    // The item in slot index of the block.
    PItemHeader BlockItem(PBlockHeader block, int index) const noexcept {
        return reinterpret_cast<PItemHeader>(reinterpret_cast<std::uint8_t*>(block) +
                                             sizeof(TBlockHeader) +
                                             std::size_t(index) * ItemSize());
    }
    std::size_t ItemSize() const noexcept { return sizeof(TItemHeader) + std::size_t(RecordSize); }

    PItemHeader FirstFree = nullptr;
    PBlockHeader FirstBlock = nullptr;
    // Set by the storage once its record layout is known.
    std::int32_t RecordSize = 0;
    std::uint16_t DefaultItemCount = 10;

private:
    void UnlinkFreeItem(PItemHeader item) noexcept;
};

}  // namespace data_access
