#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data_access/blob_data.h"
#include "data_access/shared_object.h"

namespace data_access {

// A blob, memo or wide memo value: content (shared with clones by reference count), its form of
// text (UTF-16 or 8-bit bytes) and, in cached mode, a copy of the content from before its first
// change.
//
// A blob is created with one owner (count 1) and empty; owners call AddRef and Release.
class TBlob : public TSharedObject {
public:
    // Test while the blob lives.
    static constexpr std::uint8_t btSign = 221;

    explicit TBlob(bool isUnicode = false);

    // A new blob of the same kind and form, with one owner (the caller). With fromRollback it
    // shares the rollback copy, else with cloneData the current content: by reference, not as a
    // copy, so a change through one shows in the other.
    TBlob* Clone(bool fromRollback = false, bool cloneData = true);

    // Copies up to count bytes from position (0: up to the end); returns how many were read.
    std::size_t Read(std::size_t position, std::size_t count, void* dest);
    // Writes at position, which is cut to the size.
    void Write(std::size_t position, std::size_t count, const void* source);
    void Clear();
    void Truncate(std::size_t newSize);
    bool IsEmpty() const noexcept { return Data()->IsEmpty(); }
    std::size_t Size() const { return Data()->GetSize(); }
    // Truncates or appends zero bytes.
    void SetSize(std::size_t value);

    bool IsUnicode() const noexcept { return FIsUnicode; }
    // Raises "Cannot change IsUnicode if Size > 0" for a change of a blob with content.
    void SetIsUnicode(bool value);
    // The 8-bit length of UTF-16 content (assertion: Unicode blob).
    std::size_t GetSizeAnsi();
    // The UTF-16 length in bytes of 8-bit content (assertion: 8-bit blob).
    std::size_t GetSizeUni();

    // Shrinks the pieces to their use; gathers the content in one piece.
    void Compress();
    void Defrag();
    std::size_t PieceSize() const noexcept { return Data()->PieceSize(); }
    void SetPieceSize(std::size_t value) { Data()->SetPieceSize(value); }

    // Takes source's form and a copy of its content.
    void Assign(TBlob& source);

    // The content as text. The 8-bit text is in the ANSI code page: each view converts when the
    // blob holds the other form, and setting a view clears the blob and stores the text in the
    // blob's form.
    std::u16string AsString() { return AsWideString(); }
    void SetAsString(std::u16string_view text) { SetAsWideString(text); }
    std::u16string AsWideString();
    void SetAsWideString(std::u16string_view text);
    std::string AsAnsiString();
    void SetAsAnsiString(std::string_view text);
    std::vector<std::uint8_t> AsBytes();
    void SetAsBytes(const std::vector<std::uint8_t>& bytes);

    // Cached mode: the first change after EnableRollback, or after a Commit or Cancel, keeps a
    // copy of the content as it was.
    void EnableRollback() noexcept { FNeedRollback = true; }
    // For a change that must not be undone (line breaks added on opening a memo).
    void DisableRollback() noexcept { FNeedRollback = false; }
    bool NeedRollback() const noexcept { return FNeedRollback; }
    // Keeps the current content as the rollback copy and goes on with a copy of it; raises "Blob
    // must be in cached mode" outside cached mode.
    void SaveToRollback();
    bool CanRollback() const noexcept { return FRollback != nullptr; }
    // While on (and only when a copy exists), the blob shows the rollback copy.
    bool UseRollback() const noexcept { return FUseRollback; }
    void SetUseRollback(bool value) noexcept { FUseRollback = value && FRollback; }
    // Drops the copy; Cancel makes it the content again.
    void Commit() noexcept;
    void Cancel() noexcept;

    // Line breaks in the blob's form: AddCR makes every lone LF a CR LF, RemoveCR every CR LF an
    // LF.
    void AddCR();
    void RemoveCR();

    // The content shown: the rollback copy while UseRollback is on.
    TCRBlobData* Data() const noexcept { return FUseRollback ? FRollback.get() : FData.get(); }
    // Shares data (one more owner of it) as the content. Assertion failure while UseRollback is
    // on or for nil.
    void SetData(TCRBlobData* data);

protected:
    // Takes over the one reference of data.
    TBlob(bool isUnicode, TCRBlobData* data);
    ~TBlob() override;

    virtual TBlob* CreateClone() const;
    virtual TCRBlobData* CreateBlobData() const;

private:
    // Raises "Invalid BLOB" for a blob that no longer lives.
    void CheckBlob() const;
    // Takes the rollback copy before a change when one is due.
    void PrepareChange();
    std::string ReadAll();
    void WriteText(const void* text, std::size_t size);

    TReference<TCRBlobData> FData;
    bool FIsUnicode;
    bool FNeedRollback = false;
    TReference<TCRBlobData> FRollback;
    bool FUseRollback = false;
    std::uint8_t Test = btSign;
};

// A blob whose content can be kept compressed (zlib). Uncompressed it behaves exactly as a
// TBlob.
class TCompressedBlob : public TBlob {
public:
    explicit TCompressedBlob(bool isUnicode = false);

    bool Compressed() const;
    // On: compresses content of more than 50 bytes when that makes it smaller. Off: inflates the
    // content, which must be compressed content.
    void SetCompressed(bool value);
    // Raises "Blob is not compressed" for uncompressed content.
    std::size_t CompressedSize() const;

protected:
    ~TCompressedBlob() override = default;

    TBlob* CreateClone() const override;
    TCRBlobData* CreateBlobData() const override;
};

}  // namespace data_access
