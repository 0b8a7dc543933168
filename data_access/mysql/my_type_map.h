#pragma once

#include <cstdint>

#include "data_access/data_types.h"
#include "data_access/mysql/my_field_desc.h"
#include "mysql_client/mysql_api.h"

namespace data_access::mysql {

// Column flags of the protocol.
inline constexpr std::uint32_t NOT_NULL_FLAG = 1;
inline constexpr std::uint32_t PRI_KEY_FLAG = 2;
inline constexpr std::uint32_t UNIQUE_KEY_FLAG = 4;
inline constexpr std::uint32_t MULTIPLE_KEY_FLAG = 8;
inline constexpr std::uint32_t UNSIGNED_FLAG = 32;
inline constexpr std::uint32_t BINARY_FLAG = 128;
inline constexpr std::uint32_t ENUM_FLAG = 256;
inline constexpr std::uint32_t AUTO_INCREMENT_FLAG = 512;
inline constexpr std::uint32_t TIMESTAMP_FLAG = 1024;
inline constexpr std::uint32_t SET_FLAG = 2048;
inline constexpr std::uint32_t PART_KEY_FLAG = 16384;

// The character set number of binary strings.
inline constexpr std::int32_t BinaryCharsetNr = 63;

// Database type codes of MySQL columns, as mapping rules name them.
inline constexpr std::uint16_t myBit = 201;
inline constexpr std::uint16_t myTiny = 202;
inline constexpr std::uint16_t myTinyUnsigned = 203;
inline constexpr std::uint16_t mySmall = 204;
inline constexpr std::uint16_t mySmallUnsigned = 205;
inline constexpr std::uint16_t myMedium = 206;
inline constexpr std::uint16_t myMediumUnsigned = 207;
inline constexpr std::uint16_t myInt = 208;
inline constexpr std::uint16_t myIntUnsigned = 209;
inline constexpr std::uint16_t myBigint = 210;
inline constexpr std::uint16_t myBigintUnsigned = 211;
inline constexpr std::uint16_t myFloat = 212;
inline constexpr std::uint16_t myDouble = 213;
inline constexpr std::uint16_t myDecimal = 214;
inline constexpr std::uint16_t myDate = 215;
inline constexpr std::uint16_t myTime = 216;
inline constexpr std::uint16_t myDateTime = 217;
inline constexpr std::uint16_t myTimestamp = 218;
inline constexpr std::uint16_t myYear = 219;
inline constexpr std::uint16_t myChar = 220;
inline constexpr std::uint16_t myVarchar = 221;
inline constexpr std::uint16_t myBinary = 222;
inline constexpr std::uint16_t myVarbinary = 223;
inline constexpr std::uint16_t myTinyBlob = 224;
inline constexpr std::uint16_t myBlob = 225;
inline constexpr std::uint16_t myTinyText = 226;
inline constexpr std::uint16_t myText = 227;
inline constexpr std::uint16_t myEnum = 228;
inline constexpr std::uint16_t mySet = 229;

// Strings of at least this many characters live outside the record unless FlatBuffers is on.
inline constexpr int FlatBufferLimit = 32;
// The length of a string column whose length is not known.
inline constexpr int SizeForFieldsWithZeroLength = 65530;

// What besides the column decides its field type.
struct TMyTypeMapOptions {
    bool UseUnicode = false;
    bool FieldsAsString = false;
    bool EnableBoolean = true;
    bool OptimizedBigInt = false;
    bool BinaryAsString = true;
    bool EnableBCD = false;
    bool EnableFMTBCD = false;
    bool CheckPrecision = false;
    bool LongStrings = true;
    bool FlatBuffers = false;
    // The statement is a SHOW statement: lengths are taken as the server reports them.
    bool IsShowStatement = false;
};

// The column's length in characters.
int GetFieldLengthInChars(const mysql_client::TMYSQL_FIELD& column, bool useUnicode,
                          bool isShowStatement);
// The database type code; 0 for a column no code is given to. An unknown MySQL type is an
// assertion failure "Unknown MySQL datatype (" + code + ")".
std::uint16_t GetDBType(const mysql_client::TMYSQL_FIELD& column);
// The internal data type of the column, and whether it is a fixed-length string.
TDataType MapDataType(const mysql_client::TMYSQL_FIELD& column, int lengthInChars,
                      const TMyTypeMapOptions& options, bool& fixed);
// Size, length and scale by data type; a type without a rule is an assertion failure.
void SetFieldSizeParam(TMySQLFieldDesc& field, int lengthInChars, std::uint32_t decimals);
// Everything the column tells about the field except its position.
void FillFieldDesc(TMySQLFieldDesc& field, const mysql_client::TMYSQL_FIELD& column,
                   const TMyTypeMapOptions& options);

}  // namespace data_access::mysql
