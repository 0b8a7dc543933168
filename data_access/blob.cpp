#include "data_access/blob.h"

#include "data_access/compressed_blob_data.h"
#include "platform/exceptions.h"
#include "platform/text_encoding.h"

namespace data_access {

namespace {

// The portion Assign copies at a time.
constexpr std::size_t AssignBufferSize = 65536;

TCompressedBlobData& CompressedData(TCRBlobData* data) {
    auto* compressed = dynamic_cast<TCompressedBlobData*>(data);
    platform::Assert(compressed != nullptr);
    return *compressed;
}

}  // namespace

TBlob::TBlob(bool isUnicode) : TBlob(isUnicode, new TCRBlobData) {}

TBlob::TBlob(bool isUnicode, TCRBlobData* data) : FData(data), FIsUnicode(isUnicode) {}

TBlob::~TBlob() {
    Test = 0;
}

TBlob* TBlob::CreateClone() const {
    return new TBlob(FIsUnicode);
}

TCRBlobData* TBlob::CreateBlobData() const {
    return new TCRBlobData;
}

void TBlob::CheckBlob() const {
    if (Test != btSign) {
        throw platform::Exception("Invalid BLOB");
    }
}

TBlob* TBlob::Clone(bool fromRollback, bool cloneData) {
    TReference<TBlob> clone(CreateClone());
    if (fromRollback) {
        clone->SetData(FRollback.get());
    } else if (cloneData) {
        clone->SetData(Data());
    }
    return clone.release();
}

void TBlob::SetData(TCRBlobData* data) {
    platform::Assert(!FUseRollback && data != nullptr);
    data->AddRef();
    FData.reset(data);
}

void TBlob::PrepareChange() {
    if (FNeedRollback && !FRollback) {
        SaveToRollback();
    }
}

void TBlob::SaveToRollback() {
    if (!FNeedRollback) {
        throw platform::Exception("Blob must be in cached mode");
    }
    // A copy taken earlier gives way; the content is the current one, not the copy shown.
    FUseRollback = false;
    TReference<TCRBlobData> rollback(CreateBlobData());
    FData->CopyTo(*rollback);
    FRollback = std::move(rollback);
}

void TBlob::Commit() noexcept {
    FUseRollback = false;
    FRollback.reset();
}

void TBlob::Cancel() noexcept {
    if (!FRollback) {
        return;
    }
    FUseRollback = false;
    FData = std::move(FRollback);
}

std::size_t TBlob::Read(std::size_t position, std::size_t count, void* dest) {
    CheckBlob();
    return Data()->Read(position, count, dest);
}

void TBlob::Write(std::size_t position, std::size_t count, const void* source) {
    CheckBlob();
    PrepareChange();
    Data()->Write(position, count, source);
}

void TBlob::Clear() {
    if (IsEmpty()) {
        return;
    }
    PrepareChange();
    Data()->Clear();
}

void TBlob::Truncate(std::size_t newSize) {
    PrepareChange();
    Data()->Truncate(newSize);
}

void TBlob::SetSize(std::size_t value) {
    if (value == Size()) {
        return;
    }
    // A change of size is a change like any other: Cancel must be able to undo it.
    PrepareChange();
    Data()->SetSize(value);
}

void TBlob::SetIsUnicode(bool value) {
    if (value == FIsUnicode) {
        return;
    }
    if (Size() > 0) {
        throw platform::Exception("Cannot change IsUnicode if Size > 0");
    }
    FIsUnicode = value;
}

std::size_t TBlob::GetSizeAnsi() {
    platform::Assert(FIsUnicode);
    return Data()->GetSizeAnsi();
}

std::size_t TBlob::GetSizeUni() {
    platform::Assert(!FIsUnicode);
    return Data()->GetSizeUni();
}

void TBlob::Compress() {
    Data()->Compress();
}

void TBlob::Defrag() {
    Data()->Defrag();
}

void TBlob::Assign(TBlob& source) {
    // Clearing first would leave nothing to copy.
    if (&source == this) {
        return;
    }
    Clear();
    FIsUnicode = source.FIsUnicode;
    std::vector<std::uint8_t> buffer(AssignBufferSize);
    std::size_t position = 0;
    while (const std::size_t count = source.Read(position, buffer.size(), buffer.data())) {
        Write(position, count, buffer.data());
        position += count;
    }
}

std::string TBlob::ReadAll() {
    std::string bytes(Size(), '\0');
    // A count of 0 would mean "up to the end", which is also right for an empty blob.
    Read(0, bytes.size(), bytes.data());
    return bytes;
}

void TBlob::WriteText(const void* text, std::size_t size) {
    Clear();
    Write(0, size, text);
}

std::u16string TBlob::AsWideString() {
    if (!FIsUnicode) {
        return platform::AnsiToUtf16(ReadAll());
    }
    std::u16string text(Size() / sizeof(char16_t), u'\0');
    if (!text.empty()) {
        Read(0, text.size() * sizeof(char16_t), text.data());
    }
    return text;
}

void TBlob::SetAsWideString(std::u16string_view text) {
    if (FIsUnicode) {
        WriteText(text.data(), text.size() * sizeof(char16_t));
    } else {
        const std::string bytes = platform::Utf16ToAnsi(text);
        WriteText(bytes.data(), bytes.size());
    }
}

std::string TBlob::AsAnsiString() {
    return FIsUnicode ? platform::Utf16ToAnsi(AsWideString()) : ReadAll();
}

void TBlob::SetAsAnsiString(std::string_view text) {
    if (FIsUnicode) {
        const std::u16string wide = platform::AnsiToUtf16(text);
        WriteText(wide.data(), wide.size() * sizeof(char16_t));
    } else {
        WriteText(text.data(), text.size());
    }
}

std::vector<std::uint8_t> TBlob::AsBytes() {
    const std::string bytes = ReadAll();
    return {bytes.begin(), bytes.end()};
}

void TBlob::SetAsBytes(const std::vector<std::uint8_t>& bytes) {
    WriteText(bytes.data(), bytes.size());
}

void TBlob::AddCR() {
    CheckBlob();
    PrepareChange();
    if (FIsUnicode) {
        Data()->AddCRUnicode();
    } else {
        Data()->AddCRString();
    }
}

void TBlob::RemoveCR() {
    CheckBlob();
    PrepareChange();
    if (FIsUnicode) {
        Data()->RemoveCRUnicode();
    } else {
        Data()->RemoveCRString();
    }
}

TCompressedBlob::TCompressedBlob(bool isUnicode) : TBlob(isUnicode, new TCompressedBlobData) {}

TBlob* TCompressedBlob::CreateClone() const {
    return new TCompressedBlob(IsUnicode());
}

TCRBlobData* TCompressedBlob::CreateBlobData() const {
    return new TCompressedBlobData;
}

bool TCompressedBlob::Compressed() const {
    return CompressedData(Data()).IsCompressed();
}

void TCompressedBlob::SetCompressed(bool value) {
    CompressedData(Data()).SetCompressed(value);
}

std::size_t TCompressedBlob::CompressedSize() const {
    return CompressedData(Data()).CompressedSize();
}

}  // namespace data_access
