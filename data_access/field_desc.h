#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data_access/data_types.h"
#include "platform/text.h"

namespace data_access {

enum TFieldDescKind : std::uint8_t { fdkData, fdkCached, fdkCalculated };

// The description of one field of a storage: its names, data type, and where its value lies in
// a record. Providers fill the descriptors as they describe their columns, so the members are
// open; descendants add what their provider needs.
class TFieldDesc {
public:
    TFieldDesc() = default;
    virtual ~TFieldDesc() = default;

    TFieldDesc(const TFieldDesc&) = delete;
    TFieldDesc& operator=(const TFieldDesc&) = delete;

    // Display name, unique within the storage once the aliases are made.
    platform::String FName;
    // Name in the database.
    platform::String FActualName;
    TDataType FDataType = dtUnknown;
    TDataType FSubDataType = dtUnknown;
    std::uint16_t FLength = 0;
    std::uint16_t FScale = 0;
    // 1-based position in the storage.
    std::uint16_t FFieldNo = 0;
    // 0-based column index in the result.
    std::uint16_t FActualFieldNo = 0;
    // Bytes in the record, and where they start.
    std::int32_t FSize = 0;
    std::int32_t FOffset = 0;
    bool FRequired = false;
    bool FReadOnly = false;
    bool FIsKey = false;
    bool FFixed = false;
    bool FHidden = false;
    // The field this one is a part of; nil for plain columns.
    TFieldDesc* FParentField = nullptr;
    bool FHiddenObject = false;
    // Marks a name shared with another field while the aliases are made.
    bool FReserved = false;
    TFieldDescKind FFieldDescKind = fdkData;
    bool FIsAutoIncrement = false;

    // A field of the record itself: neither calculated nor cached, nor part of another field.
    bool IsDataField() const noexcept {
        return FFieldDescKind == fdkData && FParentField == nullptr;
    }
};

// The owning list of a storage's field descriptors, in field number order.
class TFieldDescs {
public:
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TFieldDesc& operator[](int index) const { return *FItems[std::size_t(index)]; }
    auto begin() const noexcept { return FItems.begin(); }
    auto end() const noexcept { return FItems.end(); }

    TFieldDesc& Add(std::unique_ptr<TFieldDesc> field);
    void Clear() noexcept { FItems.clear(); }

    // By name, ignoring the case of a to z; nil when there is no such field.
    TFieldDesc* FindField(platform::StringView name) const;
    // Raises EDatabaseError "Field %s not found" when there is no such field.
    TFieldDesc& FieldByName(platform::StringView name) const;

private:
    std::vector<std::unique_ptr<TFieldDesc>> FItems;
};

}  // namespace data_access
