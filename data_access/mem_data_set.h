#pragma once

#include <cstdint>
#include <memory>

#include "data_access/mem_data.h"
#include "platform/data_set.h"

namespace data_access {

// A data set over a storage: it opens and closes the storage, offers its fields, and copies the
// storage's current record into the data set's record buffers, where the fields read it.
//
// A record buffer holds the stored record, the calculated area, the record information and the
// bookmark. A buffer showing a record owns a reference of each of the record's heap strings and
// blobs, so that the values outlive any change of the stored record while they are shown; the
// buffer drops them before it is overwritten or freed.
class TMemDataSet : public platform::TDataSet {
public:
    explicit TMemDataSet(std::unique_ptr<TMemData> data);
    ~TMemDataSet() override;

    TMemData& Data() const noexcept { return *FData; }
    bool HasData() const noexcept { return FData != nullptr; }
    int GetRecordSize() const noexcept { return FData->RecordSize(); }

    // The field type the data set gives a data type; "Unknown data type" (an assertion failure)
    // for a type without one.
    static platform::TFieldType GetFieldType(TDataType dataType);

    bool GetFieldData(const platform::TField& field, void* buffer) override;
    std::unique_ptr<platform::TStream> CreateBlobStream(const platform::TField& field,
                                                        platform::TBlobStreamMode mode) override;
    // The bookmark of the current record; false when there is none.
    bool GetActiveBookmark(TRecBookmark& bookmark) const;

protected:
    // For descendants whose storage comes later: set it with SetData before opening.
    TMemDataSet() = default;
    // Replaces the storage of a closed data set.
    void SetData(std::unique_ptr<TMemData> data);

    void InternalOpen() override;
    void InternalClose() override;
    std::uint8_t* AllocRecordBuffer() override;
    void FreeRecordBuffer(std::uint8_t*& buffer) override;
    platform::TGetResult GetRecord(std::uint8_t* buffer, platform::TGetMode mode,
                                   bool doCheck) override;
    void InternalFirst() override { FData->SetToBegin(); }
    void InternalLast() override { FData->SetToEnd(); }
    int GetRecordCount() override { return FData->GetRecordCount(); }
    int GetRecNo() override;

    // One definition per visible data field, in field order.
    virtual void CreateFieldDefs();

private:
    // What the data set keeps about the record in a buffer.
#pragma pack(push, 1)
    struct TRecInfo {
        std::int32_t RecordNumber;
        TItemStatus UpdateStatus;
        std::uint8_t BookmarkFlag;
        // The buffer holds references of the record's complex values.
        std::uint8_t RefComplexFields;
    };
#pragma pack(pop)
    static_assert(sizeof(TRecInfo) == 7);

    TRecInfo RecInfo(const std::uint8_t* buffer) const noexcept;
    void SetRecInfo(std::uint8_t* buffer, const TRecInfo& info) const noexcept;
    // Drops the references the buffer holds.
    void ReleaseBuffer(std::uint8_t* buffer);

    std::unique_ptr<TMemData> FData;
    bool FNeedAddRef = false;
    int FRecInfoOfs = 0;
    int FBookmarkOfs = 0;
    int FRecBufSize = 0;
};

}  // namespace data_access
