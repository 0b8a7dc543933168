#include "data_access/compressed_blob_data.h"

#include <cstring>
#include <limits>

#include "platform/exceptions.h"
#include "platform/zlib_codec.h"

namespace data_access {

namespace {

const char* const TargetTooSmall = "ZLib error: target buffer may be too small";

void ZlibCompress(const std::uint8_t* source, std::size_t count, std::uint8_t* dest,
                  std::size_t& destLength) {
    const std::size_t length = platform::DeflateInto(source, count, dest, destLength);
    if (length == 0) {
        throw platform::Exception(TargetTooSmall);
    }
    destLength = length;
}

bool ZlibUncompress(const std::uint8_t* source, std::size_t count, std::uint8_t* dest,
                    std::size_t& destLength) {
    const std::size_t capacity = destLength;
    switch (platform::InflateInto(source, count, dest, capacity, destLength)) {
        case platform::InflateStatus::StreamEnd:
            return true;
        case platform::InflateStatus::OutputFull:
            throw platform::Exception(TargetTooSmall);
        case platform::InflateStatus::Damaged:
            break;
    }
    return false;
}

std::size_t HeaderSize(const TPieceHeader* piece) noexcept {
    const std::uint8_t* size = PieceData(piece) + CCompressBlobHeaderGuidSize;
    return std::size_t(size[0]) | std::size_t(size[1]) << 8 | std::size_t(size[2]) << 16 |
           std::size_t(size[3]) << 24;
}

}  // namespace

TCompressProc CompressProc = ZlibCompress;
TUncompressProc UncompressProc = ZlibUncompress;

bool TCompressedBlobData::IsCompressed() const noexcept {
    const TPieceHeader* piece = FirstPiece();
    return piece && piece->Used > CCompressBlobHeaderSize &&
           std::memcmp(PieceData(piece), CCompressBlobHeaderGuid, CCompressBlobHeaderGuidSize) == 0;
}

std::size_t TCompressedBlobData::GetSize() const {
    if (!IsCompressed()) {
        return StoredSize();
    }
    const std::size_t size = HeaderSize(FirstPiece());
    platform::Assert(size != 0);
    return size;
}

void TCompressedBlobData::SetSize(std::size_t value) {
    if (!IsCompressed()) {
        TCRBlobData::SetSize(value);
        return;
    }
    const std::size_t size = GetSize();
    platform::Assert(value == 0 || value == size);
    if (value == 0) {
        Clear();
    }
}

void TCompressedBlobData::Truncate(std::size_t newSize) {
    if (newSize != 0 && IsCompressed()) {
        Decompress();
    }
    TCRBlobData::Truncate(newSize);
}

std::size_t TCompressedBlobData::Read(std::size_t position, std::size_t count, void* dest) {
    if (IsCompressed()) {
        const std::size_t size = GetSize();
        if (position == 0 && (count == 0 || count == size)) {
            Inflate(CheckedCompressedPiece(), static_cast<std::uint8_t*>(dest), size);
            return size;
        }
        Decompress();
    }
    return TCRBlobData::Read(position, count, dest);
}

void TCompressedBlobData::Write(std::size_t position, std::size_t count, const void* source) {
    if (IsCompressed()) {
        if (position != 0 || count != GetSize()) {
            Decompress();
        } else {
            TPiecePtr packed = count > CMinCompressSize
                                   ? Deflate(static_cast<const std::uint8_t*>(source), count)
                                   : nullptr;
            Clear();
            if (packed) {
                AppendPiece(packed.release());
                return;
            }
        }
    }
    TCRBlobData::Write(position, count, source);
}

void TCompressedBlobData::SetCompressed(bool value) {
    if (!value) {
        if (!IsEmpty()) {
            Decompress();
        }
        return;
    }
    const std::size_t size = StoredSize();
    if (size <= CMinCompressSize || IsCompressed()) {
        return;
    }
    Defrag();
    if (TPiecePtr packed = Deflate(PieceData(FirstPiece()), size)) {
        Clear();
        AppendPiece(packed.release());
    }
}

std::size_t TCompressedBlobData::CompressedSize() const {
    if (!IsCompressed()) {
        throw platform::Exception("Blob is not compressed");
    }
    return StoredSize();
}

// A piece holding the header and source deflated, shrunk to its use; nil when deflating fails or
// does not make the content smaller.
TPiecePtr TCompressedBlobData::Deflate(const std::uint8_t* source, std::size_t count) {
    if (!CompressProc) {
        throw platform::Exception("Compressor function is not linked");
    }
    if (count > std::numeric_limits<std::uint32_t>::max()) {
        return nullptr;
    }
    TPiecePtr piece(AllocPiece(CCompressBlobHeaderSize + count / 5 + count + 32));
    std::uint8_t* data = PieceData(piece.get());
    std::size_t length = piece->Size - CCompressBlobHeaderSize;
    try {
        CompressProc(source, count, data + CCompressBlobHeaderSize, length);
    } catch (const platform::Exception&) {
        return nullptr;
    }
    if (CCompressBlobHeaderSize + length >= count) {
        return nullptr;
    }
    std::memcpy(data, CCompressBlobHeaderGuid, CCompressBlobHeaderGuidSize);
    for (std::size_t i = 0; i < 4; ++i) {
        data[CCompressBlobHeaderGuidSize + i] = static_cast<std::uint8_t>(count >> 8 * i);
    }
    piece->Used = CCompressBlobHeaderSize + length;
    PPieceHeader shrunk = piece.get();
    CompressPiece(shrunk);
    piece.release();
    return TPiecePtr(shrunk);
}

// The content gathered in one piece, checked to be compressed content.
PPieceHeader TCompressedBlobData::CheckedCompressedPiece() {
    Defrag();
    PPieceHeader piece = FirstPiece();
    platform::Assert(!piece || !piece->Next);
    if (!piece || piece->Used <= CCompressBlobHeaderSize) {
        throw platform::Exception("Invalid compressed blob size");
    }
    if (std::memcmp(PieceData(piece), CCompressBlobHeaderGuid, CCompressBlobHeaderGuidSize) != 0) {
        throw platform::Exception("Invalid compressed blob header");
    }
    return piece;
}

void TCompressedBlobData::Inflate(const TPieceHeader* piece, std::uint8_t* dest, std::size_t size) {
    if (!UncompressProc) {
        throw platform::Exception("Uncompressor function is not linked");
    }
    std::size_t produced = size;
    if (!UncompressProc(PieceData(piece) + CCompressBlobHeaderSize,
                        piece->Used - CCompressBlobHeaderSize, dest, produced)) {
        throw platform::Exception("Invalid compressed blob data");
    }
    if (produced != size) {
        throw platform::Exception("Invalid uncompressed blob size");
    }
}

// Replaces the compressed piece by the content it holds.
void TCompressedBlobData::Decompress() {
    PPieceHeader packed = CheckedCompressedPiece();
    const std::size_t size = HeaderSize(packed);
    platform::Assert(size != 0);
    TPiecePtr plain(AllocPiece(size));
    Inflate(packed, PieceData(plain.get()), size);
    plain->Used = size;
    FreePiece(packed);
    AppendPiece(plain.release());
}

}  // namespace data_access
