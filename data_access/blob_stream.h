#pragma once

#include <cstdint>

#include "platform/data_set.h"
#include "platform/field.h"
#include "platform/stream.h"

namespace data_access {

class TMemDataSet;

// A stream over the blob of one field of the data set's current record buffer. A wide memo field
// reads the text as UTF-16, any other blob field as 8-bit bytes. Without a current record the
// stream is closed: it reads nothing and its size is 0.
//
// The data set only browses, so a stream for writing cannot be opened: creating one raises
// "Field '%s' cannot be modified" for a read-only field and "Dataset not in edit or insert mode"
// for any other.
class TBlobStream : public platform::TStream {
public:
    TBlobStream(TMemDataSet& dataSet, const platform::TField& field,
                platform::TBlobStreamMode mode);

    std::size_t Read(void* buffer, std::size_t count) override;
    // Raise "Dataset not in edit or insert mode".
    std::size_t Write(const void* buffer, std::size_t count) override;
    void SetSize(std::int64_t size) override;
    std::int64_t Seek(std::int64_t offset, platform::TSeekOrigin origin) override;

private:
    std::int64_t BlobSize();

    TMemDataSet& FDataSet;
    std::uint8_t* FBuffer;
    int FFieldNo;
    bool FUnicode;
    bool FOpened = false;
    std::int64_t FPosition = 0;
};

}  // namespace data_access
