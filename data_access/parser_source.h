#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>

namespace data_access {

// How the bytes of a script stream encode its text. The system's encoding is UTF-8.
enum class TParserEncoding { UTF8, UTF16LE };

// The characters a lexer reads: a whole text, or a stream read in blocks of BLOCK_SIZE
// characters so large scripts are never loaded whole. Positions are 0-based character positions
// from the start of the text; a stream keeps only the characters from the last released
// position on.
class TParserSource {
public:
    static constexpr std::size_t BLOCK_SIZE = 65536;

    explicit TParserSource(std::u16string_view text);
    // Reading starts at the stream's current position.
    TParserSource(std::istream& stream, TParserEncoding encoding);

    // True when the text has a character at pos; reads blocks from the stream until it has.
    bool Has(std::size_t pos) { return pos - FBlockOffset < FCurrentBlock.size() || Load(pos); }
    // The character at pos, which Has must have confirmed.
    char16_t At(std::size_t pos) const noexcept { return FCurrentBlock[pos - FBlockOffset]; }
    // The characters [from, to), which Has must have confirmed.
    std::u16string_view Slice(std::size_t from, std::size_t to) const noexcept {
        return std::u16string_view(FCurrentBlock).substr(from - FBlockOffset, to - from);
    }
    // The characters before pos will not be asked for again (until Rewind).
    void Release(std::size_t pos);
    // Back to the first character; a stream whose start was released is read again from the
    // position it had when the source was created.
    void Rewind();

private:
    bool Load(std::size_t pos);
    bool ReadBlock();
    void ReadBytes(std::size_t count);

    std::u16string FCurrentBlock;
    std::size_t FBlockOffset = 0;  // position of FCurrentBlock[0]
    std::istream* FStream = nullptr;
    TParserEncoding FEncoding = TParserEncoding::UTF8;
    std::istream::pos_type FStartOffset = 0;
    std::string FBytes;  // read but not yet decoded: a character cut by the end of a block
    bool FStreamEnded = true;
};

}  // namespace data_access
