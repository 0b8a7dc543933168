#include "data_access/mysql/my_type_map.h"

#include <string>

#include "platform/exceptions.h"
#include "platform/text_encoding.h"

namespace data_access::mysql {

using namespace mysql_client;

namespace {

bool IsBlobCode(std::uint8_t myType) noexcept {
    return myType >= MYSQL_TYPE_TINY_BLOB && myType <= MYSQL_TYPE_BLOB;
}

bool IsKnownCode(std::uint8_t myType) noexcept {
    return myType <= MYSQL_TYPE_BIT || myType >= MYSQL_TYPE_NEWDECIMAL;
}

void CheckKnownCode(std::uint8_t myType) {
    if (!IsKnownCode(myType)) {
        platform::AssertionFailed("Unknown MySQL datatype (" + std::to_string(myType) + ")",
                                  __FILE__, __LINE__);
    }
}

TDataType MapDecimal(const TMYSQL_FIELD& column, const TMyTypeMapOptions& options) {
    if (!options.CheckPrecision) {
        return options.EnableFMTBCD ? dtFMTBCD : options.EnableBCD ? dtBCD : dtFloat;
    }
    const std::int64_t digits =
        std::int64_t(column.LengthInBytes) - 1 - (column.Decimals > 0 ? 1 : 0);
    if (options.EnableBCD && digits <= 14 && column.Decimals <= 4) {
        return dtBCD;
    }
    return options.EnableFMTBCD ? dtFMTBCD : dtFloat;
}

// The type of the column by its MySQL type alone.
TDataType BaseDataType(const TMYSQL_FIELD& column, const TMyTypeMapOptions& options) {
    const bool binary = column.Flags & BINARY_FLAG;
    const bool isUnsigned = column.Flags & UNSIGNED_FLAG;
    const bool binaryBytes =
        binary && column.CharsetNr == BinaryCharsetNr && !options.BinaryAsString;
    switch (column.MyType) {
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            return MapDecimal(column, options);
        case MYSQL_TYPE_TINY:
            if (column.LengthInBytes == 1 && options.EnableBoolean) {
                return dtBoolean;
            }
            return isUnsigned ? dtUInt8 : dtInt8;
        case MYSQL_TYPE_SHORT:
            return isUnsigned ? dtUInt16 : dtInt16;
        case MYSQL_TYPE_LONG:
            return isUnsigned ? dtUInt32 : dtInt32;
        case MYSQL_TYPE_INT24:
            return dtInt32;
        case MYSQL_TYPE_LONGLONG:
            return column.LengthInBytes < 12 && options.OptimizedBigInt ? dtInt32 : dtInt64;
        case MYSQL_TYPE_FLOAT:
        case MYSQL_TYPE_DOUBLE:
            return dtFloat;
        case MYSQL_TYPE_NULL:
            return dtString;
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_DATETIME:
            return dtDateTime;
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            return dtDate;
        case MYSQL_TYPE_TIME:
            return dtTime;
        case MYSQL_TYPE_YEAR:
            return dtUInt16;
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_VAR_STRING:
            return binaryBytes ? dtVarBytes : dtString;
        case MYSQL_TYPE_STRING:
            return binaryBytes ? dtBytes : dtString;
        case MYSQL_TYPE_BIT:
            return column.LengthInBytes < 32 && options.OptimizedBigInt ? dtInt32 : dtInt64;
        case MYSQL_TYPE_ENUM:
        case MYSQL_TYPE_SET:
            return dtString;
        default:
            // The blob codes and GEOMETRY.
            return binary ? dtBlob : dtMemo;
    }
}

platform::String DecodeName(const std::string& name, bool useUnicode) {
    return useUnicode ? platform::Utf8ToUtf16(name) : platform::AnsiToUtf16(name);
}

}  // namespace

int GetFieldLengthInChars(const TMYSQL_FIELD& column, bool useUnicode, bool isShowStatement) {
    const int length = int(column.LengthInBytes);
    const bool characters = column.MyType == MYSQL_TYPE_NULL ||
                            column.MyType == MYSQL_TYPE_VARCHAR || column.MyType >= MYSQL_TYPE_ENUM;
    if (!useUnicode || !characters || column.CharsetNr == BinaryCharsetNr || isShowStatement ||
        (column.OrgTable.empty() && length == 1023)) {
        return length;
    }
    return length / 3;
}

std::uint16_t GetDBType(const TMYSQL_FIELD& column) {
    CheckKnownCode(column.MyType);
    const bool isUnsigned = column.Flags & UNSIGNED_FLAG;
    const bool binary = column.Flags & BINARY_FLAG;
    const bool binaryCharset = binary && column.CharsetNr == BinaryCharsetNr;
    const auto signedOr = [isUnsigned](std::uint16_t code) {
        return std::uint16_t(isUnsigned ? code + 1 : code);
    };
    switch (column.MyType) {
        case MYSQL_TYPE_BIT:
            return myBit;
        case MYSQL_TYPE_TINY:
            return signedOr(myTiny);
        case MYSQL_TYPE_SHORT:
            return signedOr(mySmall);
        case MYSQL_TYPE_INT24:
            return signedOr(myMedium);
        case MYSQL_TYPE_LONG:
            return signedOr(myInt);
        case MYSQL_TYPE_LONGLONG:
            return signedOr(myBigint);
        case MYSQL_TYPE_FLOAT:
            return myFloat;
        case MYSQL_TYPE_DOUBLE:
            return myDouble;
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            return myDecimal;
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            return myDate;
        case MYSQL_TYPE_TIME:
            return myTime;
        case MYSQL_TYPE_DATETIME:
            return myDateTime;
        case MYSQL_TYPE_TIMESTAMP:
            return myTimestamp;
        case MYSQL_TYPE_YEAR:
            return myYear;
        case MYSQL_TYPE_STRING:
            if (column.Flags & ENUM_FLAG) {
                return myEnum;
            }
            if (column.Flags & SET_FLAG) {
                return mySet;
            }
            return binaryCharset ? myBinary : myChar;
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_VAR_STRING:
            return binaryCharset ? myVarbinary : myVarchar;
        case MYSQL_TYPE_NULL:
            return myVarchar;
        case MYSQL_TYPE_ENUM:
            return myEnum;
        case MYSQL_TYPE_SET:
            return mySet;
        case MYSQL_TYPE_TINY_BLOB:
            return binary ? myTinyBlob : myTinyText;
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
            if (binary) {
                return column.LengthInBytes > 255 ? myBlob : myTinyBlob;
            }
            return column.LengthInBytes > 255 ? myText : myTinyText;
        default:
            return 0;
    }
}

TDataType MapDataType(const TMYSQL_FIELD& column, int lengthInChars,
                      const TMyTypeMapOptions& options, bool& fixed) {
    CheckKnownCode(column.MyType);
    fixed = column.MyType == MYSQL_TYPE_STRING;
    const bool binary = column.Flags & BINARY_FLAG;
    TDataType dataType;
    if (options.FieldsAsString && !IsBlobCode(column.MyType) &&
        column.MyType != MYSQL_TYPE_GEOMETRY) {
        dataType = dtString;
    } else {
        dataType = BaseDataType(column, options);
        if (options.UseUnicode) {
            if (dataType == dtString) {
                dataType = dtWideString;
            } else if (dataType == dtMemo) {
                dataType = dtWideMemo;
            }
        }
    }
    // A computed text of the largest length is a memo whatever the character set.
    if (column.MyType == MYSQL_TYPE_VAR_STRING && column.LengthInBytes == 65535 &&
        column.Table.empty()) {
        dataType = binary ? dtBlob : dtMemo;
    }
    if (!options.LongStrings && lengthInChars > 256) {
        if (dataType == dtString) {
            dataType = dtMemo;
        } else if (dataType == dtWideString) {
            dataType = dtWideMemo;
        }
    }
    if (lengthInChars == 0 || (!options.FlatBuffers && lengthInChars >= FlatBufferLimit)) {
        switch (dataType) {
            case dtString:
                dataType = dtExtString;
                break;
            case dtBytes:
            case dtVarBytes:
                dataType = dtExtVarBytes;
                break;
            case dtWideString:
                dataType = dtExtWideString;
                break;
            default:
                break;
        }
    }
    return dataType;
}

void SetFieldSizeParam(TMySQLFieldDesc& field, int lengthInChars, std::uint32_t decimals) {
    const auto length = std::uint16_t(lengthInChars);
    switch (field.FDataType) {
        case dtString:
        case dtBytes:
            field.FSize = length + 1;
            field.FLength = length;
            break;
        case dtInt8:
        case dtInt16:
        case dtUInt16:
        case dtBoolean:
        case dtUInt8:
            field.FSize = 2;
            break;
        case dtInt32:
        case dtUInt32:
            field.FSize = 4;
            break;
        case dtInt64:
            field.FSize = 8;
            break;
        case dtFloat:
        case dtBCD:
            field.FSize = 8;
            field.FLength = length;
            field.FScale = std::uint16_t(decimals);
            break;
        case dtFMTBCD:
            field.FSize = std::max(length + 1, FMTBCDSize);
            field.FLength = length;
            field.FScale = std::uint16_t(decimals);
            break;
        case dtDate:
        case dtTime:
        case dtDateTime:
            field.FSize = 8;
            field.FLength = length;
            break;
        case dtVarBytes:
            field.FSize = length + 2;
            field.FLength = length;
            break;
        case dtWideString:
            field.FSize = 2 * length + 2;
            field.FLength = length;
            break;
        case dtExtString:
        case dtExtWideString:
            field.FSize = ReferenceSize;
            field.FLength = length == 0 && field.FMySQLType != MYSQL_TYPE_NULL
                                ? std::uint16_t(SizeForFieldsWithZeroLength)
                                : length;
            break;
        case dtExtVarBytes:
            field.FSize = ReferenceSize;
            field.FLength = length;
            break;
        case dtBlob:
        case dtMemo:
        case dtWideMemo:
            field.FSize = ReferenceSize;
            field.FLength = 0;
            break;
        default:
            platform::AssertionFailed(
                "No record size for data type " + std::to_string(field.FDataType), __FILE__,
                __LINE__);
    }
}

void FillFieldDesc(TMySQLFieldDesc& field, const TMYSQL_FIELD& column,
                   const TMyTypeMapOptions& options) {
    field.FName = DecodeName(column.Name, options.UseUnicode);
    field.FActualName = DecodeName(column.OrgName, options.UseUnicode);
    const int lengthInChars =
        GetFieldLengthInChars(column, options.UseUnicode, options.IsShowStatement);
    field.FDBType = GetDBType(column);
    const bool isDecimal =
        column.MyType == MYSQL_TYPE_DECIMAL || column.MyType == MYSQL_TYPE_NEWDECIMAL;
    field.FDBLength = lengthInChars - (isDecimal && column.Decimals == 0 ? 1 : 0);
    field.FDBScale = std::int32_t(column.Decimals);
    field.FMySQLType = column.MyType;
    field.FDataType = MapDataType(column, lengthInChars, options, field.FFixed);
    if (!IsBlobDataType(field.FDataType)) {
        field.FLength = std::uint16_t(lengthInChars);
    }
    field.FIsUnsigned = column.Flags & UNSIGNED_FLAG;
    field.FSubDataType = dtUnknown;
    field.FReadOnly = column.MyType == MYSQL_TYPE_NULL;
    field.FIsAutoIncrement = column.Flags & AUTO_INCREMENT_FLAG;
    field.FRequired = !field.FIsAutoIncrement && column.MyType != MYSQL_TYPE_TIMESTAMP &&
                      (column.Flags & NOT_NULL_FLAG);
    field.FIsBinary = column.Flags & BINARY_FLAG;
    field.FIsKey =
        column.Flags & (PRI_KEY_FLAG | UNIQUE_KEY_FLAG | MULTIPLE_KEY_FLAG | PART_KEY_FLAG);
    field.FIsPrimaryKey = column.Flags & PRI_KEY_FLAG;
    field.FIsCurrentTimestamp = column.Flags & TIMESTAMP_FLAG;
    SetFieldSizeParam(field, lengthInChars, column.Decimals);
}

}  // namespace data_access::mysql
