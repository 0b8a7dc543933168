#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "data_access/shared_object.h"

namespace data_access {

class TCRBlobData;

// The header in front of a piece's data; header and data are one allocation.
struct TPieceHeader {
    // The content object the piece is linked into; nil while it is not linked.
    const TCRBlobData* Blob;
    // Capacity in bytes.
    std::size_t Size;
    // Bytes in use, from the start of the data.
    std::size_t Used;
    TPieceHeader* Prev;
    TPieceHeader* Next;
};
using PPieceHeader = TPieceHeader*;

inline std::uint8_t* PieceData(PPieceHeader piece) noexcept {
    return reinterpret_cast<std::uint8_t*>(piece + 1);
}

inline const std::uint8_t* PieceData(const TPieceHeader* piece) noexcept {
    return reinterpret_cast<const std::uint8_t*>(piece + 1);
}

// Owns a piece that is not linked into any content object.
struct TFreeUnlinkedPiece {
    void operator()(PPieceHeader piece) const noexcept { std::free(piece); }
};
using TPiecePtr = std::unique_ptr<TPieceHeader, TFreeUnlinkedPiece>;

// The capacity of the pieces that writes append.
inline constexpr std::size_t DefaultPieceSize = 65514;

// The content of a blob: the concatenation of the used bytes of a doubly linked list of pieces.
// Content grows piece by piece without moving what is already stored. Only the last pieces are
// ever partly used: once a piece is partly used, every piece after it holds 0 bytes (truncating
// keeps their capacity for later writes).
class TCRBlobData : public TSharedObject {
public:
    TCRBlobData() noexcept = default;

    virtual std::size_t GetSize() const;
    // Truncates, or appends one zero-filled piece of the missing bytes.
    virtual void SetSize(std::size_t value);
    void Clear() noexcept;
    // Keeps the first newSize bytes (0 clears); the pieces behind them stay allocated.
    virtual void Truncate(std::size_t newSize);
    bool IsEmpty() const noexcept { return FFirstPiece == nullptr; }
    // Copies up to count bytes from position (0: up to the end); returns how many were copied.
    virtual std::size_t Read(std::size_t position, std::size_t count, void* dest);
    // Writes count bytes at position, which is cut to the size, so a write never leaves a gap.
    virtual void Write(std::size_t position, std::size_t count, const void* source);

    // Shrinks every piece to its used bytes.
    void Compress();
    // Gathers the content in the first piece.
    void Defrag();
    // dest takes over these pieces; this object keeps one new piece with a copy of them.
    void CopyTo(TCRBlobData& dest);

    // Line breaks of 8-bit and of UTF-16 content: AddCR makes every lone LF a CR LF, RemoveCR
    // makes every CR LF an LF. Both rebuild the content in new pieces.
    void AddCRString();
    void RemoveCRString();
    void AddCRUnicode();
    void RemoveCRUnicode();

    // Between the forms of text (UTF-16 and 8-bit in the ANSI code page). TranslatePositionToAnsi
    // gives the byte position in UTF-16 content of an 8-bit position; TranslatePositionToUni the
    // byte position in 8-bit content of a UTF-16 byte position. Both raise "Invalid BLOB position"
    // for a position inside a character or beyond the content.
    std::size_t TranslatePositionToAnsi(std::size_t position);
    std::size_t TranslatePositionToUni(std::size_t position);
    // The 8-bit length of UTF-16 content; the UTF-16 length in bytes of 8-bit content.
    std::size_t GetSizeAnsi();
    std::size_t GetSizeUni();

    std::size_t PieceSize() const noexcept { return FPieceSize; }
    void SetPieceSize(std::size_t value);
    PPieceHeader FirstPiece() const noexcept { return FFirstPiece; }

    // A piece of size bytes (size > 0), not linked, with nothing used.
    static PPieceHeader AllocPiece(std::size_t size);
    // Sets the piece's capacity (0 frees it and sets piece to nil), cutting its use to it; piece
    // follows the allocation when it moves.
    void ReallocPiece(PPieceHeader& piece, std::size_t size);
    // Unlinks the piece when it is linked and frees it.
    void FreePiece(PPieceHeader piece);
    // Links an unlinked piece at the end.
    void AppendPiece(PPieceHeader piece);
    // Unlinks a piece of this object.
    void DeletePiece(PPieceHeader piece);
    void CompressPiece(PPieceHeader& piece);

protected:
    ~TCRBlobData() override;

    // The bytes the pieces hold, whatever form they are stored in.
    std::size_t StoredSize() const noexcept;

private:
    void TakePiecesOf(TCRBlobData& source) noexcept;
    void ConvertLineBreaks(std::size_t unitSize, bool addCR);

    PPieceHeader FFirstPiece = nullptr;
    std::size_t FPieceSize = DefaultPieceSize;
};

}  // namespace data_access
