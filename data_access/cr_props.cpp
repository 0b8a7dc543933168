#include "data_access/cr_props.h"

#include <limits>

#include "platform/exceptions.h"
#include "platform/format.h"

namespace data_access {

namespace {

[[noreturn]] void WrongKind(const char* wanted) {
    throw platform::EConvertError(platform::Format("Property value is not %s", wanted));
}

}  // namespace

bool TPropValue::AsBoolean() const {
    if (const bool* value = std::get_if<bool>(&FValue)) {
        return *value;
    }
    WrongKind("a boolean");
}

std::int64_t TPropValue::AsLargeInt() const {
    if (const std::int64_t* value = std::get_if<std::int64_t>(&FValue)) {
        return *value;
    }
    if (const bool* value = std::get_if<bool>(&FValue)) {
        return *value ? 1 : 0;
    }
    WrongKind("an integer");
}

std::int32_t TPropValue::AsInteger() const {
    const std::int64_t value = AsLargeInt();
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        WrongKind("a 32-bit integer");
    }
    return std::int32_t(value);
}

const platform::String& TPropValue::AsString() const {
    if (const platform::String* value = std::get_if<platform::String>(&FValue)) {
        return *value;
    }
    WrongKind("a text");
}

void UnknownProperty(int prop, const char* file, int line) {
    platform::AssertionFailed(platform::Format("Unknown property %d", prop), file, line);
}

}  // namespace data_access
