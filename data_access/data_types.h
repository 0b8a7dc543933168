#pragma once

#include <cstdint>

namespace data_access {

// The internal data type of a field: how its value is stored in a record. The codes are fixed;
// providers choose them for their columns and the data set maps them to field types.
using TDataType = std::uint16_t;

inline constexpr TDataType dtUnknown = 0;
inline constexpr TDataType dtString = 1;
inline constexpr TDataType dtInt8 = 2;
inline constexpr TDataType dtInt16 = 3;
inline constexpr TDataType dtSmallint = dtInt16;
inline constexpr TDataType dtInt32 = 4;
inline constexpr TDataType dtInteger = dtInt32;
inline constexpr TDataType dtFloat = 5;
inline constexpr TDataType dtDate = 6;
inline constexpr TDataType dtTime = 7;
inline constexpr TDataType dtDateTime = 8;
inline constexpr TDataType dtUInt16 = 9;
inline constexpr TDataType dtWord = dtUInt16;
inline constexpr TDataType dtBoolean = 10;
inline constexpr TDataType dtInt64 = 11;
inline constexpr TDataType dtLargeint = dtInt64;
inline constexpr TDataType dtCurrency = 12;
inline constexpr TDataType dtBlob = 13;
inline constexpr TDataType dtMemo = 14;
inline constexpr TDataType dtObject = 15;
inline constexpr TDataType dtReference = 16;
inline constexpr TDataType dtArray = 17;
inline constexpr TDataType dtTable = 18;
inline constexpr TDataType dtVariant = 19;
inline constexpr TDataType dtExtString = 20;
inline constexpr TDataType dtBytes = 21;
inline constexpr TDataType dtVarBytes = 22;
inline constexpr TDataType dtExtVarBytes = 23;
inline constexpr TDataType dtUInt32 = 24;
inline constexpr TDataType dtLongWord = dtUInt32;
inline constexpr TDataType dtWideString = 25;
inline constexpr TDataType dtExtWideString = 26;
inline constexpr TDataType dtBCD = 27;
inline constexpr TDataType dtFMTBCD = 28;
inline constexpr TDataType dtGuid = 29;
inline constexpr TDataType dtWideMemo = 30;
inline constexpr TDataType dtSQLTimeStamp = 31;
inline constexpr TDataType dtCursor = 32;
inline constexpr TDataType dtSingle = 33;
inline constexpr TDataType dtUInt8 = 34;
inline constexpr TDataType dtUInt64 = 35;

// Bytes of a record slot that refers to a value outside the record (a heap string or a blob).
inline constexpr int ReferenceSize = sizeof(void*);

// The bytes of a dtFMTBCD value.
inline constexpr int FMTBCDSize = 34;

// Blob, memo and wide memo values: blob objects.
constexpr bool IsBlobDataType(TDataType dataType) noexcept {
    return dataType == dtBlob || dataType == dtMemo || dataType == dtWideMemo;
}

// Values kept in the string heap; their slot holds the buffer's reference or nil.
constexpr bool IsHeapDataType(TDataType dataType) noexcept {
    return dataType == dtExtString || dataType == dtExtWideString || dataType == dtExtVarBytes;
}

// Slots that own something outside the record.
constexpr bool IsComplexDataType(TDataType dataType) noexcept {
    return IsBlobDataType(dataType) || IsHeapDataType(dataType);
}

}  // namespace data_access
