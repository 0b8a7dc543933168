#include "data_access/mem_data_set.h"

#include <algorithm>
#include <cstring>

#include "data_access/blob_stream.h"
#include "platform/exceptions.h"
#include "platform/field.h"

namespace data_access {

using platform::TFieldType;

TMemDataSet::TMemDataSet(std::unique_ptr<TMemData> data) : FData(std::move(data)) {}

TMemDataSet::~TMemDataSet() {
    Close();
}

void TMemDataSet::SetData(std::unique_ptr<TMemData> data) {
    platform::Assert(!Active(), "Data set is open");
    FData = std::move(data);
}

TFieldType TMemDataSet::GetFieldType(TDataType dataType) {
    static constexpr TFieldType types[] = {
        TFieldType::ftUnknown,  TFieldType::ftString,     TFieldType::ftShortint,
        TFieldType::ftSmallint, TFieldType::ftInteger,    TFieldType::ftFloat,
        TFieldType::ftDate,     TFieldType::ftTime,       TFieldType::ftDateTime,
        TFieldType::ftWord,     TFieldType::ftBoolean,    TFieldType::ftLargeint,
        TFieldType::ftCurrency, TFieldType::ftBlob,       TFieldType::ftMemo,
        TFieldType::ftADT,      TFieldType::ftReference,  TFieldType::ftArray,
        TFieldType::ftDataSet,  TFieldType::ftVariant,    TFieldType::ftString,
        TFieldType::ftBytes,    TFieldType::ftVarBytes,   TFieldType::ftVarBytes,
        TFieldType::ftLongWord, TFieldType::ftWideString, TFieldType::ftWideString,
        TFieldType::ftBCD,      TFieldType::ftFMTBcd,     TFieldType::ftGuid,
        TFieldType::ftWideMemo, TFieldType::ftTimeStamp,  TFieldType::ftCursor,
        TFieldType::ftSingle,   TFieldType::ftByte,
    };
    static_assert(std::size(types) == dtUInt64);
    platform::Assert(dataType < std::size(types), "Unknown data type");
    return types[dataType];
}

void TMemDataSet::InternalOpen() {
    FData->Open();
    try {
        CreateFieldDefs();
        CreateFields();
    } catch (...) {
        DestroyFields();
        FieldDefs().clear();
        FData->Close();
        throw;
    }
    FNeedAddRef = FData->HasComplexFields();
    FRecInfoOfs = FData->RecordSize() + FData->CalcRecordSize();
    FBookmarkOfs = FRecInfoOfs + int(sizeof(TRecInfo));
    FRecBufSize = FBookmarkOfs + int(sizeof(TRecBookmark));
}

void TMemDataSet::InternalClose() {
    FieldDefs().clear();
    FData->Close();
}

void TMemDataSet::CreateFieldDefs() {
    FieldDefs().clear();
    for (const auto& field : FData->Fields()) {
        if (!field->IsDataField() || field->FHiddenObject) {
            continue;
        }
        platform::TFieldDef def;
        def.Name = field->FName;
        def.DataType = GetFieldType(field->FDataType);
        if (def.DataType == TFieldType::ftUnknown) {
            throw platform::EDatabaseError("Data type is not supported");
        }
        def.FieldNo = field->FFieldNo;
        def.Required = field->FRequired;
        def.ReadOnly = field->FReadOnly;
        def.Hidden = field->FHidden;
        def.Fixed = field->FFixed;
        switch (field->FDataType) {
            case dtString:
            case dtExtString:
            case dtWideString:
            case dtExtWideString:
            case dtGuid:
                def.Size = std::max<int>(field->FLength, 1);
                break;
            case dtBytes:
            case dtVarBytes:
            case dtExtVarBytes:
                def.Size = field->FLength;
                break;
            case dtBCD:
            case dtFMTBCD:
                def.Precision = field->FLength;
                def.Size = field->FScale;
                break;
            case dtInt8:
            case dtInt16:
            case dtInt32:
            case dtInt64:
            case dtUInt8:
            case dtUInt16:
            case dtUInt32:
            case dtFloat:
            case dtSingle:
            case dtCurrency:
                def.Precision = field->FLength;
                break;
            default:
                break;
        }
        FieldDefs().push_back(std::move(def));
    }
}

std::uint8_t* TMemDataSet::AllocRecordBuffer() {
    return new std::uint8_t[std::size_t(FRecBufSize)]();
}

void TMemDataSet::FreeRecordBuffer(std::uint8_t*& buffer) {
    ReleaseBuffer(buffer);
    delete[] buffer;
    buffer = nullptr;
}

TMemDataSet::TRecInfo TMemDataSet::RecInfo(const std::uint8_t* buffer) const noexcept {
    TRecInfo info;
    std::memcpy(&info, buffer + FRecInfoOfs, sizeof info);
    return info;
}

void TMemDataSet::SetRecInfo(std::uint8_t* buffer, const TRecInfo& info) const noexcept {
    std::memcpy(buffer + FRecInfoOfs, &info, sizeof info);
}

void TMemDataSet::ReleaseBuffer(std::uint8_t* buffer) {
    TRecInfo info = RecInfo(buffer);
    if (info.RefComplexFields) {
        info.RefComplexFields = 0;
        SetRecInfo(buffer, info);
        FData->FreeComplexFields(buffer, true);
    }
}

platform::TGetResult TMemDataSet::GetRecord(std::uint8_t* buffer, platform::TGetMode mode,
                                            bool /*doCheck*/) {
    using platform::TGetMode;
    using platform::TGetResult;
    if (mode == TGetMode::gmNext) {
        FData->GetNextRecord(nullptr);
    } else if (mode == TGetMode::gmPrior) {
        FData->GetPriorRecord(nullptr);
    }
    if (mode != TGetMode::gmPrior && FData->GetEOF()) {
        return TGetResult::grEOF;
    }
    if (mode != TGetMode::gmNext && FData->GetBOF()) {
        return TGetResult::grBOF;
    }
    ReleaseBuffer(buffer);
    FData->GetRecord(buffer);
    // No calculated fields are computed here: their area stays empty.
    std::memset(buffer + FData->RecordSize(), 0, std::size_t(FData->CalcRecordSize()));
    TRecInfo info{FData->GetRecordNo(), isUnmodified, 0, 0};
    if (FNeedAddRef) {
        FData->AddRefComplexFields(buffer);
        info.RefComplexFields = 1;
    }
    SetRecInfo(buffer, info);
    const TRecBookmark bookmark = FData->GetBookmark();
    std::memcpy(buffer + FBookmarkOfs, &bookmark, sizeof bookmark);
    return TGetResult::grOK;
}

int TMemDataSet::GetRecNo() {
    const std::uint8_t* buffer = ActiveBuffer();
    return buffer ? RecInfo(buffer).RecordNumber : 0;
}

bool TMemDataSet::GetActiveBookmark(TRecBookmark& bookmark) const {
    const std::uint8_t* buffer = ActiveBuffer();
    if (!buffer) {
        return false;
    }
    std::memcpy(&bookmark, buffer + FBookmarkOfs, sizeof bookmark);
    return true;
}

bool TMemDataSet::GetFieldData(const platform::TField& field, void* buffer) {
    std::uint8_t* record = ActiveBuffer();
    if (!record) {
        return false;
    }
    if (!buffer) {
        return !FData->GetNull(field.FieldNo(), record);
    }
    bool isNull = false;
    FData->GetField(field.FieldNo(), record, isNull, true, buffer);
    return !isNull;
}

std::unique_ptr<platform::TStream> TMemDataSet::CreateBlobStream(const platform::TField& field,
                                                                 platform::TBlobStreamMode mode) {
    return std::make_unique<TBlobStream>(*this, field, mode);
}

}  // namespace data_access
