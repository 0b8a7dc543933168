#include "data_access/data.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "data_access/block_manager.h"
#include "platform/exceptions.h"
#include "platform/format_settings.h"

namespace data_access {

TData::TData() = default;

TData::~TData() = default;

void TData::Open() {
    if (FActive) {
        return;
    }
    try {
        InitData();
        InternalOpen();
    } catch (...) {
        FreeData();
        throw;
    }
    FActive = true;
}

void TData::Close() {
    // The records go even when the provider fails to close its side.
    struct TRelease {
        TData& Data;
        ~TRelease() {
            Data.FActive = false;
            Data.FreeData();
            if (Data.FAutoInitFields && !Data.FPrepared) {
                Data.ClearFields();
            }
        }
    } release{*this};
    InternalClose();
}

void TData::Reopen() {
    Close();
    Open();
}

void TData::Prepare() {
    if (!FPrepared) {
        InternalPrepare();
        FPrepared = true;
    }
}

void TData::UnPrepare() {
    if (!FPrepared) {
        return;
    }
    FPrepared = false;
    InternalUnPrepare();
    if (!FActive && FAutoInitFields) {
        ClearFields();
    }
}

void TData::InitFields() {
    if (FAutoInitFields) {
        ClearFields();
        InternalInitFields();
        InitAliases();
    }
    FDataSize = 0;
    FHasComplexFields = false;
    FHasBlobFields = false;
    for (const auto& field : FFields) {
        if (!field->IsDataField()) {
            continue;
        }
        // UTF-16 text is read in place, so it starts at an even offset.
        if (field->FDataType == dtWideString && FDataSize % 2 != 0) {
            ++FDataSize;
        }
        field->FOffset = FDataSize;
        FDataSize += field->FSize;
        FHasComplexFields = FHasComplexFields || IsComplexDataType(field->FDataType);
        FHasBlobFields = FHasBlobFields || IsBlobDataType(field->FDataType);
    }
    FRecordSize = AlignRecordSize(FDataSize + GetIndicatorSize());

    // Calculated values follow the record in the data set's buffers, laid out the same way.
    FCalcDataSize = 0;
    for (const auto& field : FFields) {
        if (field->FFieldDescKind != fdkCalculated || field->FParentField) {
            continue;
        }
        if (field->FDataType == dtWideString && (FRecordSize + FCalcDataSize) % 2 != 0) {
            ++FCalcDataSize;
        }
        field->FOffset = FRecordSize + FCalcDataSize;
        FCalcDataSize += field->FSize;
    }
    FCalcRecordSize = FCalcDataSize != 0 ? AlignRecordSize(FCalcDataSize) : 0;
}

void TData::InitAliases() {
    std::vector<TFieldDesc*> sorted;
    for (const auto& field : FFields) {
        if (!field->FParentField) {
            field->FReserved = false;
            sorted.push_back(field.get());
        }
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](TFieldDesc* a, TFieldDesc* b) {
        const int order = platform::AsciiCompareText(a->FName, b->FName);
        return order != 0 ? order < 0 : a->FFieldNo < b->FFieldNo;
    });
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        if (platform::AsciiSameText(sorted[i - 1]->FName, sorted[i]->FName)) {
            sorted[i - 1]->FReserved = sorted[i]->FReserved = true;
        }
    }

    const platform::String separator = UniqueFieldIndexSeparator;
    const auto numbered = [&](const platform::String& name, int n) {
        return name + separator + platform::IntToStr(n);
    };
    int n = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        TFieldDesc& field = *sorted[i];
        if (!field.FReserved && !field.FName.empty()) {
            n = 0;
            continue;
        }
        // A new group of equal names starts counting again.
        if (n > 1) {
            const platform::String& previous = sorted[i - 1]->FName;
            const platform::String suffix = separator + platform::IntToStr(n - 1);
            const bool sameGroup =
                previous.size() >= suffix.size() &&
                previous.compare(previous.size() - suffix.size(), suffix.size(), suffix) == 0 &&
                platform::AsciiSameText(
                    platform::StringView(previous).substr(0, previous.size() - suffix.size()),
                    field.FName);
            if (!sameGroup) {
                n = 0;
            }
        }
        if (n != 0 || field.FName.empty()) {
            platform::String name = numbered(field.FName, n);
            while (FindField(name)) {
                name = numbered(field.FName, ++n);
            }
            field.FName = std::move(name);
        }
        ++n;
    }
}

TFieldDesc& TData::FieldOf(int fieldNo) const {
    platform::Assert(fieldNo >= 1 && fieldNo <= FFields.Count());
    return FFields[fieldNo - 1];
}

std::unique_ptr<std::uint8_t[]> TData::AllocRecBuf() const {
    return std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(FRecordSize));
}

void TData::InitRecord(std::uint8_t* recBuf) const {
    if (FHasComplexFields) {
        std::memset(recBuf, 0, std::size_t(FRecordSize));
    }
    std::memset(recBuf + FDataSize, 1, std::size_t(GetIndicatorSize()));
}

}  // namespace data_access
