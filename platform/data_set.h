#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/field_type.h"
#include "platform/stream.h"

namespace platform {

class TDataSet;
class TDataSource;
class TField;

enum class TDataSetState { dsInactive, dsBrowse };
enum class TGetMode { gmCurrent, gmNext, gmPrior };
enum class TGetResult { grOK, grBOF, grEOF, grError };
enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// What a data set tells the data sources linked to it.
enum class TDataEvent { deDataSetChange, deDataSetScroll, deUpdateState };

// The description of one field a data set offers.
struct TFieldDef {
    std::u16string Name;
    TFieldType DataType = TFieldType::ftUnknown;
    int Size = 0;
    int Precision = 0;
    int FieldNo = 0;  // 1-based
    bool Required = false;
    bool ReadOnly = false;
    bool Hidden = false;
    bool Fixed = false;
};

// A set of records with a current one, read through its fields. Descendants supply the records
// (their storage and record buffers); this class keeps the state, the position flags, the fields
// and the data sources that show the current record.
class TDataSet {
public:
    TDataSet();
    virtual ~TDataSet();

    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Active() const noexcept { return FState != TDataSetState::dsInactive; }
    // Opens or closes; descendants may defer the change (while their resource is read).
    virtual void SetActive(bool value);
    TDataSetState State() const noexcept { return FState; }

    void First();
    void Next();
    void Prior();
    void Last();
    bool Bof() const noexcept { return FBof; }
    bool Eof() const noexcept { return FEof; }
    bool IsEmpty() const noexcept { return FBof && FEof; }
    int RecordCount() { return GetRecordCount(); }
    int RecNo() { return GetRecNo(); }

    std::vector<TFieldDef>& FieldDefs() noexcept { return FFieldDefs; }
    const std::vector<std::unique_ptr<TField>>& Fields() const noexcept { return FFields; }
    // By name, ignoring the case of a to z as every name of the program compares; nullptr when
    // the data set has no such field.
    TField* FindField(std::u16string_view name) const;

    // The record buffer of the current record, nullptr when there is none.
    std::uint8_t* ActiveBuffer() const noexcept;

    // Copies the field's value of the current record into buffer (its native form) and tells
    // whether the value is not NULL; a null buffer only asks the question.
    virtual bool GetFieldData(const TField& field, void* buffer) = 0;
    virtual std::unique_ptr<TStream> CreateBlobStream(const TField& field,
                                                      TBlobStreamMode mode) = 0;

private:
    friend class TDataSource;
    void AttachDataSource(TDataSource* source);
    void DetachDataSource(TDataSource* source);

protected:
    // Opens the records and describes the fields (FieldDefs, then CreateFields).
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual std::uint8_t* AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(std::uint8_t*& buffer) = 0;
    virtual TGetResult GetRecord(std::uint8_t* buffer, TGetMode mode, bool doCheck) = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }

    void OpenCursor();
    void CloseCursor();
    // One field per field definition, in order.
    void CreateFields();
    void DestroyFields() noexcept;
    void DataEvent(TDataEvent event);

private:
    // Moves one record in the direction; false at the end, where the position stays.
    bool Step(TGetMode mode);
    void FreeBuffers() noexcept;

    TDataSetState FState = TDataSetState::dsInactive;
    bool FBof = true;
    bool FEof = true;
    bool FHasCurrent = false;
    std::vector<TFieldDef> FFieldDefs;
    std::vector<std::unique_ptr<TField>> FFields;
    // The current record and the one being fetched; swapped when a move succeeds.
    std::uint8_t* FActive = nullptr;
    std::uint8_t* FScratch = nullptr;
    std::vector<TDataSource*> FDataSources;
};

}  // namespace platform
