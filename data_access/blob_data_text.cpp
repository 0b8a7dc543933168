// The text operations of blob content: line breaks, and sizes and positions between UTF-16 and
// 8-bit text in the ANSI code page. Those that look at the text read it through Read, so content
// stored in another form is seen as the text it holds, and they walk it as one run of bytes, so a
// surrogate pair or a CR LF pair split between two pieces counts as one.

#include <algorithm>
#include <cstring>
#include <limits>

#include "data_access/blob_data.h"
#include "platform/exceptions.h"

namespace data_access {

namespace {

constexpr std::uint16_t CR = 13;
constexpr std::uint16_t LF = 10;
// The longest step looked at: a surrogate pair, a CR LF pair of UTF-16 units.
constexpr std::size_t MaxPeek = 4;

// Reads content from its start through a window, one step at a time.
class TContentReader {
public:
    explicit TContentReader(TCRBlobData& data) : FData(data), FSize(data.GetSize()) {}

    std::size_t Position() const noexcept { return FPosition; }
    std::size_t Remaining() const noexcept { return FSize - FPosition; }

    // Up to count (at most MaxPeek) bytes at the position, without moving on; returns how many.
    std::size_t Peek(std::uint8_t* out, std::size_t count) {
        count = std::min(count, Remaining());
        if (FEnd - FStart < count) {
            const std::size_t kept = FEnd - FStart;
            std::memmove(FWindow, FWindow + FStart, kept);
            FStart = 0;
            const std::size_t wanted = std::min(sizeof FWindow - kept, Remaining() - kept);
            FEnd = kept + FData.Read(FPosition + kept, wanted, FWindow + kept);
        }
        count = std::min(count, FEnd - FStart);
        std::memcpy(out, FWindow + FStart, count);
        return count;
    }

    // Moves past bytes already peeked.
    void Skip(std::size_t count) noexcept {
        FStart += count;
        FPosition += count;
    }

private:
    TCRBlobData& FData;
    const std::size_t FSize;
    // The content position of FWindow[FStart].
    std::size_t FPosition = 0;
    std::size_t FStart = 0;
    std::size_t FEnd = 0;
    std::uint8_t FWindow[4096];
};

// One character of UTF-16 content: the bytes it takes and the 8-bit bytes it converts to.
struct TStep {
    std::size_t Bytes;
    std::size_t AnsiBytes;
};

bool IsHighSurrogate(char16_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) noexcept {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The ANSI conversion turns a surrogate pair into one '?' and every other unit, an unpaired
// surrogate included, into one byte. An odd last byte is no character and converts to nothing.
TStep Utf16Step(TContentReader& reader) {
    std::uint8_t bytes[MaxPeek];
    const std::size_t count = reader.Peek(bytes, MaxPeek);
    if (count < sizeof(char16_t)) {
        return {count, 0};
    }
    char16_t units[2] = {};
    std::memcpy(units, bytes, count / sizeof(char16_t) * sizeof(char16_t));
    const bool pair = count == MaxPeek && IsHighSurrogate(units[0]) && IsLowSurrogate(units[1]);
    return {(pair ? 2 : 1) * sizeof(char16_t), 1};
}

// Walks UTF-16 content from its start until its 8-bit length reaches limit or the content ends;
// returns that length.
std::size_t WalkAnsi(TContentReader& reader, std::size_t limit) {
    std::size_t ansi = 0;
    while (ansi < limit && reader.Remaining() > 0) {
        const TStep step = Utf16Step(reader);
        reader.Skip(step.Bytes);
        ansi += step.AnsiBytes;
    }
    return ansi;
}

std::uint16_t UnitAt(const std::uint8_t* bytes, std::size_t unitSize) noexcept {
    if (unitSize == 1) {
        return bytes[0];
    }
    char16_t unit;
    std::memcpy(&unit, bytes, sizeof unit);
    return unit;
}

void StoreUnit(std::uint8_t* bytes, std::uint16_t unit, std::size_t unitSize) noexcept {
    if (unitSize == 1) {
        bytes[0] = static_cast<std::uint8_t>(unit);
        return;
    }
    const char16_t wide = unit;
    std::memcpy(bytes, &wide, sizeof wide);
}

}  // namespace

void TCRBlobData::AddCRString() {
    ConvertLineBreaks(1, true);
}

void TCRBlobData::RemoveCRString() {
    ConvertLineBreaks(1, false);
}

void TCRBlobData::AddCRUnicode() {
    ConvertLineBreaks(sizeof(char16_t), true);
}

void TCRBlobData::RemoveCRUnicode() {
    ConvertLineBreaks(sizeof(char16_t), false);
}

// Every CR LF pair stays one; a lone CR, the last unit included, is copied as it is.
void TCRBlobData::ConvertLineBreaks(std::size_t unitSize, bool addCR) {
    if (GetSize() == 0) {
        return;
    }
    TContentReader reader(*this);
    const TReference<TCRBlobData> result(new TCRBlobData);
    PPieceHeader piece = nullptr;
    // The input from the unit being converted on.
    std::size_t toConvert = 0;
    // AddCR at most doubles what is left; RemoveCR never adds to it.
    const auto capacity = [&] {
        if (addCR) {
            return toConvert < FPieceSize / 2 ? 2 * toConvert : FPieceSize;
        }
        return std::min(FPieceSize, toConvert);
    };
    const auto put = [&](const std::uint8_t* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!piece || piece->Used == piece->Size) {
                piece = AllocPiece(capacity());
                result->AppendPiece(piece);
            }
            PieceData(piece)[piece->Used++] = bytes[i];
        }
    };
    std::uint8_t cr[2];
    StoreUnit(cr, CR, unitSize);
    bool afterCR = false;
    while (reader.Remaining() > 0) {
        toConvert = reader.Remaining();
        std::uint8_t bytes[2 * sizeof(char16_t)];
        const std::size_t count = reader.Peek(bytes, 2 * unitSize);
        if (count < unitSize) {
            // An odd last byte of UTF-16 content.
            put(bytes, count);
            reader.Skip(count);
            break;
        }
        const std::uint16_t unit = UnitAt(bytes, unitSize);
        reader.Skip(unitSize);
        if (addCR) {
            if (unit == LF && !afterCR) {
                put(cr, unitSize);
            }
            put(bytes, unitSize);
            afterCR = unit == CR;
        } else {
            const bool pair =
                unit == CR && count == 2 * unitSize && UnitAt(bytes + unitSize, unitSize) == LF;
            if (!pair) {
                put(bytes, unitSize);
            }
        }
    }
    Clear();
    TakePiecesOf(*result);
}

std::size_t TCRBlobData::TranslatePositionToAnsi(std::size_t position) {
    TContentReader reader(*this);
    if (WalkAnsi(reader, position) != position) {
        throw platform::Exception("Invalid BLOB position");
    }
    return reader.Position();
}

// Every byte of 8-bit content converts to one UTF-16 unit.
std::size_t TCRBlobData::TranslatePositionToUni(std::size_t position) {
    if (position % sizeof(char16_t) != 0 || position / sizeof(char16_t) > GetSize()) {
        throw platform::Exception("Invalid BLOB position");
    }
    return position / sizeof(char16_t);
}

std::size_t TCRBlobData::GetSizeAnsi() {
    TContentReader reader(*this);
    return WalkAnsi(reader, std::numeric_limits<std::size_t>::max());
}

std::size_t TCRBlobData::GetSizeUni() {
    return GetSize() * sizeof(char16_t);
}

}  // namespace data_access
