#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "data_access/data_types.h"
#include "platform/text.h"

namespace data_access {

enum TParamDirection { pdUnknown = 0, pdInput = 1, pdOutput = 2, pdInputOutput = 3, pdResult = 4 };

// A parameter value as the provider renders it: nothing (NULL), a boolean, an integer, a
// floating-point number (also dates and times as date-time values, currency and BCD), a text, or
// the bytes of a binary value.
using TParamValue =
    std::variant<std::monostate, bool, std::int64_t, double, platform::String, std::string>;

// One parameter of a command, as the scan of its text found it: the name, and the data type and
// value the component gives it before execution. Each occurrence of a name is its own parameter.
struct TParamDesc {
    platform::String Name;
    TDataType DataType = dtUnknown;
    TParamDirection ParamType = pdInput;
    // Declared size in characters or bytes; 0 when not declared.
    int Size = 0;
    TParamValue Value;

    bool IsNull() const noexcept { return std::holds_alternative<std::monostate>(Value); }
    void SetNull() noexcept { Value = std::monostate{}; }
};

// The parameters of a command, in order of appearance.
using TParamDescs = std::vector<TParamDesc>;

}  // namespace data_access
