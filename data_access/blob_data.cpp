#include "data_access/blob_data.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/exceptions.h"

namespace data_access {

TCRBlobData::~TCRBlobData() {
    Clear();
}

std::size_t TCRBlobData::StoredSize() const noexcept {
    std::size_t size = 0;
    for (PPieceHeader piece = FFirstPiece; piece; piece = piece->Next) {
        size += piece->Used;
    }
    return size;
}

std::size_t TCRBlobData::GetSize() const {
    return StoredSize();
}

void TCRBlobData::SetSize(std::size_t value) {
    const std::size_t size = StoredSize();
    if (value < size) {
        Truncate(value);
        return;
    }
    if (value == size) {
        return;
    }
    // Spare capacity left by a truncation would otherwise sit between the content and the new
    // piece, and the next write there would insert instead of overwrite.
    Compress();
    const std::size_t missing = value - size;
    PPieceHeader piece = AllocPiece(missing);
    std::memset(PieceData(piece), 0, missing);
    piece->Used = missing;
    AppendPiece(piece);
}

void TCRBlobData::Clear() noexcept {
    while (FFirstPiece) {
        PPieceHeader next = FFirstPiece->Next;
        std::free(FFirstPiece);
        FFirstPiece = next;
    }
}

void TCRBlobData::Truncate(std::size_t newSize) {
    if (newSize == 0) {
        Clear();
        return;
    }
    std::size_t total = 0;
    for (PPieceHeader piece = FFirstPiece; piece; piece = piece->Next) {
        piece->Used = std::min(piece->Used, newSize - std::min(total, newSize));
        total += piece->Used;
    }
}

std::size_t TCRBlobData::Read(std::size_t position, std::size_t count, void* dest) {
    const std::size_t size = StoredSize();
    if (!FFirstPiece || position > size) {
        return 0;
    }
    if (count == 0 || count > size - position) {
        count = size - position;
    }
    auto* to = static_cast<std::uint8_t*>(dest);
    std::size_t start = 0;
    std::size_t copied = 0;
    for (PPieceHeader piece = FFirstPiece; piece && copied < count; piece = piece->Next) {
        const std::size_t from = position + copied;
        if (from < start + piece->Used) {
            const std::size_t offset = from - start;
            const std::size_t n = std::min(count - copied, piece->Used - offset);
            std::memcpy(to + copied, PieceData(piece) + offset, n);
            copied += n;
        }
        start += piece->Used;
    }
    return copied;
}

void TCRBlobData::Write(std::size_t position, std::size_t count, const void* source) {
    const auto* from = static_cast<const std::uint8_t*>(source);
    std::size_t at = std::min(position, StoredSize());
    std::size_t remaining = count;
    // The content position of the piece's first byte.
    std::size_t start = 0;
    PPieceHeader piece = FFirstPiece;
    while (remaining > 0) {
        if (!piece) {
            piece = AllocPiece(std::min(FPieceSize, count));
            AppendPiece(piece);
        }
        if (at < start + piece->Size) {
            const std::size_t offset = at - start;
            platform::Assert(offset <= piece->Used);
            const std::size_t n = std::min(remaining, piece->Size - offset);
            std::memcpy(PieceData(piece) + offset, from, n);
            piece->Used = std::max(piece->Used, offset + n);
            at += n;
            from += n;
            remaining -= n;
        }
        start += piece->Used;
        piece = piece->Next;
    }
}

void TCRBlobData::Compress() {
    for (PPieceHeader piece = FFirstPiece; piece;) {
        PPieceHeader next = piece->Next;
        CompressPiece(piece);
        piece = next;
    }
}

void TCRBlobData::Defrag() {
    const std::size_t size = StoredSize();
    if (size == 0) {
        Clear();
        return;
    }
    PPieceHeader first = FFirstPiece;
    ReallocPiece(first, size);
    while (PPieceHeader next = first->Next) {
        std::memcpy(PieceData(first) + first->Used, PieceData(next), next->Used);
        first->Used += next->Used;
        FreePiece(next);
    }
}

void TCRBlobData::CopyTo(TCRBlobData& dest) {
    dest.Clear();
    const std::size_t size = StoredSize();
    if (size == 0) {
        return;
    }
    TPiecePtr copy(AllocPiece(size));
    for (PPieceHeader piece = FFirstPiece; piece; piece = piece->Next) {
        std::memcpy(PieceData(copy.get()) + copy->Used, PieceData(piece), piece->Used);
        copy->Used += piece->Used;
    }
    dest.TakePiecesOf(*this);
    AppendPiece(copy.release());
}

void TCRBlobData::TakePiecesOf(TCRBlobData& source) noexcept {
    FFirstPiece = source.FFirstPiece;
    source.FFirstPiece = nullptr;
    for (PPieceHeader piece = FFirstPiece; piece; piece = piece->Next) {
        piece->Blob = this;
    }
}

void TCRBlobData::SetPieceSize(std::size_t value) {
    platform::Assert(value > 0);
    FPieceSize = value;
}

PPieceHeader TCRBlobData::AllocPiece(std::size_t size) {
    platform::Assert(size > 0);
    if (size > std::numeric_limits<std::size_t>::max() - sizeof(TPieceHeader)) {
        throw std::bad_alloc();
    }
    auto* piece = static_cast<PPieceHeader>(std::malloc(sizeof(TPieceHeader) + size));
    if (!piece) {
        throw std::bad_alloc();
    }
    *piece = TPieceHeader{nullptr, size, 0, nullptr, nullptr};
    return piece;
}

void TCRBlobData::ReallocPiece(PPieceHeader& piece, std::size_t size) {
    if (size == 0) {
        FreePiece(piece);
        piece = nullptr;
        return;
    }
    if (size == piece->Size) {
        return;
    }
    platform::Assert(!piece->Blob || piece->Blob == this);
    if (size > std::numeric_limits<std::size_t>::max() - sizeof(TPieceHeader)) {
        throw std::bad_alloc();
    }
    auto* moved = static_cast<PPieceHeader>(std::realloc(piece, sizeof(TPieceHeader) + size));
    if (!moved) {
        throw std::bad_alloc();
    }
    moved->Size = size;
    moved->Used = std::min(moved->Used, size);
    if (moved->Blob) {
        (moved->Prev ? moved->Prev->Next : FFirstPiece) = moved;
        if (moved->Next) {
            moved->Next->Prev = moved;
        }
    }
    piece = moved;
}

void TCRBlobData::FreePiece(PPieceHeader piece) {
    if (piece->Blob) {
        DeletePiece(piece);
    }
    std::free(piece);
}

void TCRBlobData::AppendPiece(PPieceHeader piece) {
    platform::Assert(!piece->Blob);
    piece->Blob = this;
    piece->Next = nullptr;
    piece->Prev = nullptr;
    if (!FFirstPiece) {
        FFirstPiece = piece;
        return;
    }
    PPieceHeader last = FFirstPiece;
    while (last->Next) {
        last = last->Next;
    }
    last->Next = piece;
    piece->Prev = last;
}

void TCRBlobData::DeletePiece(PPieceHeader piece) {
    platform::Assert(piece->Blob == this);
    (piece->Prev ? piece->Prev->Next : FFirstPiece) = piece->Next;
    if (piece->Next) {
        piece->Next->Prev = piece->Prev;
    }
    piece->Blob = nullptr;
    piece->Prev = nullptr;
    piece->Next = nullptr;
}

void TCRBlobData::CompressPiece(PPieceHeader& piece) {
    ReallocPiece(piece, piece->Used);
}

}  // namespace data_access
