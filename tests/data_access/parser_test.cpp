#include "data_access/parser.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "tests/data_access/lexer_tokens.h"

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;
using data_access::lcBlank;
using data_access::lcComment;
using data_access::lcEnd;
using data_access::lcIdent;
using data_access::lcNumber;
using data_access::lcString;
using data_access::lcSymbol;
using data_access::TLexemList;
using data_access::TParser;
using data_access::TParserEncoding;
using data_access::TSQLParser;

using namespace lexer_test;

TEST(TLexemList, LooksUpIgnoringTheCaseOfAsciiLettersOnly) {
    const TLexemList list = {{u"SELECT", 7}, {u"AS", 3}, {u"Straight_Join", 9}, {u"ЗАКАЗ", 4}};
    EXPECT_EQ(list.Find(u"select"), 7);
    EXPECT_EQ(list.Find(u"sElEcT"), 7);
    EXPECT_EQ(list.Find(u"as"), 3);
    EXPECT_EQ(list.Find(u"STRAIGHT_join"), 9);
    EXPECT_EQ(list.Find(u"ЗАКАЗ"), 4);
    EXPECT_EQ(list.Find(u"заказ"), 0);  // only a to z are folded
    EXPECT_EQ(list.Find(u"selec"), 0);
    EXPECT_EQ(list.Find(u"selects"), 0);
    EXPECT_EQ(list.Find(u""), 0);
    EXPECT_EQ(list.TextOf(9), u"STRAIGHT_JOIN");
    EXPECT_EQ(list.TextOf(8), u"");
    EXPECT_TRUE(list.HasCode(3));
    EXPECT_FALSE(list.HasCode(5));
}

TEST(TLexemList, RejectsEntriesWithoutCodeOrText) {
    TLexemList list;
    EXPECT_THROW(list.Add(u"X", 0), platform::EAssertionFailed);
    EXPECT_THROW(list.Add(u"X", -103), platform::EAssertionFailed);
    EXPECT_THROW(list.Add(u"", 5), platform::EAssertionFailed);
    EXPECT_EQ(list.Count(), 0u);
}

TEST(TParser, BaseClassLexemes) {
    const LexCase cases[] = {
        {u"a // c : d\nb", {{lcIdent, u"a"}, {lcComment, u"// c : d"}, {lcIdent, u"b"}}},
        {u"'x' \"y\"", {{lcString, u"x"}, {lcString, u"y"}}},
        {u"( $ _ ` { # ?",
         {{8, u"("},
          {4, u"$"},
          {lcIdent, u"_"},
          {28, u"`"},
          {lcSymbol, u"{"},
          {3, u"#"},
          {21, u"?"}}},
        {u"a and b Or not c",
         {{lcIdent, u"a"},
          {29, u"AND"},
          {lcIdent, u"b"},
          {31, u"OR"},
          {30, u"NOT"},
          {lcIdent, u"c"}}},
        {u"select a--b",
         {{lcIdent, u"select"}, {lcIdent, u"a"}, {13, u"-"}, {13, u"-"}, {lcIdent, u"b"}}},
        {u"x.y 1.5", {{lcIdent, u"x"}, {14, u"."}, {lcIdent, u"y"}, {lcNumber, u"1.5"}}},
    };
    for (const LexCase& c : cases) {
        TParser parser(c.Text);
        EXPECT_EQ(Tokens(parser), c.Expected) << Show(c.Text);
    }
}

// Replaces the global locale for one test.
class GlobalLocale {
public:
    explicit GlobalLocale(const std::locale& locale) : FSaved(std::locale::global(locale)) {}
    ~GlobalLocale() { std::locale::global(FSaved); }

private:
    std::locale FSaved;
};

struct CommaSeparator : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(TParser, BaseClassTakesTheDecimalSeparatorFromTheLocale) {
    const GlobalLocale comma(std::locale(std::locale::classic(), new CommaSeparator));
    TParser base(u"1,5 2.5");
    EXPECT_EQ(
        Tokens(base),
        (std::vector<Token>{{lcNumber, u"1,5"}, {lcNumber, u"2"}, {14, u"."}, {lcNumber, u"5"}}));
    TSQLParser sql(u"1,5 2.5");
    EXPECT_EQ(Tokens(sql),
              (std::vector<Token>{
                  {lcNumber, u"1"}, {Comma, u","}, {lcNumber, u"5"}, {lcNumber, u"2.5"}}));
}

TEST(TSQLParser, Lexemes) {
    using namespace data_access;
    const LexCase cases[] = {
        {u"select * from t",
         {{lxSELECT, u"SELECT"}, {Star, u"*"}, {lxFROM, u"FROM"}, {lcIdent, u"t"}}},
        // Doubled quotes read as two adjacent strings or names.
        {u"'it''s'", {{lcString, u"it"}, {lcString, u"s"}}},
        {u"\"My \"\"Col\"", {{lcIdent, u"\"My \""}, {lcIdent, u"\"Col\""}}},
        // The other quote nests freely; a backslash escapes nothing.
        {u"'say \"hi\"' \"it's\"", {{lcString, u"say \"hi\""}, {lcIdent, u"\"it's\""}}},
        {u"'a\\'b'", {{lcString, u"a\\"}, {lcIdent, u"b"}, {lcString, u""}}},
        {u"'a\nb'", {{lcString, u"a\nb"}}},
        // Comments: "--" with or without a blank, and blocks that do not nest.
        {u"a -- x : y\r\nb", {{lcIdent, u"a"}, {lcComment, u"-- x : y"}, {lcIdent, u"b"}}},
        {u"a --x\nb", {{lcIdent, u"a"}, {lcComment, u"--x"}, {lcIdent, u"b"}}},
        {u"a /* : \n ? /* */ b */",
         {{lcIdent, u"a"},
          {lcComment, u"/* : \n ? /* */"},
          {lcIdent, u"b"},
          {Star, u"*"},
          {Slash, u"/"}}},
        {u"a/**/b", {{lcIdent, u"a"}, {lcComment, u"/**/"}, {lcIdent, u"b"}}},
        {u"a // b", {{lcIdent, u"a"}, {Slash, u"/"}, {Slash, u"/"}, {lcIdent, u"b"}}},
        {u"#tmp $x a$b#", {{lcIdent, u"#tmp"}, {lcIdent, u"$x"}, {lcIdent, u"a$b#"}}},
        // Colons: each is one symbol, whatever follows.
        {u"x::y :=",
         {{lcIdent, u"x"},
          {Colon, u":"},
          {Colon, u":"},
          {lcIdent, u"y"},
          {Colon, u":"},
          {Equals, u"="}}},
        {u"? (a);",
         {{lcSymbol, u"?"},
          {lcSymbol, u"("},
          {lcIdent, u"a"},
          {lcSymbol, u")"},
          {Semicolon, u";"}}},
        // Numbers: no sign, no exponent, a separator only between digits.
        {u"12 3.5 4. .5 1e5 007",
         {{lcNumber, u"12"},
          {lcNumber, u"3.5"},
          {lcNumber, u"4"},
          {Dot, u"."},
          {Dot, u"."},
          {lcNumber, u"5"},
          {lcNumber, u"1"},
          {lcIdent, u"e5"},
          {lcNumber, u"007"}}},
        {u"1.2.3", {{lcNumber, u"1.2"}, {Dot, u"."}, {lcNumber, u"3"}}},
        {u"intersect only Minus",
         {{lcIdent, u"intersect"}, {lcIdent, u"only"}, {lxMINUS, u"MINUS"}}},
        {u"_a1 a_b 1a", {{lcIdent, u"_a1"}, {lcIdent, u"a_b"}, {lcNumber, u"1"}, {lcIdent, u"a"}}},
        {u"заказ.сумма", {{lcIdent, u"заказ"}, {Dot, u"."}, {lcIdent, u"сумма"}}},
        // Unterminated pieces run to the end.
        {u"a 'abc", {{lcIdent, u"a"}, {lcString, u"abc"}}},
        {u"'", {{lcString, u""}}},
        {u"\"abc", {{lcIdent, u"\"abc"}}},
        {u"/* abc", {{lcComment, u"/* abc"}}},
        {u"/*/", {{lcComment, u"/*/"}}},
        {u"-- abc", {{lcComment, u"-- abc"}}},
        {u"a.", {{lcIdent, u"a"}, {Dot, u"."}}},
        // Control characters inside strings, names and comments are harmless.
        {u"'\0\x01' \"\x7f\" -- \x02\n/* \x1f */"sv,
         {{lcString, std::u16string(u"\0\x01"sv)},
          {lcIdent, u"\"\x7f\""},
          {lcComment, u"-- \x02"},
          {lcComment, u"/* \x1f */"}}},
        {u"", {}},
        {u" \t\r\n", {}},
    };
    for (const LexCase& c : cases) {
        TSQLParser parser(c.Text);
        EXPECT_EQ(Tokens(parser), c.Expected) << Show(c.Text);
    }
}

TEST(TParser, SwitchesShapeTheLexemes) {
    using namespace data_access;
    const std::u16string_view text = u"Select  'a' /* c */\r\nfrom";
    const struct {
        const char* name;
        void (*configure)(TParser&);
        std::vector<Token> expected;
    } cases[] = {
        {"defaults",
         [](TParser&) {},
         {{lxSELECT, u"SELECT"}, {lcString, u"a"}, {lcComment, u"/* c */"}, {lxFROM, u"FROM"}}},
        {"blanks kept",
         [](TParser& p) { p.SetOmitBlank(false); },
         {{lxSELECT, u"SELECT"},
          {lcBlank, u"  "},
          {lcString, u"a"},
          {lcBlank, u" "},
          {lcComment, u"/* c */"},
          {lcBlank, u"\r\n"},
          {lxFROM, u"FROM"}}},
        {"comments omitted",
         [](TParser& p) { p.SetOmitComment(true); },
         {{lxSELECT, u"SELECT"}, {lcString, u"a"}, {lxFROM, u"FROM"}}},
        {"keywords as written",
         [](TParser& p) { p.SetUppered(false); },
         {{lxSELECT, u"Select"}, {lcString, u"a"}, {lcComment, u"/* c */"}, {lxFROM, u"from"}}},
        {"strings quoted",
         [](TParser& p) { p.SetQuotedString(true); },
         {{lxSELECT, u"SELECT"}, {lcString, u"'a'"}, {lcComment, u"/* c */"}, {lxFROM, u"FROM"}}},
        {"keywords omitted",
         [](TParser& p) { p.SetOmitKeywords(true); },
         {{lcIdent, u"Select"}, {lcString, u"a"}, {lcComment, u"/* c */"}, {lcIdent, u"from"}}},
    };
    for (const auto& c : cases) {
        TSQLParser parser(text);
        c.configure(parser);
        EXPECT_EQ(Tokens(parser), c.expected) << c.name;
    }

    TSQLParser unterminated(u"'abc");
    unterminated.SetQuotedString(true);
    EXPECT_EQ(Tokens(unterminated), (std::vector<Token>{{lcString, u"'abc"}}));
}

TEST(TParser, CountsLinesAndColumns) {
    // CR LF, a lone CR and a lone LF are one line break each, also inside strings and comments.
    const std::u16string_view text = u"a\r\n  bb\rc\n\nd 'x\ny' /*\r\n*/ z";
    const struct {
        std::u16string_view lexem;
        std::size_t pos;
        int line;
        std::size_t col;
    } expected[] = {
        {u"a", 0, 0, 0},     {u"bb", 5, 1, 2},        {u"c", 8, 2, 0},  {u"d", 11, 4, 0},
        {u"x\ny", 13, 4, 2}, {u"/*\r\n*/", 19, 5, 3}, {u"z", 26, 6, 3},
    };
    TSQLParser parser(text);
    for (const auto& e : expected) {
        ASSERT_NE(parser.GetNextToken(), lcEnd);
        EXPECT_EQ(parser.Lexem(), e.lexem);
        EXPECT_EQ(parser.PrevPos(), e.pos) << Show(e.lexem);
        EXPECT_EQ(parser.PrevLine(), e.line) << Show(e.lexem);
        EXPECT_EQ(parser.PrevCol(), e.col) << Show(e.lexem);
    }
    EXPECT_EQ(parser.CurrPos(), text.size());
    EXPECT_EQ(parser.CurrLine(), 6);
    EXPECT_EQ(parser.CurrCol(), 4u);
    EXPECT_EQ(parser.GetNextToken(), lcEnd);
}

TEST(TParser, LexemPositionsCoverTheLexemText) {
    const std::u16string_view text = u"f('ab', \"c d\") -- e";
    TSQLParser parser(text);
    while (parser.GetNextToken() != lcEnd) {
        EXPECT_EQ(text.substr(parser.LexemPos(), parser.LexemLength()), parser.Lexem());
    }
    parser.ToBegin();
    parser.SetQuotedString(true);
    while (parser.GetNextToken() != lcEnd) {
        EXPECT_EQ(text.substr(parser.PrevPos(), parser.LexemLength()), parser.Lexem());
    }
}

TEST(TParser, BackRereadsAndToBeginRestarts) {
    using namespace data_access;
    TSQLParser parser(u"select a,\n b from t");
    parser.GetNextToken();
    parser.GetNextToken();
    EXPECT_EQ(parser.GetNextToken(), Comma);
    EXPECT_EQ(parser.GetNextToken(), lcIdent);
    EXPECT_EQ(parser.CurrLine(), 1);
    EXPECT_EQ(parser.PrevPos(), 11u);
    EXPECT_EQ(parser.PrevPrevPos(), 8u);

    parser.Back();
    EXPECT_EQ(parser.CurrPos(), 11u);
    EXPECT_EQ(parser.CurrLine(), 1);
    EXPECT_EQ(parser.GetNextToken(), lcIdent);
    EXPECT_EQ(parser.Lexem(), u"b");
    EXPECT_EQ(parser.PrevPos(), 11u);
    EXPECT_EQ(parser.PrevPrevPos(), 8u);

    parser.Back();
    parser.Back();
    EXPECT_EQ(parser.CurrPos(), 8u);
    EXPECT_EQ(parser.CurrLine(), 0);
    EXPECT_EQ(parser.GetNextToken(), Comma);

    parser.ToBegin();
    EXPECT_EQ(parser.Token(), lcBlank);
    EXPECT_EQ(parser.CurrPos(), 0u);
    EXPECT_EQ(parser.GetNextToken(), lxSELECT);

    parser.SetText(u"delete");
    EXPECT_EQ(parser.GetNextToken(), lxDELETE);
    EXPECT_EQ(parser.GetNextToken(), lcEnd);
    EXPECT_EQ(parser.GetNextToken(), lcEnd);
}

TEST(TParser, ToLexemByCodeCanSkipSubqueries) {
    using namespace data_access;
    const std::u16string_view text =
        u"select (select 1 from dual) as x, ')' from t where a in (select b from u order by b) "
        u"order by a";
    const std::size_t innerFrom = text.find(u"from");
    const std::size_t outerFrom = text.find(u"from t");
    const std::size_t outerOrder = text.rfind(u"order");

    TSQLParser parser(text);
    EXPECT_EQ(parser.ToLexem(lxFROM, true), lxFROM);
    EXPECT_EQ(parser.PrevPos(), outerFrom);
    const int clauses[] = {lxGROUP, lxORDER};
    EXPECT_EQ(parser.ToLexem(clauses), lxORDER);
    EXPECT_EQ(parser.PrevPos(), outerOrder);
    EXPECT_EQ(parser.ToLexem(lxUNION), lcEnd);

    parser.ToBegin();
    EXPECT_EQ(parser.ToLexem(lxFROM), lxFROM);
    EXPECT_EQ(parser.PrevPos(), innerFrom);

    // A closing parenthesis without an opening one does not hide the rest.
    TSQLParser unbalanced(u"select a) from t");
    EXPECT_EQ(unbalanced.ToLexem(lxFROM, true), lxFROM);
}

TEST(TParser, ToLexemByTextSkipsStringsNamesAndComments) {
    const std::u16string_view text = u"a = ':' and \":\" -- :\n/* : */ :y";
    TSQLParser parser(text);
    EXPECT_TRUE(parser.ToLexem(u":"));
    EXPECT_EQ(parser.PrevPos(), text.rfind(u':'));
    EXPECT_EQ(parser.CurrPos(), text.rfind(u':') + 1);
    EXPECT_FALSE(parser.ToLexem(u":"));

    TSQLParser words(u"select 'x' from x");
    EXPECT_TRUE(words.ToLexem(u"From"));
    EXPECT_EQ(words.PrevPos(), 11u);
    EXPECT_TRUE(words.ToLexem(u"X"));
    EXPECT_EQ(words.PrevPos(), 16u);
}

TEST(TSQLParser, AnswersStatementHelpers) {
    using namespace data_access;
    TSQLParser parser(u"");
    EXPECT_EQ(parser.PosClauseLexem(lxWHERE), 0);
    EXPECT_EQ(parser.PosClauseLexem(lxORDER), 6);
    EXPECT_EQ(parser.PosClauseLexem(lxSELECT), -1);
    EXPECT_TRUE(parser.IsClauseLexem(lxINTERSECT));
    EXPECT_FALSE(parser.IsClauseLexem(lxLIMIT));
    EXPECT_EQ(parser.CompareClauseLexems(lxWHERE, lxORDER), -1);
    EXPECT_EQ(parser.CompareClauseLexems(lxUNION, lxHAVING), 1);
    EXPECT_EQ(parser.CompareClauseLexems(lxGROUP, lxGROUP), 0);
    EXPECT_EQ(parser.CompareClauseLexems(lxWHERE, lxFROM), -2);
    EXPECT_EQ(parser.CompareClauseLexems(lxLIMIT, lxWHERE), -2);

    EXPECT_TRUE(parser.IsMacroAllowed(lcIdent));
    EXPECT_TRUE(parser.IsMacroAllowed(lcComment));
    EXPECT_FALSE(parser.IsMacroAllowed(lcString));
    EXPECT_FALSE(parser.IsNumericMacroNameAllowed());
    EXPECT_TRUE(parser.IsSelectModifier(lxALL));
    EXPECT_TRUE(parser.IsSelectModifier(lxDISTINCT));
    EXPECT_FALSE(parser.IsSelectModifier(lxFROM));
    EXPECT_TRUE(parser.IsFunctionOrConst(u"Null"));
    EXPECT_FALSE(parser.IsFunctionOrConst(u"NOW"));
    EXPECT_FALSE(parser.IsQuasiColumn(u"ROWID"));

    EXPECT_TRUE(parser.IsSymbolCode(Colon));
    EXPECT_FALSE(parser.IsSymbolCode(lxSELECT));
    EXPECT_EQ(parser.GetSymbolByCode(Semicolon), u";");
    EXPECT_EQ(parser.GetSymbolByCode(lxTRANSACTION), u"TRANSACTION");
    EXPECT_EQ(parser.GetSymbolByCode(lxINTERSECT), u"");
    EXPECT_EQ(parser.GetSymbolByCode(lcIdent), u"");
}

TEST(TParser, ControlCharactersOutsideStringsAreUnknownSymbols) {
    const struct {
        std::u16string_view text;
        std::string message;
    } cases[] = {
        {u"a \x01 b", "Parser: The unknown symbol '\x01'  $0001"},
        {u"a\x7f", "Parser: The unknown symbol '\x7f'  $007F"},
        {u"a\vb", "Parser: The unknown symbol '\v'  $000B"},
        {u"a\fb", "Parser: The unknown symbol '\f'  $000C"},
        {u"a\0b"sv, "Parser: The unknown symbol '\0'  $0000"s},
    };
    for (const auto& c : cases) {
        for (const bool sql : {false, true}) {
            std::unique_ptr<TParser> parser =
                sql ? std::make_unique<TSQLParser>(c.text) : std::make_unique<TParser>(c.text);
            EXPECT_EQ(parser->GetNextToken(), lcIdent);
            try {
                parser->GetNextToken();
                ADD_FAILURE() << "no exception for " << Show(c.text);
            } catch (const platform::Exception& error) {
                EXPECT_EQ(error.Message(), c.message);
            }
        }
    }
}

// The text as UTF-8, surrogate pairs joined.
std::string ToUtf8(std::u16string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size()) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (code < 0x80) {
            bytes += char(code);
        } else if (code < 0x800) {
            bytes += char(0xC0 | code >> 6);
            bytes += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes += char(0xE0 | code >> 12);
            bytes += char(0x80 | (code >> 6 & 0x3F));
            bytes += char(0x80 | (code & 0x3F));
        } else {
            bytes += char(0xF0 | code >> 18);
            bytes += char(0x80 | (code >> 12 & 0x3F));
            bytes += char(0x80 | (code >> 6 & 0x3F));
            bytes += char(0x80 | (code & 0x3F));
        }
    }
    return bytes;
}

std::string ToUtf16LE(std::u16string_view text) {
    std::string bytes;
    for (const char16_t ch : text) {
        bytes += char(ch & 0xFF);
        bytes += char(ch >> 8);
    }
    return bytes;
}

struct PlacedToken {
    int Code;
    std::u16string Lexem;
    std::size_t Pos;
    int Line;
    std::size_t Col;
    bool operator==(const PlacedToken&) const = default;
};

void PrintTo(const PlacedToken& token, std::ostream* out) {
    *out << "{" << token.Code << ", \"" << Show(token.Lexem) << "\" at " << token.Pos << ", line "
         << token.Line << ", col " << token.Col << "}";
}

PlacedToken Read(TParser& parser) {
    const int code = parser.GetNextToken();
    return {code, parser.Lexem(), parser.PrevPos(), parser.PrevLine(), parser.PrevCol()};
}

// Three and a half blocks: a string and a two-byte UTF-8 character cut by the first block end,
// Cyrillic names, comments and characters outside the BMP in every line.
std::u16string LongScript() {
    constexpr std::size_t Block = TParser::BLOCK_SIZE;
    std::u16string text = u"select '" + std::u16string(Block - 9, u'a') + u"жж' from t;\r\n";
    while (text.size() < 7 * Block / 2) {
        text +=
            u"select \"поле\", 'x\ny' /* комментарий */ from t where x = 1.5; -- \U0001F600\r\n";
    }
    return text;
}

TEST(TParser, StreamModeReadsBlocksLikeTheWholeText) {
    const std::u16string text = LongScript();
    ASSERT_EQ(ToUtf8(text)[TParser::BLOCK_SIZE - 1], ToUtf8(u"ж")[0]);
    std::vector<PlacedToken> expected;
    TSQLParser whole(text);
    do {
        expected.push_back(Read(whole));
    } while (expected.back().Code != lcEnd);

    for (const auto encoding : {TParserEncoding::UTF8, TParserEncoding::UTF16LE}) {
        const std::string bytes =
            encoding == TParserEncoding::UTF8 ? ToUtf8(text) : ToUtf16LE(text);
        std::istringstream stream("skipped" + bytes);
        stream.seekg(7);
        TSQLParser parser(stream, encoding);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(Read(parser), expected[i]) << "token " << i;
            // Going back may cross into a block read before.
            parser.Back();
            ASSERT_EQ(Read(parser), expected[i]) << "token " << i << " read again";
        }
        // The start was released long ago: the stream is read again from its first position.
        parser.ToBegin();
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(Read(parser), expected[i]) << "token " << i << " after ToBegin";
        }
    }
}

// A stream that can only be read forwards, like a pipe.
class ForwardOnlyBuffer : public std::stringbuf {
public:
    using std::stringbuf::stringbuf;

protected:
    pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override {
        return pos_type(off_type(-1));
    }
    pos_type seekpos(pos_type, std::ios_base::openmode) override { return pos_type(off_type(-1)); }
};

TEST(TParser, StreamModeRestartsWithoutSeekingWhileTheStartIsKept) {
    ForwardOnlyBuffer shortBuffer("select 1");
    std::istream shortStream(&shortBuffer);
    TSQLParser parser(shortStream);
    EXPECT_EQ(Tokens(parser).size(), 2u);
    parser.ToBegin();
    EXPECT_EQ(Tokens(parser).size(), 2u);

    ForwardOnlyBuffer longBuffer(std::string(3 * TParser::BLOCK_SIZE, ' ') + "select 1");
    std::istream longStream(&longBuffer);
    TSQLParser longParser(longStream);
    EXPECT_EQ(Tokens(longParser).size(), 2u);
    try {
        longParser.ToBegin();
        ADD_FAILURE() << "no exception";
    } catch (const platform::EInOutError& error) {
        EXPECT_EQ(error.Message(), "Stream read error");
    }
}

TEST(TParser, StreamModeReplacesMalformedBytes) {
    const struct {
        std::string bytes;
        TParserEncoding encoding;
        std::u16string_view lexem;
    } cases[] = {
        {"x\xFFy", TParserEncoding::UTF8, u"x\uFFFDy"},
        {"x\xC3", TParserEncoding::UTF8, u"x\uFFFD"},
        {"x\xE0\x80\x80", TParserEncoding::UTF8, u"x\uFFFD\uFFFD\uFFFD"},  // overlong
        {"x\xED\xA0\x80", TParserEncoding::UTF8, u"x\uFFFD\uFFFD\uFFFD"},  // surrogate
        {"x\xE2\x82y", TParserEncoding::UTF8, u"x\uFFFDy"},                // cut short
        {"x\xF0\x9F\x98\x80", TParserEncoding::UTF8, u"x\U0001F600"},
        {std::string("x\0y", 3), TParserEncoding::UTF16LE, u"\u0078\uFFFD"},
    };
    for (const auto& c : cases) {
        std::istringstream stream(c.bytes);
        TSQLParser parser(stream, c.encoding);
        EXPECT_EQ(Tokens(parser), (std::vector<Token>{{lcIdent, std::u16string(c.lexem)}}))
            << Show(c.lexem);
    }
}

}  // namespace
