#include "data_access/blob_stream.h"

#include <algorithm>

#include "data_access/mem_data_set.h"
#include "platform/exceptions.h"
#include "platform/text_encoding.h"

namespace data_access {

namespace {

[[noreturn]] void RaiseNotEditing() {
    throw platform::EDatabaseError("Dataset not in edit or insert mode");
}

}  // namespace

TBlobStream::TBlobStream(TMemDataSet& dataSet, const platform::TField& field,
                         platform::TBlobStreamMode mode)
    : FDataSet(dataSet),
      FBuffer(dataSet.ActiveBuffer()),
      FFieldNo(field.FieldNo()),
      FUnicode(field.DataType() == platform::TFieldType::ftWideMemo) {
    if (!FBuffer) {
        return;
    }
    if (mode != platform::TBlobStreamMode::bmRead) {
        if (dataSet.Data().Fields()[FFieldNo - 1].FReadOnly) {
            throw platform::EDatabaseError("Field '" + platform::Utf16ToUtf8(field.FieldName()) +
                                           "' cannot be modified");
        }
        RaiseNotEditing();
    }
    FOpened = true;
}

std::int64_t TBlobStream::BlobSize() {
    return FOpened ? std::int64_t(FDataSet.Data().GetBlobSize(FFieldNo, FBuffer, false, FUnicode))
                   : 0;
}

std::size_t TBlobStream::Read(void* buffer, std::size_t count) {
    if (!FOpened) {
        return 0;
    }
    const std::int64_t left = BlobSize() - FPosition;
    if (left <= 0 || count == 0) {
        return 0;
    }
    count = std::min(count, std::size_t(left));
    const std::size_t read = FDataSet.Data().ReadBlob(FFieldNo, FBuffer, std::size_t(FPosition),
                                                      count, buffer, false, FUnicode);
    FPosition += std::int64_t(read);
    return read;
}

std::size_t TBlobStream::Write(const void* /*buffer*/, std::size_t /*count*/) {
    RaiseNotEditing();
}

void TBlobStream::SetSize(std::int64_t /*size*/) {
    RaiseNotEditing();
}

std::int64_t TBlobStream::Seek(std::int64_t offset, platform::TSeekOrigin origin) {
    switch (origin) {
        case platform::TSeekOrigin::soBeginning:
            FPosition = offset;
            break;
        case platform::TSeekOrigin::soCurrent:
            FPosition += offset;
            break;
        case platform::TSeekOrigin::soEnd:
            FPosition = BlobSize() + offset;
            break;
    }
    return FPosition;
}

}  // namespace data_access
