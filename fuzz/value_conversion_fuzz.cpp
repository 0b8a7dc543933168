// Runs the value converters of the MySQL record set over arbitrary bytes for every internal type
// and column type they serve. The value is copied into an allocation of exactly its size and every
// destination is exactly as large as its slot, so a read or write outside either is a sanitizer
// report. Conversion errors (EConvertError, EDatabaseError, the TIMESTAMP length assertion) are
// the expected answers to malformed values.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data_access/mysql/my_value_conversion.h"
#include "mysql_client/mysql_field_info.h"
#include "platform/exceptions.h"

namespace {

using namespace data_access;
using namespace data_access::mysql;
using namespace mysql_client;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

constexpr TDataType IntegerTypes[] = {dtInt8,  dtUInt8,  dtInt16, dtUInt16,
                                      dtInt32, dtUInt32, dtInt64, dtBoolean};
constexpr std::int32_t IntegerSizes[] = {2, 2, 2, 2, 4, 4, 8, 2};
constexpr std::uint8_t DateTypes[] = {MYSQL_TYPE_DATE, MYSQL_TYPE_NEWDATE, MYSQL_TYPE_TIME,
                                      MYSQL_TYPE_DATETIME, MYSQL_TYPE_TIMESTAMP};

void Convert(std::uint8_t selector, std::uint8_t parameter, TValueBytes value) {
    switch (selector % 6) {
        case 0: {
            const std::size_t kind = parameter % std::size(IntegerTypes);
            const std::int32_t size = IntegerSizes[kind];
            auto slot = std::make_unique<std::uint8_t[]>(std::size_t(size));
            ConvertInteger(value, IntegerTypes[kind], parameter & 0x80, size, slot.get());
            break;
        }
        case 1: {
            const double result = ConvertToFloat(value);
            (void)result;
            break;
        }
        case 2: {
            const std::int64_t result = ConvertToCurrency(value);
            (void)result;
            break;
        }
        case 3: {
            auto slot = std::make_unique<std::uint8_t[]>(FMTBCDSize);
            ConvertToFMTBCD(value, parameter % 70, (parameter >> 4) % 35, slot.get());
            break;
        }
        case 4: {
            const std::uint8_t myType = DateTypes[parameter % std::size(DateTypes)];
            // Every TIMESTAMP length with a form, and some without.
            const int length = (parameter >> 3) % 28;
            platform::TDateTime result = 0;
            DateTimeFromStr(value, myType, length, u"f", result);
            break;
        }
        default: {
            // A slot of capacity units, from none to more than the value can need.
            const std::size_t capacity = parameter % 40;
            std::vector<char16_t> dest(capacity);
            const bool terminate = selector & 0x80;
            const std::size_t written = Utf8ToWs(value, dest.data(), capacity, terminate);
            Check(written <= capacity && (!terminate || capacity == 0 || written < capacity));
            Check(written <= value.size());
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::vector<std::uint8_t> value(data + 2, data + size);
    try {
        Convert(data[0], data[1], TValueBytes(value.data(), value.size()));
    } catch (const platform::Exception&) {
        // A malformed value is answered with an error.
    }
    return 0;
}
