#include "data_access/mem_data.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/exceptions.h"

namespace data_access {

namespace {

// Shared by every storage of the process, so that a bookmark can never mistake another
// storage's (or an earlier open's) item for one of the current records.
std::atomic<std::int32_t> RefreshIterationCounter{0};

int Sign(std::int64_t a, std::int64_t b) noexcept {
    return a < b ? -1 : a > b ? 1 : 0;
}

}  // namespace

TMemData::TMemData() {
    InitData();
}

TMemData::~TMemData() {
    FreeData();
}

void TMemData::InitFields() {
    TData::InitFields();
    BlockMan.RecordSize = FRecordSize;
}

void TMemData::InitData() {
    FirstItem = LastItem = CurrentItem = nullptr;
    FBOF = FEOF = true;
    FRecordCount = 0;
    FRecordNoOffset = 0;
    BlockMan.FirstFree = nullptr;
    FRefreshIteration = ++RefreshIterationCounter;
    FNoData = false;
}

void TMemData::FreeData() {
    // Large heap strings are allocations of their own and must go one by one; small ones all go
    // with the heap's chunks, so only the blobs are left to release.
    if (FStringHeap.SysGetMem()) {
        for (PItemHeader item = FirstItem; item; item = item->Next) {
            ReleaseComplexValues(ItemRecord(item), true, true);
        }
    } else {
        FStringHeap.Clear();
        if (FHasBlobFields) {
            for (PItemHeader item = FirstItem; item; item = item->Next) {
                ReleaseComplexValues(ItemRecord(item), true, false);
            }
        }
    }
    FStringHeap.Clear();
    BlockMan.FreeAllBlock();
    InitData();
}

void TMemData::CreateBlockStruct(PBlockHeader block, int rowCount, bool fetchBack) {
    for (int i = 0; i < rowCount; ++i) {
        PItemHeader item = BlockMan.BlockItem(block, i);
        item->Block = block;
        item->Flag = flUsed;
        item->Rollback = nullptr;
        item->Status = isUnmodified;
        item->UpdateResult = urNone;
        item->FilterResult = fsNotChecked;
        if (fetchBack) {
            item->Prev = nullptr;
            item->Next = FirstItem;
            item->Order = FirstItem ? FirstItem->Order - 1 : 0;
            if (FirstItem) {
                FirstItem->Prev = item;
            } else {
                LastItem = item;
            }
            FirstItem = item;
        } else {
            item->Prev = LastItem;
            item->Next = nullptr;
            item->Order = LastItem ? LastItem->Order + 1 : 1;
            if (LastItem) {
                LastItem->Next = item;
            } else {
                FirstItem = item;
            }
            LastItem = item;
        }
    }
    if (!fetchBack) {
        FRecordCount += rowCount;
    }
    for (int i = rowCount; i < block->ItemCount; ++i) {
        PItemHeader item = BlockMan.BlockItem(block, i);
        item->Block = block;
        ReleaseComplexValues(ItemRecord(item), true, true);
        BlockMan.PushFreeItem(item);
    }
    if (!fetchBack && rowCount < block->ItemCount) {
        FNoData = true;
    }
    block->UsedItems = std::uint16_t(rowCount);
}

PBlockHeader TMemData::CutList() {
    if (!FirstItem) {
        return nullptr;
    }
    PBlockHeader block = FirstItem->Block;
    // Only a full single block is refilled: a block with free slots ended the fetching.
    platform::Assert(LastItem->Block == block && block->UsedItems == block->ItemCount,
                     "Unidirectional storage holds more than one full block");
    for (PItemHeader item = FirstItem; item; item = item->Next) {
        ReleaseComplexValues(ItemRecord(item), true, true);
        std::memset(ItemRecord(item), 0, std::size_t(FRecordSize));
    }
    FRecordNoOffset += LastItem->Order;
    FirstItem = LastItem = CurrentItem = nullptr;
    FRefreshIteration = ++RefreshIterationCounter;
    return block;
}

bool TMemData::OmitRecord(PItemHeader item) {
    if (!item) {
        return true;
    }
    if (item->FilterResult == fsNotChecked) {
        item->FilterResult = FilterOmits(item) ? fsOmitted : fsNotOmitted;
    }
    return item->FilterResult == fsOmitted;
}

void TMemData::SetToBegin() {
    CurrentItem = nullptr;
    FBOF = true;
    if (FirstItem) {
        FEOF = false;
    }
}

void TMemData::SetToEnd() {
    CurrentItem = nullptr;
    FEOF = true;
    if (FirstItem) {
        FBOF = false;
    }
}

void TMemData::SetCurrent(PItemHeader item, std::uint8_t* recBuf) {
    CurrentItem = item;
    FBOF = FEOF = false;
    if (recBuf) {
        GetRecord(recBuf);
    }
}

void TMemData::GetRecord(std::uint8_t* recBuf) {
    if (!CurrentItem) {
        return;
    }
    if (OmitRecord(CurrentItem)) {
        GetNextRecord(recBuf);
        return;
    }
    std::memcpy(recBuf, ItemRecord(CurrentItem), std::size_t(FRecordSize));
}

void TMemData::GetNextRecord(std::uint8_t* recBuf) {
    if (FEOF && !CurrentItem) {
        return;
    }
    PItemHeader previous = FBOF ? nullptr : CurrentItem;
    FBOF = false;
    PItemHeader item;
    for (;;) {
        item = previous ? previous->Next : FirstItem;
        if (!item) {
            // Past the last stored record: the provider may have more.
            const std::int32_t iteration = FRefreshIteration;
            if (Fetch(false)) {
                // A unidirectional fetch replaced the stored records, previous among them.
                if (FRefreshIteration != iteration) {
                    previous = nullptr;
                }
                continue;
            }
            break;
        }
        if (!OmitRecord(item)) {
            break;
        }
        previous = item;
    }
    if (!item) {
        CurrentItem = nullptr;
        FEOF = true;
        return;
    }
    SetCurrent(item, recBuf);
}

void TMemData::GetPriorRecord(std::uint8_t* recBuf) {
    if (FBOF && !CurrentItem) {
        return;
    }
    PItemHeader item = FEOF ? LastItem : (CurrentItem ? CurrentItem->Prev : LastItem);
    FEOF = false;
    while (item && OmitRecord(item)) {
        item = item->Prev;
    }
    if (!item) {
        CurrentItem = nullptr;
        FBOF = true;
        return;
    }
    SetCurrent(item, recBuf);
}

int TMemData::GetRecordNo() const {
    return CurrentItem ? CurrentItem->Order + FRecordNoOffset : 0;
}

void TMemData::SetRecordNo(int recordNo) {
    if (recordNo < 1 || !FirstItem) {
        return;
    }
    const std::int32_t target = recordNo - FRecordNoOffset;
    PItemHeader start = FirstItem;
    const auto distance = [target](PItemHeader item) {
        return std::abs(std::int64_t(target) - item->Order);
    };
    if (CurrentItem && distance(CurrentItem) < distance(start)) {
        start = CurrentItem;
    }
    if (distance(LastItem) < distance(start)) {
        start = LastItem;
    }
    // One direction only, so that orders with gaps cannot make the walk turn back and forth.
    const bool forward = start->Order < target;
    PItemHeader item = start;
    while (item && item->Order + FRecordNoOffset != recordNo) {
        const std::int32_t iteration = FRefreshIteration;
        if (!forward) {
            item = item->Prev;
        } else if (item->Next || !Fetch(false)) {
            item = item->Next;
        } else if (FRefreshIteration != iteration) {
            // A unidirectional fetch replaced the stored records, item among them.
            item = FirstItem;
        }
    }
    if (item) {
        SetCurrent(item, nullptr);
    }
}

TRecBookmark TMemData::GetBookmark() const {
    return {FRefreshIteration, CurrentItem, CurrentItem ? GetRecordNo() : -1};
}

void TMemData::SetToBookmark(const TRecBookmark& bookmark) {
    // An item of an earlier iteration has been freed: only its number is left to go by.
    if (bookmark.RefreshIteration == FRefreshIteration && bookmark.Item &&
        bookmark.Item->Flag == flUsed) {
        SetCurrent(bookmark.Item, nullptr);
        return;
    }
    if (bookmark.Order != -1) {
        SetRecordNo(bookmark.Order);
    }
}

bool TMemData::BookmarkValid(const TRecBookmark& bookmark) {
    const bool current = bookmark.RefreshIteration == FRefreshIteration && bookmark.Item;
    if (current && bookmark.Item->Flag == flUsed && OmitRecord(bookmark.Item)) {
        return false;
    }
    if (bookmark.Order >= 1 && bookmark.Order <= FRecordCount) {
        return true;
    }
    const int recordNo = GetRecordNo();
    return current && bookmark.Item == CurrentItem && recordNo >= 1 && recordNo <= FRecordCount;
}

int TMemData::CompareBookmarks(const TRecBookmark& a, const TRecBookmark& b) const {
    // Items are compared only while they still live, that is in the current iteration.
    if (a.RefreshIteration == b.RefreshIteration && a.RefreshIteration == FRefreshIteration &&
        a.Item && b.Item) {
        return a.Item == b.Item ? 0 : Sign(a.Item->Order, b.Item->Order);
    }
    return Sign(a.Order, b.Order);
}

}  // namespace data_access
