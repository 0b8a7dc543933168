#pragma once

#include <cstdint>
#include <variant>

#include "platform/text.h"

namespace data_access {

// Property numbers: components configure provider objects only through these.
inline constexpr int prUsername = 1;
inline constexpr int prPassword = 2;
inline constexpr int prServer = 4;
inline constexpr int prAutoCommit = 5;
inline constexpr int prRowsProcessed = 13;
inline constexpr int prUniDirectional = 20;
inline constexpr int prFetchRows = 21;
inline constexpr int prFetchAll = 22;
inline constexpr int prRowsFetched = 23;
inline constexpr int prLongStrings = 25;
inline constexpr int prFlatBuffers = 27;
inline constexpr int prIndexFieldNames = 29;
inline constexpr int prCompressBlobMode = 30;
inline constexpr int prDisconnectedMode = 31;
inline constexpr int prDatabase = 38;
inline constexpr int prPort = 39;
inline constexpr int prEnableBCD = 41;
inline constexpr int prEnableFmtBCD = 42;
inline constexpr int prCanReadParams = 43;
inline constexpr int prReadOnly = 44;
inline constexpr int prIsStoredProc = 45;
inline constexpr int prIsSelectParams = 46;
inline constexpr int prLockFetchAll = 47;
inline constexpr int prDefaultSortType = 48;
inline constexpr int prLastInsertId = 49;
inline constexpr int prExtendedFieldsInfo = 51;
inline constexpr int prDefaultValues = 52;
inline constexpr int prFieldsOrigin = 53;
inline constexpr int prRoAfterUpdate = 55;
inline constexpr int prEncryptedFields = 56;
inline constexpr int prHttpUrl = 57;
inline constexpr int prHttpUsername = 58;
inline constexpr int prHttpPassword = 59;
inline constexpr int prProxyHostname = 60;
inline constexpr int prProxyPort = 61;
inline constexpr int prProxyUsername = 62;
inline constexpr int prProxyPassword = 63;

// A property value: a boolean, an integer (kept in 64 bits) or a text. Reading it as another
// kind raises EConvertError, except that a boolean reads as the integer 0 or 1.
class TPropValue {
public:
    TPropValue() = default;
    TPropValue(bool value) : FValue(value) {}
    TPropValue(int value) : FValue(std::int64_t(value)) {}
    TPropValue(std::int64_t value) : FValue(value) {}
    TPropValue(platform::String value) : FValue(std::move(value)) {}
    TPropValue(const char16_t* value) : FValue(platform::String(value)) {}

    bool AsBoolean() const;
    // Raises EConvertError when the value does not fit in 32 bits.
    std::int32_t AsInteger() const;
    std::int64_t AsLargeInt() const;
    const platform::String& AsString() const;

    bool operator==(const TPropValue&) const = default;

private:
    std::variant<bool, std::int64_t, platform::String> FValue = false;
};

// Raises the assertion failure for a property number no class handles; the message carries the
// number.
[[noreturn]] void UnknownProperty(int prop, const char* file = __builtin_FILE(),
                                  int line = __builtin_LINE());

}  // namespace data_access
