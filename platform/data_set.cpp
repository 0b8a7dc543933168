#include "platform/data_set.h"

#include <utility>

#include "platform/data_source.h"
#include "platform/field.h"
#include "platform/text.h"

namespace platform {

std::int64_t TStream::Size() {
    const std::int64_t position = Position();
    const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
    // Descendants close themselves: their buffers are theirs to free.
    for (TDataSource* source : std::exchange(FDataSources, {})) {
        source->FDataSet = nullptr;
    }
}

void TDataSet::SetActive(bool value) {
    if (value) {
        OpenCursor();
    } else {
        CloseCursor();
    }
}

void TDataSet::OpenCursor() {
    if (Active()) {
        return;
    }
    InternalOpen();
    try {
        FActive = AllocRecordBuffer();
        FScratch = AllocRecordBuffer();
        FState = TDataSetState::dsBrowse;
        First();
    } catch (...) {
        FState = TDataSetState::dsInactive;
        FreeBuffers();
        InternalClose();
        DestroyFields();
        throw;
    }
    DataEvent(TDataEvent::deUpdateState);
}

void TDataSet::CloseCursor() {
    if (!Active()) {
        return;
    }
    FState = TDataSetState::dsInactive;
    FBof = FEof = true;
    FHasCurrent = false;
    // Linked controls let go of the fields before they go.
    DataEvent(TDataEvent::deUpdateState);
    FreeBuffers();
    InternalClose();
    DestroyFields();
}

void TDataSet::FreeBuffers() noexcept {
    if (FActive) {
        FreeRecordBuffer(FActive);
    }
    if (FScratch) {
        FreeRecordBuffer(FScratch);
    }
    FActive = FScratch = nullptr;
}

bool TDataSet::Step(TGetMode mode) {
    if (GetRecord(FScratch, mode, true) != TGetResult::grOK) {
        return false;
    }
    std::swap(FActive, FScratch);
    FHasCurrent = true;
    return true;
}

void TDataSet::First() {
    InternalFirst();
    FHasCurrent = false;
    const bool found = Step(TGetMode::gmNext);
    FBof = true;
    FEof = !found;
    DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Last() {
    InternalLast();
    FHasCurrent = false;
    const bool found = Step(TGetMode::gmPrior);
    FEof = true;
    FBof = !found;
    DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Next() {
    if (!Active() || FEof) {
        return;
    }
    if (Step(TGetMode::gmNext)) {
        FBof = false;
        DataEvent(TDataEvent::deDataSetScroll);
        return;
    }
    FEof = true;
    // The records ran out: step the cursor back onto the record still shown.
    if (FHasCurrent) {
        GetRecord(FScratch, TGetMode::gmPrior, false);
    }
}

void TDataSet::Prior() {
    if (!Active() || FBof) {
        return;
    }
    if (Step(TGetMode::gmPrior)) {
        FEof = false;
        DataEvent(TDataEvent::deDataSetScroll);
        return;
    }
    FBof = true;
    if (FHasCurrent) {
        GetRecord(FScratch, TGetMode::gmNext, false);
    }
}

std::uint8_t* TDataSet::ActiveBuffer() const noexcept {
    return FHasCurrent ? FActive : nullptr;
}

TField* TDataSet::FindField(std::u16string_view name) const {
    for (const auto& field : FFields) {
        if (AsciiSameText(field->FieldName(), name)) {
            return field.get();
        }
    }
    return nullptr;
}

void TDataSet::CreateFields() {
    for (const TFieldDef& def : FFieldDefs) {
        FFields.push_back(CreateField(*this, def));
    }
}

void TDataSet::DestroyFields() noexcept {
    FFields.clear();
}

void TDataSet::AttachDataSource(TDataSource* source) {
    FDataSources.push_back(source);
}

void TDataSet::DetachDataSource(TDataSource* source) {
    std::erase(FDataSources, source);
}

void TDataSet::DataEvent(TDataEvent event) {
    for (TDataSource* source : FDataSources) {
        source->DataEvent(event);
    }
}

}  // namespace platform
