#pragma once

#include <string>
#include <vector>

#include "platform/data_set.h"

namespace platform {

class TDataLink;

// Connects one data set to the data links (controls) that show its current record.
class TDataSource {
public:
    TDataSource() = default;
    ~TDataSource();

    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    TDataSet* DataSet() const noexcept { return FDataSet; }
    void SetDataSet(TDataSet* dataSet);

private:
    friend class TDataSet;
    friend class TDataLink;
    void DataEvent(TDataEvent event);

    TDataSet* FDataSet = nullptr;
    std::vector<TDataLink*> FDataLinks;
};

// A control's side of a data source: told when the data set opens or closes and when its current
// record changes.
class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();

    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const noexcept { return FDataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const noexcept { return FDataSource ? FDataSource->DataSet() : nullptr; }
    // The linked data set exists and is open.
    bool Active() const noexcept { return DataSet() && DataSet()->Active(); }

protected:
    virtual void ActiveChanged() {}
    virtual void RecordChanged() {}

private:
    friend class TDataSource;

    TDataSource* FDataSource = nullptr;
};

// Links one field, by name, of the data set's current record to a control.
class TFieldDataLink : public TDataLink {
public:
    const std::u16string& FieldName() const noexcept { return FFieldName; }
    void SetFieldName(std::u16string name);
    // The linked field while the data set is open and has it, else nullptr.
    TField* Field() const noexcept { return FField; }

protected:
    void ActiveChanged() override;
    void RecordChanged() override;
    // The field or the record it shows changed.
    virtual void DataChanged() {}

private:
    void UpdateField();

    std::u16string FFieldName;
    TField* FField = nullptr;
};

}  // namespace platform
