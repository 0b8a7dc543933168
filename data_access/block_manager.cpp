#include "data_access/block_manager.h"

#include <cstdlib>
#include <new>

#include "platform/exceptions.h"

namespace data_access {

PBlockHeader TBlockManager::AllocBlock(std::uint16_t itemCount) {
    // Zero-filled, so that slots nobody wrote into hold nil references.
    auto block = static_cast<PBlockHeader>(
        std::calloc(1, sizeof(TBlockHeader) + std::size_t(itemCount) * ItemSize()));
    if (!block) {
        throw std::bad_alloc();
    }
    block->ItemCount = itemCount;
    block->UsedItems = itemCount;
    block->Prev = nullptr;
    block->Next = FirstBlock;
    if (FirstBlock) {
        FirstBlock->Prev = block;
    }
    FirstBlock = block;
    return block;
}

void TBlockManager::FreeBlock(PBlockHeader block) noexcept {
    if (block->Prev) {
        block->Prev->Next = block->Next;
    } else {
        FirstBlock = block->Next;
    }
    if (block->Next) {
        block->Next->Prev = block->Prev;
    }
    std::free(block);
}

void TBlockManager::FreeAllBlock() noexcept {
    while (FirstBlock) {
        FreeBlock(FirstBlock);
    }
    FirstFree = nullptr;
}

void TBlockManager::PushFreeItem(PItemHeader item) noexcept {
    item->Flag = flFree;
    item->Prev = nullptr;
    item->Next = FirstFree;
    if (FirstFree) {
        FirstFree->Prev = item;
    }
    FirstFree = item;
}

void TBlockManager::UnlinkFreeItem(PItemHeader item) noexcept {
    if (item->Prev) {
        item->Prev->Next = item->Next;
    } else {
        FirstFree = item->Next;
    }
    if (item->Next) {
        item->Next->Prev = item->Prev;
    }
}

PItemHeader TBlockManager::AllocItem() {
    if (!FirstFree) {
        PBlockHeader block = AllocBlock(DefaultItemCount);
        block->UsedItems = 0;
        for (int i = DefaultItemCount - 1; i >= 0; --i) {
            PItemHeader item = BlockItem(block, i);
            item->Block = block;
            PushFreeItem(item);
        }
    }
    PItemHeader item = FirstFree;
    platform::Assert(item->Flag == flFree);
    UnlinkFreeItem(item);
    item->Prev = item->Next = nullptr;
    item->Flag = flUsed;
    item->Rollback = nullptr;
    item->Status = isUnmodified;
    item->UpdateResult = urNone;
    item->Order = 0;
    item->FilterResult = fsNotChecked;
    ++item->Block->UsedItems;
    return item;
}

void TBlockManager::FreeItem(PItemHeader item) {
    platform::Assert(item->Flag == flUsed);
    PBlockHeader block = item->Block;
    if (block->UsedItems > 1) {
        --block->UsedItems;
        PushFreeItem(item);
        return;
    }
    for (int i = 0; i < block->ItemCount; ++i) {
        PItemHeader other = BlockItem(block, i);
        if (other != item) {
            platform::Assert(other->Flag == flFree);
            UnlinkFreeItem(other);
        }
    }
    FreeBlock(block);
}

}  // namespace data_access
