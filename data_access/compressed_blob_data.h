#pragma once

#include <cstddef>
#include <cstdint>

#include "data_access/blob_data.h"

namespace data_access {

// Compressed content is one piece: the header (the 16 bytes below, then the uncompressed size as
// a 32-bit little-endian integer) and a zlib stream.
inline constexpr std::size_t CCompressBlobHeaderSize = 20;
inline constexpr std::size_t CCompressBlobHeaderGuidSize = 16;
inline constexpr std::uint8_t CCompressBlobHeaderGuid[CCompressBlobHeaderGuidSize] = {
    0x39, 0x8C, 0x9D, 0xF1, 0x58, 0x55, 0x49, 0x38, 0xA6, 0x52, 0x87, 0xCE, 0xE0, 0xC6, 0xDA, 0x7E};
// Content of up to this many bytes is never compressed.
inline constexpr std::size_t CMinCompressSize = 50;

// The blob compression modes of a command.
enum TCompressBlobMode { cbNone = 0, cbClient = 1, cbServer = 2, cbClientServer = 3 };

// Deflates count bytes at source into dest, which holds destLength bytes, and sets destLength to
// the length of the stream (with the zlib header and trailer). Raises when the stream does not
// fit.
using TCompressProc = void (*)(const std::uint8_t* source, std::size_t count, std::uint8_t* dest,
                               std::size_t& destLength);
// Inflates count bytes at source into dest, which holds destLength bytes, and sets destLength to
// the bytes produced. False when the stream is damaged; raises when the stream goes on past
// destLength bytes.
using TUncompressProc = bool (*)(const std::uint8_t* source, std::size_t count, std::uint8_t* dest,
                                 std::size_t& destLength);

// The routines compressed blobs use; the zlib ones unless replaced. A missing one raises
// "Compressor function is not linked" or "Uncompressor function is not linked".
extern TCompressProc CompressProc;
extern TUncompressProc UncompressProc;

// Blob content that can be kept compressed. Its size, reads, writes and truncation are those of
// the content it holds; uncompressed it behaves exactly as plain content.
class TCompressedBlobData : public TCRBlobData {
public:
    TCompressedBlobData() noexcept = default;

    // The stored uncompressed size while compressed (0 there is an assertion failure).
    std::size_t GetSize() const override;
    // While compressed, only 0 or the size itself (assertion).
    void SetSize(std::size_t value) override;
    void Truncate(std::size_t newSize) override;
    // A read of the whole content inflates straight into dest; any other one decompresses the
    // content first.
    std::size_t Read(std::size_t position, std::size_t count, void* dest) override;
    // A write of the whole content stores it compressed at once when that gains; any other one
    // decompresses the content first.
    void Write(std::size_t position, std::size_t count, const void* source) override;

    // The first piece holds more than the header and starts with its 16 bytes.
    bool IsCompressed() const noexcept;
    // On: compresses content of more than CMinCompressSize bytes when that makes it smaller.
    // Off: inflates non-empty content, which must be valid compressed content; on failure the
    // content stays as it was.
    void SetCompressed(bool value);
    // The stored bytes of compressed content; raises "Blob is not compressed" otherwise.
    std::size_t CompressedSize() const;

protected:
    ~TCompressedBlobData() override = default;

private:
    TPiecePtr Deflate(const std::uint8_t* source, std::size_t count);
    PPieceHeader CheckedCompressedPiece();
    void Inflate(const TPieceHeader* piece, std::uint8_t* dest, std::size_t size);
    void Decompress();
};

}  // namespace data_access
