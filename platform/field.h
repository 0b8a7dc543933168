#pragma once

#include <cstddef>
#include <memory>

#include "platform/data_set.h"
#include "platform/text.h"

namespace platform {

// One column of a data set's current record. Each kind knows the native form the data set
// writes for it and the text it shows.
class TField {
public:
    TField(TDataSet& dataSet, const TFieldDef& def);
    virtual ~TField() = default;

    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const String& FieldName() const noexcept { return FFieldName; }
    int FieldNo() const noexcept { return FFieldNo; }
    TFieldType DataType() const noexcept { return FDataType; }
    int Size() const noexcept { return FSize; }
    TDataSet& DataSet() const noexcept { return FDataSet; }

    // No current record, or the value is NULL.
    bool IsNull() const;
    // The value as text; empty for NULL and when there is no current record.
    virtual String AsString() const = 0;

protected:
    // Reads the native value into buffer (DataSize() bytes); false for NULL.
    bool GetData(void* buffer) const;
    // Bytes of the native value.
    virtual std::size_t DataSize() const = 0;

private:
    TDataSet& FDataSet;
    String FFieldName;
    int FFieldNo;
    TFieldType FDataType;
    int FSize;
};

// The field of the kind its definition names.
std::unique_ptr<TField> CreateField(TDataSet& dataSet, const TFieldDef& def);

}  // namespace platform
