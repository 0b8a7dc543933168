// The text operations of blob content: line breaks, and sizes and positions between UTF-16 and
// 8-bit text. They read the content through Read, so content stored in another form is seen as
// the text it holds, and they walk it as one run of bytes, so a character or a CR LF pair split
// between two pieces counts as one.

#include <algorithm>
#include <cstring>

#include "data_access/blob_data.h"
#include "data_access/utf8_text.h"
#include "platform/exceptions.h"

namespace data_access {

namespace {

constexpr std::uint16_t CR = 13;
constexpr std::uint16_t LF = 10;
// The longest step looked at: a UTF-8 character, a surrogate pair, a pair of UTF-16 units.
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

// One character: the bytes it takes in the content and in the other form of text.
struct TStep {
    std::size_t Bytes;
    std::size_t OtherBytes;
};

// A character of UTF-16 content and its 8-bit length. An odd last byte is no character.
TStep Utf16Step(TContentReader& reader) {
    std::uint8_t bytes[MaxPeek];
    const std::size_t count = reader.Peek(bytes, MaxPeek);
    if (count < sizeof(char16_t)) {
        return {count, 0};
    }
    char16_t units[MaxPeek / sizeof(char16_t)];
    std::memcpy(units, bytes, count / sizeof(char16_t) * sizeof(char16_t));
    const TDecodedChar c = DecodeUtf16(units, count / sizeof(char16_t));
    return {c.Length * sizeof(char16_t), Utf8Length(c.Code)};
}

// A character of 8-bit content and its UTF-16 length in bytes.
TStep Utf8Step(TContentReader& reader) {
    std::uint8_t bytes[MaxPeek];
    const std::size_t count = reader.Peek(bytes, MaxPeek);
    const TDecodedChar c = DecodeUtf8(bytes, count);
    return {c.Length, Utf16Length(c.Code) * sizeof(char16_t)};
}

template <class Step>
std::size_t OtherSize(TCRBlobData& data, Step step) {
    TContentReader reader(data);
    std::size_t other = 0;
    while (reader.Remaining() > 0) {
        const TStep s = step(reader);
        reader.Skip(s.Bytes);
        other += s.OtherBytes;
    }
    return other;
}

// The content position of the character boundary at otherPosition in the other form.
template <class Step>
std::size_t TranslatePosition(TCRBlobData& data, std::size_t otherPosition, Step step) {
    TContentReader reader(data);
    std::size_t other = 0;
    while (other < otherPosition && reader.Remaining() > 0) {
        const TStep s = step(reader);
        reader.Skip(s.Bytes);
        other += s.OtherBytes;
    }
    if (other != otherPosition) {
        throw platform::Exception("Invalid BLOB position");
    }
    return reader.Position();
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
    return TranslatePosition(*this, position, Utf16Step);
}

std::size_t TCRBlobData::TranslatePositionToUni(std::size_t position) {
    return TranslatePosition(*this, position, Utf8Step);
}

std::size_t TCRBlobData::GetSizeAnsi() {
    return OtherSize(*this, Utf16Step);
}

std::size_t TCRBlobData::GetSizeUni() {
    return OtherSize(*this, Utf8Step);
}

}  // namespace data_access
