#include <algorithm>
#include <cstring>
#include <string>

#include "data_access/data.h"
#include "platform/date_time.h"
#include "platform/exceptions.h"
#include "platform/text_encoding.h"

namespace data_access {

namespace {

// Record slots are only 2-byte aligned at best: values are copied, never dereferenced.
template <typename T>
T Load(const void* bytes) noexcept {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

template <typename T>
void Store(void* bytes, const T& value) noexcept {
    std::memcpy(bytes, &value, sizeof value);
}

void* LoadRef(const std::uint8_t* slot) noexcept {
    return Load<void*>(slot);
}

TBlob* LoadBlob(const std::uint8_t* slot) noexcept {
    return static_cast<TBlob*>(LoadRef(slot));
}

bool IsStringDataType(TDataType dataType) noexcept {
    return dataType == dtString || dataType == dtExtString || dataType == dtWideString ||
           dataType == dtExtWideString;
}

// Copies zero-terminated text of at most maxSource units into dest, which takes at most limit
// units and a terminator. With convertEOL every LF without a CR before it becomes CR LF, as far
// as the limit allows.
template <typename Char>
void CopyText(const void* source, std::size_t maxSource, void* dest, std::size_t limit,
              bool convertEOL) {
    const auto* from = static_cast<const std::uint8_t*>(source);
    auto* to = static_cast<std::uint8_t*>(dest);
    std::size_t out = 0;
    Char previous = 0;
    for (std::size_t i = 0; i < maxSource && out < limit; ++i) {
        const Char c = Load<Char>(from + i * sizeof(Char));
        if (c == 0) {
            break;
        }
        if (convertEOL && c == Char('\n') && previous != Char('\r')) {
            if (out + 2 > limit) {
                break;
            }
            Store(to + out++ * sizeof(Char), Char('\r'));
        }
        Store(to + out++ * sizeof(Char), c);
        previous = c;
    }
    Store(to + out * sizeof(Char), Char(0));
}

// Drops the trailing blanks of the zero-terminated text in dest.
template <typename Char>
void TrimText(void* dest) {
    auto* bytes = static_cast<std::uint8_t*>(dest);
    std::size_t length = 0;
    std::size_t kept = 0;
    for (Char c; (c = Load<Char>(bytes + length * sizeof(Char))) != 0; ++length) {
        if (c != Char(' ')) {
            kept = length + 1;
        }
    }
    Store(bytes + kept * sizeof(Char), Char(0));
}

// Shows a blob's rollback copy, or not, while it is read.
class TRollbackView {
public:
    TRollbackView(TBlob& blob, bool fromRollback) : FBlob(blob), FSaved(blob.UseRollback()) {
        blob.SetUseRollback(fromRollback);
    }
    ~TRollbackView() { FBlob.SetUseRollback(FSaved); }

    TRollbackView(const TRollbackView&) = delete;
    TRollbackView& operator=(const TRollbackView&) = delete;

private:
    TBlob& FBlob;
    bool FSaved;
};

std::string NameOf(const TFieldDesc& field) {
    return platform::Utf16ToUtf8(field.FName);
}

}  // namespace

void TData::GetField(int fieldNo, std::uint8_t* recBuf, bool& isNull, bool needConvert,
                     void* dest) {
    const TFieldDesc& field = FieldOf(fieldNo);
    isNull = GetNull(fieldNo, recBuf);
    // Nothing of a NULL value is worth copying: a NULL slot holds nil or stale bytes.
    if (isNull) {
        return;
    }
    GetFieldData(field, recBuf + field.FOffset, needConvert, dest);
    if (IsStringDataType(field.FDataType) && (field.FFixed ? FTrimFixedChar : FTrimVarChar)) {
        if (field.FDataType == dtString || field.FDataType == dtExtString) {
            TrimText<char>(dest);
        } else {
            TrimText<char16_t>(dest);
        }
    }
}

void TData::GetFieldData(const TFieldDesc& field, const std::uint8_t* fieldBuf,
                         bool /*needConvert*/, void* dest) {
    const bool convertEOL = NeedConvertEOL();
    const std::size_t length = field.FLength;
    // Heap values are cut to the field's length too: the destination holds no more.
    switch (field.FDataType) {
        case dtString:
            CopyText<char>(fieldBuf, length, dest, length, convertEOL);
            break;
        case dtExtString: {
            const void* text = LoadRef(fieldBuf);
            platform::Assert(text != nullptr);
            CopyText<char>(text, SIZE_MAX, dest, length, convertEOL);
            break;
        }
        case dtWideString:
            CopyText<char16_t>(fieldBuf, length, dest, length, convertEOL);
            break;
        case dtExtWideString: {
            const void* text = LoadRef(fieldBuf);
            static const char16_t empty = 0;
            CopyText<char16_t>(text ? text : &empty, SIZE_MAX, dest, length, convertEOL);
            break;
        }
        case dtDate:
            GetDateFromBuf(fieldBuf, dfDate, dest);
            break;
        case dtTime:
            GetDateFromBuf(fieldBuf, dfTime, dest);
            break;
        case dtDateTime:
            GetDateFromBuf(fieldBuf, dfMSecs, dest);
            break;
        case dtBytes:
            std::memcpy(dest, fieldBuf, length);
            break;
        case dtVarBytes:
            std::memcpy(dest, fieldBuf, sizeof(std::uint16_t) + length);
            break;
        case dtExtVarBytes: {
            const auto* value = static_cast<const std::uint8_t*>(LoadRef(fieldBuf));
            const std::uint16_t size =
                value ? std::min<std::uint16_t>(Load<std::uint16_t>(value), field.FLength) : 0;
            Store(dest, size);
            if (size != 0) {
                std::memcpy(static_cast<std::uint8_t*>(dest) + sizeof size, value + sizeof size,
                            size);
            }
            break;
        }
        case dtFMTBCD:
            std::memcpy(dest, fieldBuf, FMTBCDSize);
            break;
        default:
            std::memcpy(dest, fieldBuf, std::size_t(field.FSize));
            break;
    }
}

void TData::GetDateFromBuf(const std::uint8_t* buf, TDateFormat format, void* dest) {
    const auto value = Load<platform::TDateTime>(buf);
    if (format == dfDateTime) {
        Store(dest, value);
        return;
    }
    const platform::TTimeStamp stamp = platform::DateTimeToTimeStamp(value);
    switch (format) {
        case dfMSecs:
            Store(dest, platform::TimeStampToMSecs(stamp));
            break;
        case dfTime:
            Store(dest, stamp.Time);
            break;
        default:
            Store(dest, stamp.Date);
            break;
    }
}

bool TData::GetNull(int fieldNo, std::uint8_t* recBuf) {
    const TFieldDesc& field = FieldOf(fieldNo);
    std::uint8_t& indicator = recBuf[FDataSize + fieldNo - 1];
    if (indicator != 1) {
        return false;
    }
    // A blob written after the record was marked NULL has a value after all.
    if (IsBlobDataType(field.FDataType)) {
        const TBlob* blob = LoadBlob(recBuf + field.FOffset);
        if (blob && blob->Size() > 0) {
            indicator = 0;
            return false;
        }
    }
    return true;
}

void TData::SetNull(int fieldNo, std::uint8_t* recBuf, bool value) {
    const TFieldDesc& field = FieldOf(fieldNo);
    recBuf[FDataSize + fieldNo - 1] = value ? 1 : 0;
    if (value && IsBlobDataType(field.FDataType)) {
        if (TBlob* blob = LoadBlob(recBuf + field.FOffset)) {
            blob->Clear();
        }
    }
}

TBlob* TData::GetObject(int fieldNo, const std::uint8_t* recBuf) const {
    const TFieldDesc& field = FieldOf(fieldNo);
    if (!IsBlobDataType(field.FDataType)) {
        throw platform::EDatabaseError("Field is not BLOB");
    }
    TBlob* blob = LoadBlob(recBuf + field.FOffset);
    platform::Assert(blob != nullptr, "Object for field " + NameOf(field) + "(" +
                                          std::to_string(fieldNo) + ") = nil");
    return blob;
}

void TData::SetObject(int fieldNo, std::uint8_t* recBuf, TBlob* object) const {
    const TFieldDesc& field = FieldOf(fieldNo);
    if (!IsBlobDataType(field.FDataType)) {
        throw platform::EDatabaseError("Field is not BLOB");
    }
    Store(recBuf + field.FOffset, object);
}

// The ANSI code pages are single-byte: one character is one byte of 8-bit text and two of
// UTF-16, so positions and sizes translate by halving or doubling.
std::size_t TData::ReadBlob(int fieldNo, std::uint8_t* recBuf, std::size_t position,
                            std::size_t count, void* dest, bool fromRollback, bool isUnicode) {
    TBlob& blob = *GetObject(fieldNo, recBuf);
    const TRollbackView view(blob, fromRollback);
    if (blob.IsUnicode() == isUnicode) {
        return blob.Read(position, count, dest);
    }
    const std::size_t unitSize = blob.IsUnicode() ? sizeof(char16_t) : 1;
    const std::size_t wantedUnit = isUnicode ? sizeof(char16_t) : 1;
    const std::size_t start = position / wantedUnit * unitSize;
    const std::size_t size = blob.Size();
    std::size_t stored = start < size ? size - start : 0;
    if (count != 0) {
        stored = std::min(stored, count / wantedUnit * unitSize);
    }
    if (stored == 0) {
        return 0;
    }
    std::string bytes(stored, '\0');
    bytes.resize(blob.Read(start, stored, bytes.data()));
    if (isUnicode) {
        const platform::String text = platform::AnsiToUtf16(bytes);
        std::memcpy(dest, text.data(), text.size() * sizeof(char16_t));
        return text.size() * sizeof(char16_t);
    }
    platform::String text(bytes.size() / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(char16_t));
    const platform::AnsiString ansi = platform::Utf16ToAnsi(text);
    std::memcpy(dest, ansi.data(), ansi.size());
    return ansi.size();
}

std::size_t TData::GetBlobSize(int fieldNo, std::uint8_t* recBuf, bool fromRollback,
                               bool isUnicode) {
    if (GetNull(fieldNo, recBuf)) {
        return 0;
    }
    TBlob& blob = *GetObject(fieldNo, recBuf);
    const TRollbackView view(blob, fromRollback);
    const std::size_t size = blob.Size();
    if (blob.IsUnicode() == isUnicode) {
        return size;
    }
    return isUnicode ? size * sizeof(char16_t) : size / sizeof(char16_t);
}

void TData::CreateComplexFields(std::uint8_t* recBuf, bool withBlob) {
    for (const auto& field : FFields) {
        if (!field->IsDataField()) {
            continue;
        }
        std::uint8_t* slot = recBuf + field->FOffset;
        if (IsBlobDataType(field->FDataType)) {
            if (withBlob) {
                TBlob* blob = new TCompressedBlob(field->FDataType == dtWideMemo);
                blob->EnableRollback();
                Store(slot, blob);
            }
        } else if (IsHeapDataType(field->FDataType)) {
            Store<void*>(slot, nullptr);
        }
    }
}

void TData::FreeComplexFields(std::uint8_t* recBuf, bool withBlob) {
    ReleaseComplexValues(recBuf, withBlob, true);
}

void TData::ReleaseComplexValues(std::uint8_t* recBuf, bool withBlob, bool withHeap) {
    for (const auto& field : FFields) {
        if (!field->IsDataField()) {
            continue;
        }
        std::uint8_t* slot = recBuf + field->FOffset;
        // The slot keeps its reference only while someone else still shares the value.
        if (withBlob && IsBlobDataType(field->FDataType)) {
            if (TBlob* blob = LoadBlob(slot)) {
                const bool last = blob->RefCount() == 1;
                blob->Release();
                if (last) {
                    Store<void*>(slot, nullptr);
                }
            }
        } else if (withHeap && IsHeapDataType(field->FDataType)) {
            if (void* buf = LoadRef(slot)) {
                const bool last = TStringHeap::RefWord(buf) == TStringHeap::RefNull;
                FStringHeap.DisposeBuf(buf);
                if (last) {
                    Store<void*>(slot, nullptr);
                }
            }
        }
    }
}

void TData::AddRefComplexFields(std::uint8_t* recBuf) {
    for (const auto& field : FFields) {
        if (!field->IsDataField()) {
            continue;
        }
        const std::uint8_t* slot = recBuf + field->FOffset;
        if (IsBlobDataType(field->FDataType)) {
            TBlob* blob = LoadBlob(slot);
            platform::Assert(blob != nullptr, "Shared object for " + NameOf(*field) + "=nil");
            blob->AddRef();
        } else if (IsHeapDataType(field->FDataType)) {
            TStringHeap::AddRef(LoadRef(slot));
        }
    }
}

void TData::CopyComplexFields(const std::uint8_t* source, std::uint8_t* dest) {
    for (const auto& field : FFields) {
        if (!field->IsDataField()) {
            continue;
        }
        const std::uint8_t* from = source + field->FOffset;
        std::uint8_t* to = dest + field->FOffset;
        switch (field->FDataType) {
            case dtExtString:
                Store(to, FStringHeap.AllocStr(static_cast<const char*>(LoadRef(from))));
                break;
            case dtExtWideString:
                Store(to, FStringHeap.AllocWideStr(static_cast<const char16_t*>(LoadRef(from))));
                break;
            case dtExtVarBytes: {
                const void* value = LoadRef(from);
                void* copy = nullptr;
                if (value) {
                    const std::int32_t size =
                        std::int32_t(sizeof(std::uint16_t)) + Load<std::uint16_t>(value);
                    copy = FStringHeap.NewBuf(size);
                    std::memcpy(copy, value, std::size_t(size));
                }
                Store(to, copy);
                break;
            }
            case dtBlob:
            case dtMemo:
            case dtWideMemo: {
                TBlob* copy = nullptr;
                if (TBlob* blob = LoadBlob(from)) {
                    TReference<TBlob> made(new TCompressedBlob(blob->IsUnicode()));
                    made->Assign(*blob);
                    made->EnableRollback();
                    copy = made.release();
                }
                Store(to, copy);
                break;
            }
            default:
                break;
        }
    }
}

}  // namespace data_access
