#pragma once

#include <cstdint>

#include "data_access/block_manager.h"
#include "data_access/data.h"

namespace data_access {

// A position in a storage as the data set keeps it: the item is trusted only while the storage
// is still in the refresh iteration the bookmark was taken in; after that the record number
// decides.
#pragma pack(push, 1)
struct TRecBookmark {
    std::int32_t RefreshIteration;
    PItemHeader Item;
    // -1 when there was no current record.
    std::int32_t Order;
};
#pragma pack(pop)

// The in-memory storage: records in fixed-size slots of blocks, linked into one list in result
// order, with a current item and the BOF and EOF flags.
//
// A provider fills the storage block by block: it allocates a block of slots from BlockMan,
// writes its rows into the slots' records (ItemRecord) and hands the block over with
// CreateBlockStruct. Navigation asks the provider for the next block (Fetch) when it runs past
// the last stored record.
class TMemData : public TData {
public:
    TMemData();
    ~TMemData() override;

    void InitFields() override;

    void SetToBegin() override;
    void SetToEnd() override;
    void GetRecord(std::uint8_t* recBuf) override;
    void GetNextRecord(std::uint8_t* recBuf) override;
    void GetPriorRecord(std::uint8_t* recBuf) override;
    int GetRecordNo() const override;
    // Makes record recordNo (1-based) current, walking from the nearest known position; a number
    // no record has leaves the position as it is.
    void SetRecordNo(int recordNo) override;

    TRecBookmark GetBookmark() const;
    void SetToBookmark(const TRecBookmark& bookmark);
    bool BookmarkValid(const TRecBookmark& bookmark);
    // -1, 0 or 1.
    int CompareBookmarks(const TRecBookmark& a, const TRecBookmark& b) const;
    std::int32_t RefreshIteration() const noexcept { return FRefreshIteration; }

    // Reads one more block of records; false when there is nothing more. A plain storage has
    // nothing to fetch.
    virtual bool Fetch(bool /*fetchBack*/) { return false; }

protected:
    void InitData() override;
    void FreeData() override;

    // Links the first rowCount slots of a block the provider has filled into the record list:
    // after the last item, or before the first when fetching back. The other slots become free
    // items, and a forward fetch that left slots over marks the end of the data.
    void CreateBlockStruct(PBlockHeader block, int rowCount, bool fetchBack);
    // For a unidirectional provider, before the next block replaces the stored records: takes
    // them out of the list with their values released and zeroed, and returns their block for
    // refilling (nullptr when nothing is stored). Record numbers go on from the dropped ones; a
    // new refresh iteration keeps bookmarks away from the reused slots.
    PBlockHeader CutList();

    // Whether the record is left out of navigation (editing, cached updates and filters decide
    // here; the storage alone leaves nothing out). The decision is cached in the item.
    virtual bool FilterOmits(PItemHeader /*item*/) { return false; }
    bool OmitRecord(PItemHeader item);

    TBlockManager BlockMan;
    PItemHeader FirstItem = nullptr;
    PItemHeader LastItem = nullptr;
    PItemHeader CurrentItem = nullptr;
    std::int32_t FRefreshIteration = 0;
    // The provider's result has been read to its end.
    bool FNoData = false;

private:
    void SetCurrent(PItemHeader item, std::uint8_t* recBuf);
};

}  // namespace data_access
