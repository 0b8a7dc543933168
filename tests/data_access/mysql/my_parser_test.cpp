#include "data_access/mysql/my_parser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "tests/data_access/lexer_tokens.h"

namespace {

using namespace data_access;
using namespace data_access::mysql;
using namespace std::string_view_literals;

using namespace lexer_test;

// STATUS is in the MySQL keyword list, so the column name comes as that keyword.
TEST(TMyParser, LexesTheQueueStatement) {
    const std::u16string_view text = u"select * from print where status='no' ORDER BY id ASC";
    const std::vector<Token> words = {
        {lxSELECT, u"SELECT"}, {Star, u"*"},          {lxFROM, u"FROM"}, {lcIdent, u"print"},
        {lxWHERE, u"WHERE"},   {lxSTATUS, u"STATUS"}, {Equals, u"="},    {lcString, u"no"},
        {lxORDER, u"ORDER"},   {lxBY, u"BY"},         {lcIdent, u"id"},  {lcIdent, u"ASC"},
    };
    TMyParser parser(text);
    EXPECT_EQ(Tokens(parser), words);

    // With blanks kept they come between the words, except around "=".
    parser.ToBegin();
    parser.SetOmitBlank(false);
    std::vector<Token> withBlanks;
    for (const Token& token : Tokens(parser)) {
        if (token.Code != lcBlank) {
            withBlanks.push_back(token);
        } else {
            EXPECT_EQ(token.Lexem, u" ");
        }
    }
    EXPECT_EQ(withBlanks, words);
}

TEST(TMyParser, Lexemes) {
    const LexCase cases[] = {
        // "#" and "-- " comments; two dashes without a space are two symbols.
        {u"a # c : d\nb", {{lcIdent, u"a"}, {lcComment, u"# c : d"}, {lcIdent, u"b"}}},
        {u"a#b", {{lcIdent, u"a"}, {lcComment, u"#b"}}},
        {u"a -- c\r\nb", {{lcIdent, u"a"}, {lcComment, u"-- c"}, {lcIdent, u"b"}}},
        {u"a --c", {{lcIdent, u"a"}, {lcSymbol, u"-"}, {lcSymbol, u"-"}, {lcIdent, u"c"}}},
        {u"1--2", {{lcNumber, u"1"}, {lcSymbol, u"-"}, {lcSymbol, u"-"}, {lcNumber, u"2"}}},
        {u"a --", {{lcIdent, u"a"}, {lcSymbol, u"-"}, {lcSymbol, u"-"}}},
        {u"a // b", {{lcIdent, u"a"}, {6, u"/"}, {6, u"/"}, {lcIdent, u"b"}}},
        {u"/*!40101 SET x=1 */ y", {{lcComment, u"/*!40101 SET x=1 */"}, {lcIdent, u"y"}}},
        // Backslash escapes in strings of either quote.
        {u"'a\\'b' c", {{lcString, u"a\\'b"}, {lcIdent, u"c"}}},
        {u"\"a\\\"b\" c", {{lcString, u"a\\\"b"}, {lcIdent, u"c"}}},
        {u"'a\\\\' b", {{lcString, u"a\\\\"}, {lcIdent, u"b"}}},
        {u"'it''s'", {{lcString, u"it"}, {lcString, u"s"}}},
        {u"'say \"hi\"' \"it's\"", {{lcString, u"say \"hi\""}, {lcString, u"it's"}}},
        {u"'abc\\", {{lcString, u"abc\\"}}},
        {u"'abc\\'", {{lcString, u"abc\\'"}}},
        // Names in backquotes keep them and know no escapes.
        {u"`print`.`id`", {{lcIdent, u"`print`"}, {Dot, u"."}, {lcIdent, u"`id`"}}},
        {u"`a``b`", {{lcIdent, u"`a`"}, {lcIdent, u"`b`"}}},
        {u"`a\\` b", {{lcIdent, u"`a\\`"}, {lcIdent, u"b"}}},
        {u"`x:y ?` `", {{lcIdent, u"`x:y ?`"}, {lcIdent, u"`"}}},
        // "$" is a symbol, "@" and ":" too; ":=" is two lexemes.
        {u"$a @b := 5",
         {{lcSymbol, u"$"},
          {lcIdent, u"a"},
          {lcSymbol, u"@"},
          {lcIdent, u"b"},
          {Colon, u":"},
          {Equals, u"="},
          {lcNumber, u"5"}}},
        {u"x::y", {{lcIdent, u"x"}, {Colon, u":"}, {Colon, u":"}, {lcIdent, u"y"}}},
        {u"show Columns from t; desc t",
         {{lxSHOW, u"SHOW"},
          {lxCOLUMNS, u"COLUMNS"},
          {lxFROM, u"FROM"},
          {lcIdent, u"t"},
          {Semicolon, u";"},
          {lxDESC, u"DESC"},
          {lcIdent, u"t"}}},
        {u"straight_join DistinctRow use explain describe handler limit",
         {{lxSTRAIGHT_JOIN, u"STRAIGHT_JOIN"},
          {lxDISTINCTROW, u"DISTINCTROW"},
          {lxUSE, u"USE"},
          {lxEXPLAIN, u"EXPLAIN"},
          {lxDESCRIBE, u"DESCRIBE"},
          {lxHANDLER, u"HANDLER"},
          {lxLIMIT, u"LIMIT"}}},
        {u"select * from заказ",
         {{lxSELECT, u"SELECT"}, {Star, u"*"}, {lxFROM, u"FROM"}, {lcIdent, u"заказ"}}},
        {u"1.5 .5e3", {{lcNumber, u"1.5"}, {Dot, u"."}, {lcNumber, u"5"}, {lcIdent, u"e3"}}},
    };
    for (const LexCase& c : cases) {
        TMyParser parser(c.Text);
        EXPECT_EQ(Tokens(parser), c.Expected) << Show(c.Text);
    }
}

TEST(TMyUniParser, DoubleQuotesMakeNames) {
    const LexCase cases[] = {
        {u"\"a b\" 'c'", {{lcIdent, u"\"a b\""}, {lcString, u"c"}}},
        {u"'it\\'s' `x`", {{lcString, u"it\\'s"}, {lcIdent, u"`x`"}}},
        {u"\"a\\\" b", {{lcIdent, u"\"a\\\""}, {lcIdent, u"b"}}},
        {u"\"&m\" &m", {{lcIdent, u"\"&m\""}, {lcSymbol, u"&"}, {lcIdent, u"m"}}},
        {u"a # b\n-- c\n--d",
         {{lcIdent, u"a"},
          {lcComment, u"# b"},
          {lcComment, u"-- c"},
          {lcSymbol, u"-"},
          {lcSymbol, u"-"},
          {lcIdent, u"d"}}},
    };
    for (const LexCase& c : cases) {
        TMyUniParser parser(c.Text);
        EXPECT_EQ(Tokens(parser), c.Expected) << Show(c.Text);
    }
}

// The parameter scan of a command as the lexer supports it: every ":" lexeme followed by a
// name, number or keyword is a reference and becomes "?"; the text around is copied by position.
struct ParamScan {
    std::vector<std::u16string> Names;
    std::u16string Text;
};

ParamScan ScanParams(std::u16string_view text) {
    TMyParser parser(text);
    parser.SetOmitBlank(false);
    parser.SetOmitComment(true);
    parser.SetQuotedString(true);
    ParamScan scan;
    std::size_t copied = 0;
    while (parser.ToLexem(u":")) {
        scan.Text += text.substr(copied, parser.PrevPos() - copied);
        const int code = parser.GetNextToken();
        if (code == lcIdent || code == lcNumber || (code > 0 && !parser.IsSymbolCode(code))) {
            scan.Names.push_back(parser.Lexem());
            scan.Text += u"?";
        } else {
            scan.Text += text.substr(parser.PrevPrevPos(), parser.CurrPos() - parser.PrevPrevPos());
        }
        copied = parser.CurrPos();
    }
    scan.Text += text.substr(copied);
    return scan;
}

TEST(TMyParser, FindsParameterMarkersOnlyOutsideLiteralsAndComments) {
    using Names = std::vector<std::u16string>;
    const struct {
        std::u16string_view text;
        Names names;
        std::u16string_view result;
    } cases[] = {
        {u"select * from t where d = '12:30' and id = :id",
         {u"id"},
         u"select * from t where d = '12:30' and id = ?"},
        {u"SET @a := 5", {}, u"SET @a := 5"},
        {u"select x::int, y: z, :", {}, u"select x::int, y: z, :"},
        {u"select `a:b`, \":c\" -- :d\n# :e\n/* :f */ from t",
         {},
         u"select `a:b`, \":c\" -- :d\n# :e\n/* :f */ from t"},
        {u"values (:p1,:2, :order, :`my id`)",
         {u"p1", u"2", u"ORDER", u"`my id`"},
         u"values (?,?, ?, ?)"},
        {u"a = 'x\\':y' and b = :b", {u"b"}, u"a = 'x\\':y' and b = ?"},
        {u"a --x :p", {u"p"}, u"a --x ?"},
        {u"/* c */:p/* d */", {u"p"}, u"/* c */?/* d */"},
        {u"where name = :имя", {u"имя"}, u"where name = ?"},
    };
    for (const auto& c : cases) {
        const ParamScan scan = ScanParams(c.text);
        EXPECT_EQ(scan.Names, c.names) << Show(c.text);
        EXPECT_EQ(scan.Text, c.result) << Show(c.text);
    }
}

TEST(TMyParser, SplitsOnlyAtQuestionMarksOutsideLiterals) {
    const std::u16string_view text = u"select '?', `?`, \"?\" -- ?\n, ? /* ? */ from t where a = ?";
    TMyParser parser(text);
    parser.SetOmitBlank(false);
    parser.SetOmitComment(true);
    parser.SetQuotedString(true);
    std::vector<std::u16string_view> pieces;
    std::size_t from = 0;
    while (parser.ToLexem(u"?")) {
        pieces.push_back(text.substr(from, parser.PrevPos() - from));
        from = parser.CurrPos();
    }
    pieces.push_back(text.substr(from));
    EXPECT_EQ(pieces, (std::vector<std::u16string_view>{u"select '?', `?`, \"?\" -- ?\n, ",
                                                        u" /* ? */ from t where a = ", u""}));
}

TEST(TMyUniParser, FindsMacroNames) {
    const std::u16string_view text =
        u"select &Cols, '&v', \"&t\" from &1 where &where and x = &' -- &c\n&";
    TMyUniParser parser(text);
    parser.SetOmitBlank(false);
    parser.SetUppered(false);
    std::vector<std::u16string> names;
    while (parser.ToLexem(u"&")) {
        const int code = parser.GetNextToken();
        const bool name =
            code == lcIdent || code > 0 || (code == lcNumber && parser.IsNumericMacroNameAllowed());
        if (name && parser.IsMacroAllowed(code)) {
            names.push_back(parser.Lexem());
        }
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Cols", u"where"}));
}

TEST(TMyParser, RecognisesStatementShapes) {
    const auto parser = [](std::u16string_view text) {
        auto p = std::make_unique<TMyParser>(text);
        p->SetOmitBlank(false);
        p->SetOmitComment(true);
        return p;
    };
    EXPECT_EQ(parser(u"/* x */ (SELECT 1)")->ToLexem(lxSELECT), lxSELECT);
    EXPECT_EQ(parser(u"insert into t values ('select', `select`)")->ToLexem(lxSELECT), lcEnd);

    auto show = parser(u"SHOW /* full */ COLUMNS FROM t");
    EXPECT_EQ(show->ToLexem(lxSHOW), lxSHOW);
    EXPECT_EQ(show->GetNextToken(), lcBlank);
    EXPECT_EQ(show->GetNextToken(), lcBlank);  // the one after the omitted comment
    EXPECT_EQ(show->GetNextToken(), lxCOLUMNS);
    EXPECT_EQ(parser(u"desc `print`")->ToLexem(lxDESC), lxDESC);
    EXPECT_EQ(parser(u"explain select 1")->GetNextToken(), lxEXPLAIN);
    EXPECT_EQ(parser(u"describe t")->GetNextToken(), lxDESCRIBE);
    EXPECT_EQ(parser(u"handler t read first")->GetNextToken(), lxHANDLER);

    // The FROM clause of the statement, not of a subquery, and its first table.
    const std::u16string_view select =
        u"select (select max(id) from a) m, ')' from `print` p where x in (select y from b)";
    auto from = parser(select);
    EXPECT_EQ(from->ToLexem(lxFROM, true), lxFROM);
    EXPECT_EQ(from->PrevPos(), select.find(u"from `print`"));
    EXPECT_EQ(from->GetNextToken(), lcBlank);
    EXPECT_EQ(from->GetNextToken(), lcIdent);
    EXPECT_EQ(from->Lexem(), u"`print`");

    // LIMIT anywhere; PROCEDURE, FOR and LOCK only outside parentheses.
    const std::u16string_view limited =
        u"select * from t where id in (select id from u limit 1 for update) lock in share mode";
    auto limit = parser(limited);
    EXPECT_EQ(limit->ToLexem(lxLIMIT), lxLIMIT);
    EXPECT_EQ(limit->PrevPos(), limited.find(u"limit"));
    const int tail[] = {lxPROCEDURE, lxFOR, lxLOCK};
    auto lock = parser(limited);
    EXPECT_EQ(lock->ToLexem(tail), lxLOCK);
    EXPECT_EQ(lock->PrevPos(), limited.find(u"lock"));
    EXPECT_EQ(parser(u"select 1 procedure analyse()")->ToLexem(tail), lxPROCEDURE);

    auto semicolon = parser(u"select ';' -- ;\n, `;` # ;\n; select 2");
    EXPECT_TRUE(semicolon->ToLexem(u";"));
    EXPECT_EQ(semicolon->PrevPos(), 26u);
    EXPECT_FALSE(parser(u"select ';', \";\", `;` /* ; */")->ToLexem(u";"));
}

TEST(TMyParser, OrdersItsOwnClauses) {
    TMyParser parser(u"");
    const int order[] = {lxWHERE, lxGROUP, lxHAVING, lxORDER, lxLIMIT, lxPROCEDURE, lxFOR, lxLOCK};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(parser.PosClauseLexem(order[i]), i);
    }
    EXPECT_EQ(parser.CompareClauseLexems(lxORDER, lxLIMIT), -1);
    EXPECT_EQ(parser.CompareClauseLexems(lxLOCK, lxWHERE), 1);
    EXPECT_EQ(parser.CompareClauseLexems(lxUNION, lxWHERE), -2);
    EXPECT_EQ(parser.GetSymbolByCode(lxSTRAIGHT_JOIN), u"STRAIGHT_JOIN");
    EXPECT_EQ(MyKeywordLexems().Count(), SQLKeywordLexems().Count() + 26);
}

TEST(TMyParser, UnknownSymbolOutsideStrings) {
    TMyParser harmless(u"select '\x01', `\x02`, \"\x03\" # \x04\n-- \x05\n/* \x06 */");
    EXPECT_EQ(Tokens(harmless).size(), 9u);
    for (const bool uni : {false, true}) {
        const std::u16string_view text = u"select \x01";
        std::unique_ptr<TMyParser> parser =
            uni ? std::make_unique<TMyUniParser>(text) : std::make_unique<TMyParser>(text);
        EXPECT_EQ(parser->GetNextToken(), lxSELECT);
        try {
            parser->GetNextToken();
            ADD_FAILURE() << "no exception";
        } catch (const platform::Exception& error) {
            EXPECT_EQ(error.Message(), "Parser: The unknown symbol '\x01'  $0001");
        }
    }
}

// Reads to the end or to an exception; false when a lexeme lies outside the text or a token
// makes no progress.
bool StaysInside(TParser& parser, std::u16string_view text) {
    std::size_t tokens = 0;
    try {
        while (parser.GetNextToken() != lcEnd) {
            if (parser.LexemPos() + parser.LexemLength() > text.size() ||
                parser.CurrPos() > text.size() || ++tokens > text.size()) {
                return false;
            }
        }
        return parser.CurrPos() == text.size();
    } catch (const platform::Exception&) {
        return true;
    }
}

// Every text of up to four characters from an alphabet of quotes, escapes, comment starts,
// line ends and control characters: each lexer reaches the end or raises, every lexeme lies
// inside the text, and every token makes progress.
TEST(Lexers, EveryShortTextStaysInsideTheText) {
    const std::u16string_view alphabet = u"'\"`\\-#/*:\r\n a1.\0\xD800"sv;
    TParser base(u"");
    TSQLParser sql(u"");
    TMyParser my(u"");
    TMyUniParser myUni(u"");
    TParser* const lexers[] = {&base, &sql, &my, &myUni};
    for (TParser* parser : lexers) {
        parser->SetOmitBlank(false);
    }
    std::u16string text;
    std::vector<std::size_t> digits;
    std::size_t texts = 0;
    for (std::size_t length = 0; length <= 4; ++length) {
        digits.assign(length, 0);
        for (;;) {
            text.clear();
            for (const std::size_t d : digits) {
                text += alphabet[d];
            }
            ++texts;
            for (TParser* parser : lexers) {
                for (const bool quoted : {false, true}) {
                    parser->SetText(text);
                    parser->SetQuotedString(quoted);
                    ASSERT_TRUE(StaysInside(*parser, text)) << Show(text);
                }
            }
            std::size_t i = 0;
            while (i < length && ++digits[i] == alphabet.size()) {
                digits[i++] = 0;
            }
            if (i == length) {
                break;
            }
        }
    }
    std::size_t all = 0;
    for (std::size_t length = 0, count = 1; length <= 4; ++length, count *= alphabet.size()) {
        all += count;
    }
    EXPECT_EQ(texts, all);
}

}  // namespace
