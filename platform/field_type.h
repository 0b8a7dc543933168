#pragma once

namespace platform {

// The kinds of field a data set can expose.
enum class TFieldType {
    ftUnknown,
    ftString,
    ftWideString,
    ftShortint,
    ftByte,
    ftSmallint,
    ftWord,
    ftInteger,
    ftLongWord,
    ftLargeint,
    ftBoolean,
    ftSingle,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftFMTBcd,
    ftDate,
    ftTime,
    ftDateTime,
    ftTimeStamp,
    ftBytes,
    ftVarBytes,
    ftBlob,
    ftMemo,
    ftWideMemo,
    ftGuid,
    ftVariant,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftCursor,
};

}  // namespace platform
