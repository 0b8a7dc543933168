#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "data_access/blob.h"
#include "data_access/data_types.h"
#include "data_access/field_desc.h"
#include "data_access/string_heap.h"
#include "platform/text.h"

namespace data_access {

// The forms GetDateFromBuf gives a stored date-time value in.
enum TDateFormat { dfMSecs, dfDateTime, dfTime, dfDate };

// The records of one result and their field descriptors: the record layout, reading values out
// of a record buffer, and the life of the values a record keeps outside itself (heap strings and
// blobs). Where the records live and how they are walked is the descendants' business.
//
// A record buffer holds RecordSize() bytes: the data fields at their offsets, then one indicator
// byte per field (1: NULL), then filler to keep the size odd.
class TData {
public:
    TData();
    virtual ~TData();

    TData(const TData&) = delete;
    TData& operator=(const TData&) = delete;

    // Life cycle. A failing Open frees whatever it had stored. Close frees the records; the
    // descriptors go with them unless the storage is prepared.
    virtual void Open();
    virtual void Close();
    virtual void Reopen();
    virtual void Prepare();
    virtual void UnPrepare();
    bool Active() const noexcept { return FActive; }
    bool Prepared() const noexcept { return FPrepared; }

    // Fields: described by the provider, made unique by name and laid out in the record.
    virtual void InitFields();
    virtual void ExplicitInitFields() { InitFields(); }
    void ClearFields() noexcept { FFields.Clear(); }
    TFieldDescs& Fields() noexcept { return FFields; }
    int GetFieldCount() const noexcept { return FFields.Count(); }
    TFieldDesc* FindField(platform::StringView name) const { return FFields.FindField(name); }
    TFieldDesc& FieldByName(platform::StringView name) const { return FFields.FieldByName(name); }

    std::int32_t RecordSize() const noexcept { return FRecordSize; }
    std::int32_t DataSize() const noexcept { return FDataSize; }
    std::int32_t CalcRecordSize() const noexcept { return FCalcRecordSize; }
    bool HasComplexFields() const noexcept { return FHasComplexFields; }
    TStringHeap& StringHeap() noexcept { return FStringHeap; }

    // Trailing blanks of string values read: of fixed-length ones, and of the others.
    void SetTrimFixedChar(bool value) noexcept { FTrimFixedChar = value; }
    void SetTrimVarChar(bool value) noexcept { FTrimVarChar = value; }
    // Off: the provider describes the fields itself before laying them out.
    void SetAutoInitFields(bool value) noexcept { FAutoInitFields = value; }

    // Record buffers of RecordSize() bytes, uninitialised.
    std::unique_ptr<std::uint8_t[]> AllocRecBuf() const;
    // Every field NULL, every complex slot nil.
    void InitRecord(std::uint8_t* recBuf) const;

    // Navigation over the stored records; a nil buffer only moves.
    virtual void SetToBegin() = 0;
    virtual void SetToEnd() = 0;
    virtual bool GetBOF() const { return FBOF; }
    virtual bool GetEOF() const { return FEOF; }
    virtual void GetRecord(std::uint8_t* recBuf) = 0;
    virtual void GetNextRecord(std::uint8_t* recBuf) = 0;
    virtual void GetPriorRecord(std::uint8_t* recBuf) = 0;
    virtual int GetRecordCount() const { return FRecordCount; }
    virtual int GetRecordNo() const = 0;
    virtual void SetRecordNo(int recordNo) = 0;

    // Values. GetField reads field fieldNo (1-based) of the record: isNull tells whether it is
    // NULL, and a value that is not NULL (and any value that lives in the record) is written to
    // dest in the form GetFieldData gives. needConvert asks for the form the field is mapped to;
    // the storage's own forms need no mapping.
    virtual void GetField(int fieldNo, std::uint8_t* recBuf, bool& isNull, bool needConvert,
                          void* dest);
    virtual void GetFieldData(const TFieldDesc& field, const std::uint8_t* fieldBuf,
                              bool needConvert, void* dest);
    // Reading a NULL blob that holds data clears its indicator, so the record may change.
    virtual bool GetNull(int fieldNo, std::uint8_t* recBuf);
    virtual void SetNull(int fieldNo, std::uint8_t* recBuf, bool value);
    // The stored date-time value (a double) in the form asked for.
    static void GetDateFromBuf(const std::uint8_t* buf, TDateFormat format, void* dest);

    // Blob values. GetObject raises "Field is not BLOB" for another type and is an assertion
    // failure for a nil reference. isUnicode tells the form the caller wants: UTF-16, or 8-bit
    // text in the ANSI code page.
    TBlob* GetObject(int fieldNo, const std::uint8_t* recBuf) const;
    void SetObject(int fieldNo, std::uint8_t* recBuf, TBlob* object) const;
    std::size_t ReadBlob(int fieldNo, std::uint8_t* recBuf, std::size_t position, std::size_t count,
                         void* dest, bool fromRollback, bool isUnicode);
    std::size_t GetBlobSize(int fieldNo, std::uint8_t* recBuf, bool fromRollback, bool isUnicode);

    // The values a record keeps outside itself. A stored record owns one reference of each; a
    // record buffer that shows it takes references of its own (AddRefComplexFields) and drops
    // them again (FreeComplexFields). withBlob leaves the blob slots alone when off.
    virtual void CreateComplexFields(std::uint8_t* recBuf, bool withBlob);
    void FreeComplexFields(std::uint8_t* recBuf, bool withBlob);
    void AddRefComplexFields(std::uint8_t* recBuf);
    // dest holds a byte copy of source; its complex slots get values of their own.
    void CopyComplexFields(const std::uint8_t* source, std::uint8_t* dest);

protected:
    virtual void InternalPrepare() {}
    virtual void InternalUnPrepare() {}
    virtual void InternalOpen() {}
    virtual void InternalClose() {}
    virtual void InitData() = 0;
    virtual void FreeData() = 0;
    // The provider adds its descriptors.
    virtual void InternalInitFields() {}
    virtual std::unique_ptr<TFieldDesc> GetFieldDescType() const {
        return std::make_unique<TFieldDesc>();
    }
    // One indicator byte per field.
    virtual int GetIndicatorSize() const { return FFields.Count(); }
    // Strings are read with every lone LF made CR LF (the connection's ConvertEOL option).
    virtual bool NeedConvertEOL() const { return false; }

    // Gives each field a display name of its own: equal names get "_" and a number.
    void InitAliases();
    TFieldDesc& FieldOf(int fieldNo) const;
    // Releases the blobs, and with withHeap the heap strings, of a stored record.
    void ReleaseComplexValues(std::uint8_t* recBuf, bool withBlob, bool withHeap);

    TFieldDescs FFields;
    TStringHeap FStringHeap;
    std::int32_t FRecordSize = 0;
    std::int32_t FCalcRecordSize = 0;
    std::int32_t FDataSize = 0;
    std::int32_t FCalcDataSize = 0;
    bool FAutoInitFields = true;
    bool FTrimFixedChar = false;
    bool FTrimVarChar = false;
    bool FHasComplexFields = false;
    bool FHasBlobFields = false;
    std::int32_t FRecordNoOffset = 0;
    std::int32_t FRecordCount = 0;
    bool FBOF = true;
    bool FEOF = true;
    bool FActive = false;
    bool FPrepared = false;
};

// The separator of the numbers InitAliases appends to equal names.
inline constexpr char16_t UniqueFieldIndexSeparator[] = u"_";

}  // namespace data_access
