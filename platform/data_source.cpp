#include "platform/data_source.h"

#include <algorithm>
#include <utility>

namespace platform {

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
    for (TDataLink* link : std::exchange(FDataLinks, {})) {
        link->FDataSource = nullptr;
    }
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == FDataSet) {
        return;
    }
    if (FDataSet) {
        FDataSet->DetachDataSource(this);
    }
    FDataSet = dataSet;
    if (FDataSet) {
        FDataSet->AttachDataSource(this);
    }
    DataEvent(TDataEvent::deUpdateState);
}

void TDataSource::DataEvent(TDataEvent event) {
    // A link may detach itself while it is told.
    const std::vector<TDataLink*> links = FDataLinks;
    for (TDataLink* link : links) {
        if (event == TDataEvent::deUpdateState) {
            link->ActiveChanged();
        } else {
            link->RecordChanged();
        }
    }
}

TDataLink::~TDataLink() {
    if (FDataSource) {
        std::erase(FDataSource->FDataLinks, this);
    }
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == FDataSource) {
        return;
    }
    if (FDataSource) {
        std::erase(FDataSource->FDataLinks, this);
    }
    FDataSource = source;
    if (FDataSource) {
        FDataSource->FDataLinks.push_back(this);
    }
    ActiveChanged();
}

void TFieldDataLink::SetFieldName(std::u16string name) {
    if (name == FFieldName) {
        return;
    }
    FFieldName = std::move(name);
    UpdateField();
}

void TFieldDataLink::UpdateField() {
    FField = Active() && !FFieldName.empty() ? DataSet()->FindField(FFieldName) : nullptr;
    DataChanged();
}

void TFieldDataLink::ActiveChanged() {
    UpdateField();
}

void TFieldDataLink::RecordChanged() {
    DataChanged();
}

}  // namespace platform
