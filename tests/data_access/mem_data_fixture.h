#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "data_access/mem_data.h"
#include "platform/text.h"

namespace storage_test {

using namespace data_access;

// A column as a provider describes it: the record layout follows from type and length.
struct TColumn {
    platform::String Name;
    TDataType DataType;
    std::uint16_t Length = 0;
    bool Fixed = false;
    bool ReadOnly = false;
};

struct TNull {};
// Whole numbers, doubles (also date-time values), UTF-16 text (wide strings, memos) and bytes
// (8-bit strings, byte values, binary blobs).
using TValue = std::variant<TNull, std::int64_t, double, platform::String, std::string>;
using TRow = std::vector<TValue>;

// Bytes a field of this type and length takes in the record, as providers size them.
inline std::int32_t FieldSize(TDataType type, std::int32_t length) {
    switch (type) {
        case dtString:
        case dtBytes:
            return length + 1;
        case dtInt8:
        case dtInt16:
        case dtUInt16:
        case dtBoolean:
        case dtUInt8:
            return 2;
        case dtInt32:
        case dtUInt32:
            return 4;
        case dtVarBytes:
            return length + 2;
        case dtWideString:
            return 2 * length + 2;
        case dtExtString:
        case dtExtWideString:
        case dtExtVarBytes:
        case dtBlob:
        case dtMemo:
        case dtWideMemo:
            return ReferenceSize;
        default:
            return 8;
    }
}

// A record set over rows held in memory. It describes its columns and fetches its rows block by
// block the way a provider does: a block of FetchRows slots, the rows written into the slots'
// records, the block handed to CreateBlockStruct. With FetchAll off only the first block is read
// at open and navigation fetches the rest.
class TTestRecordSet : public TMemData {
public:
    TTestRecordSet(std::vector<TColumn> columns, std::vector<TRow> rows, int fetchRows = 25,
                   bool fetchAll = true)
        : Columns(std::move(columns)),
          Rows(std::move(rows)),
          FetchRows(fetchRows),
          FetchAll(fetchAll) {}

    ~TTestRecordSet() override { Close(); }

    bool Fetch(bool /*fetchBack*/) override {
        if (FNoData || FNext >= Rows.size()) {
            return false;
        }
        ++Fetches;
        PBlockHeader block = BlockMan.AllocBlock(std::uint16_t(FetchRows));
        int count = 0;
        try {
            for (; count < FetchRows && FNext < Rows.size(); ++count, ++FNext) {
                if (FailAtRow == int(FNext)) {
                    throw std::runtime_error("fetch failed");
                }
                WriteRow(Rows[FNext], ItemRecord(BlockMan.BlockItem(block, count)));
            }
        } catch (...) {
            // The rows already converted still own their values.
            for (int i = 0; i < count; ++i) {
                FreeComplexFields(ItemRecord(BlockMan.BlockItem(block, i)), true);
            }
            BlockMan.FreeBlock(block);
            FNoData = true;
            throw;
        }
        CreateBlockStruct(block, count, false);
        return true;
    }

    // Everything is fetched before the position moves behind the last record.
    void SetToEnd() override {
        while (Fetch(false)) {
        }
        TMemData::SetToEnd();
    }

    bool NeedConvertEOL() const override { return ConvertEOL; }

    // Test access to the storage's internals.
    const TBlockManager& Blocks() const { return BlockMan; }
    PItemHeader First() const { return FirstItem; }
    PItemHeader Current() const { return CurrentItem; }
    bool NoData() const { return FNoData; }
    int BlockCount() const {
        int count = 0;
        for (PBlockHeader block = BlockMan.FirstBlock; block; block = block->Next) {
            ++count;
        }
        return count;
    }
    int FreeItemCount() const {
        int count = 0;
        for (PItemHeader item = BlockMan.FirstFree; item; item = item->Next) {
            ++count;
        }
        return count;
    }
    // The stored record of the current item.
    std::uint8_t* CurrentRecord() const { return ItemRecord(CurrentItem); }

    std::vector<TColumn> Columns;
    std::vector<TRow> Rows;
    int FetchRows;
    bool FetchAll;
    bool ConvertEOL = false;
    int FailAtRow = -1;
    int Fetches = 0;

protected:
    void InternalInitFields() override {
        for (std::size_t i = 0; i < Columns.size(); ++i) {
            const TColumn& column = Columns[i];
            auto field = GetFieldDescType();
            field->FName = column.Name;
            field->FActualName = column.Name;
            field->FDataType = column.DataType;
            field->FLength = IsBlobDataType(column.DataType) ? 0 : column.Length;
            field->FSize = FieldSize(column.DataType, column.Length);
            field->FFieldNo = std::uint16_t(i + 1);
            field->FActualFieldNo = std::uint16_t(i);
            field->FFixed = column.Fixed;
            field->FReadOnly = column.ReadOnly;
            FFields.Add(std::move(field));
        }
    }

    void InternalOpen() override {
        FNext = 0;
        InitFields();
        if (FetchAll) {
            while (Fetch(false)) {
            }
        } else {
            Fetch(false);
        }
    }

private:
    template <typename T>
    static void Put(std::uint8_t* at, T value) {
        std::memcpy(at, &value, sizeof value);
    }

    void WriteRow(const TRow& row, std::uint8_t* record) {
        for (int i = 0; i < GetFieldCount(); ++i) {
            const TFieldDesc& field = FFields[i];
            std::uint8_t* slot = record + field.FOffset;
            const TValue& value = row[std::size_t(i)];
            const bool isNull = std::holds_alternative<TNull>(value);
            record[DataSize() + i] = isNull ? 1 : 0;
            if (isNull) {
                if (IsBlobDataType(field.FDataType)) {
                    Put<void*>(slot, new TBlob(field.FDataType != dtBlob));
                } else if (IsHeapDataType(field.FDataType)) {
                    Put<void*>(slot, nullptr);
                }
                continue;
            }
            WriteValue(field, value, slot);
        }
    }

    void WriteValue(const TFieldDesc& field, const TValue& value, std::uint8_t* slot) {
        const std::size_t length = field.FLength;
        switch (field.FDataType) {
            case dtBoolean:
                Put<std::int16_t>(slot, std::get<std::int64_t>(value) ? -1 : 0);
                break;
            case dtInt8:
            case dtInt16:
            case dtUInt8:
            case dtUInt16:
            case dtInt32:
            case dtUInt32:
            case dtInt64: {
                const std::int64_t number = std::get<std::int64_t>(value);
                std::memcpy(slot, &number, std::size_t(field.FSize));
                break;
            }
            case dtFloat:
            case dtDate:
            case dtTime:
            case dtDateTime:
                Put(slot, std::get<double>(value));
                break;
            case dtString:
            case dtBytes: {
                const std::string& bytes = std::get<std::string>(value);
                const std::size_t size = std::min(bytes.size(), length);
                std::memset(slot, 0, length + 1);
                std::memcpy(slot, bytes.data(), size);
                break;
            }
            case dtVarBytes: {
                const std::string& bytes = std::get<std::string>(value);
                const auto size = std::uint16_t(std::min(bytes.size(), length));
                Put(slot, size);
                std::memcpy(slot + 2, bytes.data(), size);
                break;
            }
            case dtWideString: {
                const platform::String& text = std::get<platform::String>(value);
                const std::size_t size = std::min(text.size(), length);
                std::memcpy(slot, text.data(), size * 2);
                Put(slot + size * 2, char16_t(0));
                break;
            }
            case dtExtString: {
                const std::string& text = std::get<std::string>(value);
                Put(slot, FStringHeap.AllocStr(text.c_str(), false, std::int32_t(text.size())));
                break;
            }
            case dtExtWideString: {
                const platform::String& text = std::get<platform::String>(value);
                Put(slot, FStringHeap.AllocWideStr(text.c_str(), false, std::int32_t(text.size())));
                break;
            }
            case dtExtVarBytes: {
                const std::string& bytes = std::get<std::string>(value);
                void* buf = FStringHeap.NewBuf(std::int32_t(bytes.size() + 2));
                Put(static_cast<std::uint8_t*>(buf), std::uint16_t(bytes.size()));
                std::memcpy(static_cast<std::uint8_t*>(buf) + 2, bytes.data(), bytes.size());
                Put(slot, buf);
                break;
            }
            case dtBlob: {
                const std::string& bytes = std::get<std::string>(value);
                auto* blob = new TBlob(false);
                blob->Write(0, bytes.size(), bytes.data());
                Put<void*>(slot, blob);
                break;
            }
            case dtMemo:
            case dtWideMemo: {
                const platform::String& text = std::get<platform::String>(value);
                auto* blob = new TBlob(true);
                blob->Write(0, text.size() * 2, text.data());
                Put<void*>(slot, blob);
                break;
            }
            default:
                throw std::logic_error("type the fixture cannot write");
        }
    }

    std::size_t FNext = 0;
};

}  // namespace storage_test
