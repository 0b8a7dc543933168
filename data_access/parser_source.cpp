#include "data_access/parser_source.h"

#include <algorithm>

#include "platform/exceptions.h"

namespace data_access {

namespace {

constexpr char16_t ReplacementChar = 0xFFFD;

// Bytes of the UTF-8 sequence a lead byte starts, 0 for a byte no sequence starts with.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// The second byte also rules out overlong forms, surrogates and codes above 10FFFF.
bool IsValidSecond(unsigned char lead, unsigned char second) {
    switch (lead) {
        case 0xE0:
            return second >= 0xA0 && second <= 0xBF;
        case 0xED:
            return second >= 0x80 && second <= 0x9F;
        case 0xF0:
            return second >= 0x90 && second <= 0xBF;
        case 0xF4:
            return second >= 0x80 && second <= 0x8F;
        default:
            return (second & 0xC0) == 0x80;
    }
}

// Appends the characters of bytes to out and returns the bytes consumed. A sequence cut by the
// end of bytes is left for the next block unless final; every malformed piece becomes U+FFFD.
std::size_t DecodeUtf8(std::string_view bytes, bool final, std::u16string& out) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = SequenceLength(lead);
        if (length <= 1) {
            out += length == 1 ? char16_t(lead) : ReplacementChar;
            ++i;
            continue;
        }
        std::size_t valid = 1;
        while (valid < length && i + valid < bytes.size()) {
            const auto next = static_cast<unsigned char>(bytes[i + valid]);
            if (!(valid == 1 ? IsValidSecond(lead, next) : (next & 0xC0) == 0x80)) {
                break;
            }
            ++valid;
        }
        if (valid < length) {
            if (i + valid == bytes.size() && !final) {
                break;
            }
            out += ReplacementChar;
            i += valid;
            continue;
        }
        char32_t code = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            code = code << 6 | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += char16_t(0xD800 + (code >> 10));
            out += char16_t(0xDC00 + (code & 0x3FF));
        } else {
            out += char16_t(code);
        }
        i += length;
    }
    return i;
}

// Appends the little-endian UTF-16 units of bytes to out and returns the bytes consumed; a lone
// last byte is left for the next block unless final.
std::size_t DecodeUtf16LE(std::string_view bytes, bool final, std::u16string& out) {
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        out += char16_t(static_cast<unsigned char>(bytes[i]) |
                        static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    if (final && i < bytes.size()) {
        out += ReplacementChar;
        ++i;
    }
    return i;
}

}  // namespace

TParserSource::TParserSource(std::u16string_view text) : FCurrentBlock(text) {}

TParserSource::TParserSource(std::istream& stream, TParserEncoding encoding)
    : FStream(&stream), FEncoding(encoding), FStartOffset(stream.tellg()), FStreamEnded(false) {}

void TParserSource::Release(std::size_t pos) {
    if (FStream == nullptr || pos <= FBlockOffset) {
        return;
    }
    const std::size_t count = std::min(pos - FBlockOffset, FCurrentBlock.size());
    if (count >= BLOCK_SIZE) {
        FCurrentBlock.erase(0, count);
        FBlockOffset += count;
    }
}

void TParserSource::Rewind() {
    if (FBlockOffset == 0) {
        return;
    }
    FStream->clear();
    FStream->seekg(FStartOffset);
    if (FStream->fail()) {
        throw platform::EInOutError("Stream read error");
    }
    FCurrentBlock.clear();
    FBlockOffset = 0;
    FBytes.clear();
    FStreamEnded = false;
}

bool TParserSource::Load(std::size_t pos) {
    platform::Assert(pos >= FBlockOffset);
    while (pos - FBlockOffset >= FCurrentBlock.size()) {
        if (!ReadBlock()) {
            return false;
        }
    }
    return true;
}

bool TParserSource::ReadBlock() {
    const std::size_t before = FCurrentBlock.size();
    while (FCurrentBlock.size() == before && !FStreamEnded) {
        const std::size_t unitSize = FEncoding == TParserEncoding::UTF16LE ? 2 : 1;
        ReadBytes(BLOCK_SIZE * unitSize);
        const std::size_t used = FEncoding == TParserEncoding::UTF16LE
                                     ? DecodeUtf16LE(FBytes, FStreamEnded, FCurrentBlock)
                                     : DecodeUtf8(FBytes, FStreamEnded, FCurrentBlock);
        FBytes.erase(0, used);
    }
    return FCurrentBlock.size() > before;
}

void TParserSource::ReadBytes(std::size_t count) {
    const std::size_t kept = FBytes.size();
    FBytes.resize(kept + count);
    FStream->read(FBytes.data() + kept, static_cast<std::streamsize>(count));
    const auto got = static_cast<std::size_t>(FStream->gcount());
    FBytes.resize(kept + got);
    if (got < count) {
        FStreamEnded = true;
    }
}

}  // namespace data_access
