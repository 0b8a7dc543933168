// Runs the SQL lexers over arbitrary UTF-16 text: every parser class, every switch, searches,
// going back, and the stream mode in both encodings. Any crash or sanitizer report is a bug, and
// so is a lexeme outside the text, a token that makes no progress, or a stream that lexes
// differently from the same text given whole; the unknown-symbol exception is the expected answer
// to control characters.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "data_access/mysql/my_parser.h"
#include "platform/exceptions.h"

namespace {

using namespace data_access;
using namespace data_access::mysql;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

std::unique_ptr<TParser> MakeParser(int kind, std::u16string_view text) {
    switch (kind) {
        case 0:
            return std::make_unique<TParser>(text);
        case 1:
            return std::make_unique<TSQLParser>(text);
        case 2:
            return std::make_unique<TMyParser>(text);
        default:
            return std::make_unique<TMyUniParser>(text);
    }
}

void Configure(TParser& parser, std::uint8_t switches) {
    parser.SetOmitBlank(switches & 1);
    parser.SetOmitComment(switches & 2);
    parser.SetUppered(switches & 4);
    parser.SetQuotedString(switches & 8);
    parser.SetOmitKeywords(switches & 16);
}

// Reads every token, stepping back now and then, and checks each lexeme lies inside the text.
void LexToEnd(TParser& parser, std::size_t length, std::uint8_t switches) {
    std::size_t tokens = 0;
    try {
        for (;;) {
            const std::size_t before = parser.CurrPos();
            const int token = parser.GetNextToken();
            Check(parser.LexemPos() + parser.LexemLength() <= length);
            Check(parser.CurrPos() <= length);
            Check(parser.PrevPos() >= before && parser.PrevPos() <= parser.CurrPos());
            if (token == lcEnd) {
                Check(parser.CurrPos() == length);
                return;
            }
            Check(parser.CurrPos() > before);
            Check(++tokens <= length);
            if ((switches & 32) && tokens % 3 == 0) {
                const std::size_t start = parser.PrevPos();
                const std::size_t end = parser.CurrPos();
                parser.Back();
                Check(parser.CurrPos() == start);
                Check(parser.GetNextToken() == token && parser.CurrPos() == end);
            }
        }
    } catch (const platform::Exception&) {
    }
}

void Search(TParser& parser, std::uint8_t switches) {
    const int clauses[] = {lxPROCEDURE, lxFOR, lxLOCK};
    try {
        while (parser.ToLexem(u":")) {
        }
        parser.ToBegin();
        parser.ToLexem(lxFROM, switches & 64);
        parser.ToLexem(clauses);
    } catch (const platform::Exception&) {
    }
}

// The same text read whole and from a stream must give the same tokens at the same places.
void CompareWithStream(std::u16string_view text, const std::string& utf16) {
    TMyParser whole(text);
    std::istringstream stream(utf16);
    TMyParser streamed(stream, TParserEncoding::UTF16LE);
    whole.SetOmitBlank(false);
    streamed.SetOmitBlank(false);
    for (;;) {
        int expected = 0;
        bool raised = false;
        try {
            expected = whole.GetNextToken();
        } catch (const platform::Exception&) {
            raised = true;
        }
        try {
            const int token = streamed.GetNextToken();
            Check(!raised && token == expected && streamed.Lexem() == whole.Lexem() &&
                  streamed.PrevPos() == whole.PrevPos() && streamed.PrevLine() == whole.PrevLine());
        } catch (const platform::Exception&) {
            Check(raised);
        }
        if (raised || expected == lcEnd) {
            return;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t switches = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += char16_t(std::uint8_t(bytes[i]) | std::uint8_t(bytes[i + 1]) << 8);
    }

    for (int kind = 0; kind < 4; ++kind) {
        const auto parser = MakeParser(kind, text);
        Configure(*parser, switches);
        LexToEnd(*parser, text.size(), switches);
        parser->ToBegin();
        Search(*parser, switches);
    }
    CompareWithStream(text, bytes.substr(0, text.size() * 2));

    // The raw bytes as UTF-8, malformed sequences included.
    std::istringstream stream(bytes);
    TMyUniParser utf8(stream, TParserEncoding::UTF8);
    Configure(utf8, switches);
    try {
        while (utf8.GetNextToken() != lcEnd) {
        }
    } catch (const platform::Exception&) {
    }
    return 0;
}
