#include "data_access/macros.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exceptions.h"
#include "tests/data_access/lexer_tokens.h"

namespace {

using data_access::TMacro;
using data_access::TMacros;
using data_access::TParser;
using data_access::TSQLParser;
using lexer_test::Show;

std::unique_ptr<TParser> MakeSQLParser(std::u16string_view text) {
    return std::make_unique<TSQLParser>(text);
}

// The base lexer has "&" in its symbol list, so the marker comes with a positive code there.
std::unique_ptr<TParser> MakeBaseParser(std::u16string_view text) {
    return std::make_unique<TParser>(text);
}

std::vector<std::u16string> Names(TMacros& macros) {
    std::vector<std::u16string> names;
    for (int i = 0; i < macros.Count(); ++i) {
        names.push_back(macros[i].Name);
    }
    return names;
}

struct ScanCase {
    TMacros::TParserFactory Factory;
    std::u16string_view Text;
    std::vector<std::u16string> Expected;
};

TEST(TMacros, ScanFindsNamesOutsideStringsAndComments) {
    const ScanCase cases[] = {
        {MakeSQLParser, u"select * from &tbl where &cond", {u"tbl", u"cond"}},
        {MakeSQLParser, u"&b &a &b &a", {u"b", u"a"}},
        {MakeSQLParser, u"&Tbl &TBL &tbl", {u"Tbl"}},
        {MakeSQLParser, u"&имя &ИМЯ", {u"имя", u"ИМЯ"}},  // only a to z fold
        {MakeSQLParser, u"a&b", {u"b"}},
        {MakeSQLParser, u"&&x", {u"x"}},
        {MakeSQLParser, u"select '&s', 'it''s &t' from &tbl", {u"tbl"}},
        {MakeSQLParser, u"-- &c\n/* &d */ &e", {u"e"}},
        {MakeSQLParser, u"'&unterminated", {}},
        {MakeSQLParser, u"\"&q\" &\"q\"", {}},
        {MakeSQLParser, u"& x &\t&\n&", {}},
        {MakeSQLParser, u"&1st &2 &3 x &4,y", {u"1st"}},
        {MakeSQLParser, u"&order by &Where &_x", {u"order", u"Where", u"_x"}},
        {MakeSQLParser, u"&1from", {u"1from"}},
        {MakeSQLParser, u"select * from orders", {}},
        {MakeSQLParser, u"", {}},
        {MakeBaseParser, u"&x and &and \"&s\" // &c", {u"x", u"and"}},
        {MakeBaseParser, u"&(&_", {u"_"}},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(Show(c.Text));
        TMacros macros(c.Factory);
        macros.Scan(c.Text);
        EXPECT_EQ(Names(macros), c.Expected);
        for (int i = 0; i < macros.Count(); ++i) {
            EXPECT_EQ(macros[i].Value, u"");
            EXPECT_TRUE(macros[i].Active);
        }
    }
}

TEST(TMacros, RescanKeepsSurvivingMacrosAndDropsGoneOnes) {
    TMacros macros(MakeSQLParser);
    macros.Scan(u"&a &b");
    macros.MacroByName(u"a").Value = u"1";
    macros.MacroByName(u"a").Active = false;
    macros.MacroByName(u"b").Value = u"2";

    macros.Scan(u"&c &A");
    ASSERT_EQ(Names(macros), (std::vector<std::u16string>{u"c", u"a"}));
    EXPECT_EQ(macros[0].Value, u"");
    EXPECT_TRUE(macros[0].Active);
    EXPECT_EQ(macros[1].Value, u"1");
    EXPECT_FALSE(macros[1].Active);
    EXPECT_EQ(macros.FindMacro(u"b"), nullptr);

    macros.Scan(u"select 1");
    EXPECT_EQ(macros.Count(), 0);
}

TEST(TMacros, UnchangedRescanKeepsTheVerySameMacros) {
    TMacros macros(MakeSQLParser);
    macros.Scan(u"&a &b");
    const TMacro* first = &macros[0];
    macros.Scan(u"&A and &b or &a");
    EXPECT_EQ(&macros[0], first);
    EXPECT_EQ(Names(macros), (std::vector<std::u16string>{u"a", u"b"}));
}

TEST(TMacros, TextWithoutMarkerIsNotLexed) {
    int made = 0;
    TMacros macros([&made](std::u16string_view text) {
        ++made;
        return MakeSQLParser(text);
    });
    // A control character stops the lexer, so lexing this text would raise.
    const std::u16string_view text = u"select \x01 from orders";
    macros.Scan(text);
    EXPECT_EQ(macros.Count(), 0);
    EXPECT_EQ(macros.Expand(text), text);
    EXPECT_EQ(made, 0);
    macros.Scan(u"&a");
    EXPECT_EQ(made, 1);
}

class TMacrosExpand : public ::testing::Test {
protected:
    void SetUp() override {
        FMacros.Scan(u"&tbl &cond &off &order &1st &raw");
        FMacros.MacroByName(u"tbl").Value = u"orders";
        FMacros.MacroByName(u"cond").Value = u"id = 1";
        FMacros.MacroByName(u"off").Value = u"limit 1";
        FMacros.MacroByName(u"off").Active = false;
        FMacros.MacroByName(u"order").Value = u"order by id";
        FMacros.MacroByName(u"1st").Value = u"first";
        FMacros.MacroByName(u"raw").Value = u"&tbl";
    }

    TMacros FMacros{MakeSQLParser};
};

TEST_F(TMacrosExpand, ReplacesKnownReferencesAndCopiesTheRest) {
    struct ExpandCase {
        std::u16string_view Text;
        std::u16string_view Expected;
    };
    const ExpandCase cases[] = {
        {u"select * from &tbl where &cond", u"select * from orders where id = 1"},
        {u"select * from &TBL &Order", u"select * from orders order by id"},
        {u"select 1 from t &off;", u"select 1 from t ;"},
        {u"&&tbl", u"&orders"},
        {u"x&tbl.id", u"xorders.id"},
        {u"&1st", u"first"},
        {u"&raw", u"&tbl"},  // a value is not expanded again
        {u"SeLeCt\t*\r\n  FROM &tbl", u"SeLeCt\t*\r\n  FROM orders"},
        {u"select &unknown, &1 x, & tbl, &", u"select &unknown, &1 x, & tbl, &"},
        {u"&2tbl &\"tbl\" &'tbl'", u"&2tbl &\"tbl\" &'tbl'"},
        {u"select '&tbl', 'it''s' -- &tbl\n/* &cond */ from &tbl",
         u"select '&tbl', 'it''s' -- &tbl\n/* &cond */ from orders"},
        {u"select '&tbl", u"select '&tbl"},
        {u"select 'Заказ №1' as заказ from &tbl -- ёлка",
         u"select 'Заказ №1' as заказ from orders -- ёлка"},
        {u"select 'Заказ' as заказ from orders", u"select 'Заказ' as заказ from orders"},
    };
    for (const ExpandCase& c : cases) {
        SCOPED_TRACE(Show(c.Text));
        EXPECT_EQ(FMacros.Expand(c.Text), c.Expected);
    }
}

TEST(TMacros, MacroByNameRaisesForAnUnknownName) {
    TMacros macros(MakeSQLParser);
    macros.Scan(u"&tbl");
    EXPECT_EQ(&macros.MacroByName(u"TBL"), macros.FindMacro(u"tbl"));
    EXPECT_EQ(macros.FindMacro(u"заказ"), nullptr);
    try {
        macros.MacroByName(u"заказ");
        FAIL() << "no exception";
    } catch (const platform::EDatabaseError& error) {
        EXPECT_EQ(error.Message(), "Macro 'заказ' not found");
    }
}

}  // namespace
