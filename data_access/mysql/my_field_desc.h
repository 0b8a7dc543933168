#pragma once

#include <cstdint>

#include "data_access/cr_record_set.h"

namespace data_access::mysql {

// A column of a MySQL result: the provider's field descriptor with the column's MySQL type and
// flags.
class TMySQLFieldDesc : public TCRFieldDesc {
public:
    std::uint8_t FMySQLType = 0;
    bool FIsUnsigned = false;
    bool FIsPrimaryKey = false;
    bool FIsBinary = false;
    bool FIsCurrentTimestamp = false;
};

}  // namespace data_access::mysql
