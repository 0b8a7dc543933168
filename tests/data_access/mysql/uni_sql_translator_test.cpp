#include "data_access/uni_sql_translator.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "data_access/mysql/my_parser.h"
#include "data_access/mysql/my_uni_sql_formatter.h"
#include "platform/exceptions.h"
#include "tests/data_access/lexer_tokens.h"

namespace {

using namespace data_access;
using namespace data_access::mysql;
using lexer_test::Show;

// The connection's macros of the cases: one of its own, one overriding the provider's PROVIDER.
const TUniMacros& ConnectionMacros() {
    static const TUniMacros macros = {
        {u"Shop", u"restaurant"},
        {u"provider", u"MariaDB"},
    };
    return macros;
}

std::u16string Translate(std::u16string_view text) {
    static const TMyUniSqlFormatter formatter;
    return TranslateUniSql(text, formatter, ConnectionMacros());
}

struct TranslateCase {
    std::u16string_view Text;
    std::u16string_view Expected;
};

TEST(TranslateUniSql, Translates) {
    const TranslateCase cases[] = {
        // The service's statement: nothing to translate, returned as it is.
        {u"select * from print where status='no' ORDER BY id ASC",
         u"select * from print where status='no' ORDER BY id ASC"},
        {u"", u""},
        // {if}, {else}, {endif}: a provider macro, an undefined name, case of a to z ignored.
        {u"select {if MYSQL}1{else}2{endif} x", u"select 1 x"},
        {u"select {if ORACLE}1{else}2{endif} x", u"select 2 x"},
        {u"select {IF mysql}1{ELSE}2{EndIf} x", u"select 1 x"},
        {u"a{if ORACLE} b{endif} c", u"a c"},
        {u"a{ if  MYSQL }b{ endif }c", u"abc"},
        // Nested: inner conditions count only in the kept branch.
        {u"{if MYSQL}a{if ORACLE}b{else}c{endif}d{else}e{endif}", u"acd"},
        {u"{if ORACLE}a{if MYSQL}b{else}c{endif}d{else}e{if MYSQL}f{endif}{endif}", u"ef"},
        {u"{if ORACLE}{fn NOPE(a, {x}, (b))}{endif}x", u"x"},
        {u"{if ORACLE}{unknown}{PROVIDER}\"q\" -- c\n{endif}x", u"x"},
        // {if} on a connection macro.
        {u"{if shop}s{else}n{endif}", u"s"},
        {u"{if SHOP}{shop}{endif}", u"restaurant"},
        // {fn}: no, one, two and three arguments, indexed arguments, case of the name ignored.
        {u"select {fn USER()}", u"select USER()"},
        {u"select {fn user}", u"select USER()"},
        {u"{fn CURRENT_DATE}", u"CURRENT_DATE"},
        {u"{fn char_length(name)}", u"CHAR_LENGTH(name)"},
        {u"{fn Year(d)}, {fn MONTH(d)}, {fn DAY(d)}", u"YEAR(d), MONTH(d), EXTRACT(DAY FROM d)"},
        {u"{fn CONCAT( a ,  'b, c' )}", u"CONCAT(a, 'b, c')"},
        {u"{fn LOCATE('x', s)}", u"LOCATE('x', s)"},
        {u"{fn SUBSTRING(s, 1, 2)}", u"SUBSTRING(s, 1, 2)"},
        {u"{fn TRUNCATE(f(a, b), 2)}", u"TRUNCATE(f(a, b), 2)"},
        {u"{fn DATEADD(day, 1, d)}", u"(d + INTERVAL '1' day)"},
        {u"{fn DATEADD(month,-3,{fn TODATE('2024-01-31')})}",
         u"(CAST('2024-01-31' AS DATETIME) + INTERVAL '-3' month)"},
        {u"{fn TONUMBER(x)} {fn TOCHAR(y)}", u"CAST(x AS DOUBLE) CAST(y AS VARCHAR)"},
        {u"{fn TRIM({fn CONCAT(a, {PROVIDER})})}", u"TRIM(CONCAT(a, MariaDB))"},
        {u"{fn CEILING({if MYSQL}a{else}b{endif})}", u"CEILING(a)"},
        {u"{fn CHAR(\"c\")}", u"CHAR(`c`)"},
        // A missing argument is empty text.
        {u"{fn CONCAT(a)}", u"CONCAT(a, )"},
        {u"{fn DATEADD(day)}", u"( + INTERVAL '' day)"},
        // An unknown function is kept as written, with its translated arguments.
        {u"{fn MyFunc(a,{fn USER()} ,  'x')}", u"MyFunc(a, USER(), 'x')"},
        {u"{fn NOPE()}", u"NOPE()"},
        {u"{fn NOPE}", u"NOPE"},
        // Date, time and timestamp literals.
        {u"{date '2024-05-01'}", u"CAST('2024-05-01' AS DATE)"},
        {u"{ TIME  '12:30:00' }", u"CAST('12:30:00' AS TIME)"},
        {u"{timestamp '2024-05-01 12:30:00'}", u"CAST('2024-05-01 12:30:00' AS DATETIME)"},
        // Macro references: the provider's, the connection's, the connection's overriding, unknown.
        {u"cast(x as {DATETIME})", u"cast(x as DATETIME)"},
        {u"[{MYSQL}]", u"[]"},
        {u"{double} {varchar}", u"DOUBLE VARCHAR"},
        {u"{Shop}", u"restaurant"},
        {u"{PROVIDER}", u"MariaDB"},
        {u"a{nothing}b", u"ab"},
        // Double-quoted names get backquotes; backquoted names stay.
        {u"select \"my col\" from `print`", u"select `my col` from `print`"},
        {u"\"a`b\"", u"`a``b`"},
        {u"select \"x", u"select \"x"},
        // "--" comments become block comments; one holding "*/" stays, "#" and /* */ stay.
        {u"select 1 -- one\nfrom t", u"select 1 /* one*/\nfrom t"},
        {u"select 1 -- one\r\n", u"select 1 /* one*/\r\n"},
        {u"select 1 -- a */ b\nx", u"select 1 -- a */ b\nx"},
        {u"select 1 # c {x}\n/* \"d\" {y} */", u"select 1 # c {x}\n/* \"d\" {y} */"},
        {u"a--b", u"a--b"},
        // Braces, double quotes and dashes in strings and backquotes are left alone.
        {u"select '{if x}\"a\"-- b' from t", u"select '{if x}\"a\"-- b' from t"},
        {u"select 'it\\'s {x}' {MYSQL}", u"select 'it\\'s {x}' "},
        {u"select `{x}`, `\"y\"` {PROVIDER}", u"select `{x}`, `\"y\"` MariaDB"},
        // A closing brace outside a construct is copied.
        {u"a } b {MYSQL}", u"a } b "},
        // Cyrillic text and other characters outside ASCII are copied unchanged.
        {u"select * from заказ where имя='Борщ'", u"select * from заказ where имя='Борщ'"},
        {u"select \"блюдо\" from заказ where имя='Борщ {x}' {PROVIDER} -- ёж",
         u"select `блюдо` from заказ where имя='Борщ {x}' MariaDB /* ёж*/"},
        // Blanks and line ends as written.
        {u"\tselect\r\n  {DOUBLE}\n\n", u"\tselect\r\n  DOUBLE\n\n"},
    };
    for (const TranslateCase& c : cases) {
        EXPECT_EQ(Show(Translate(c.Text)), Show(c.Expected)) << Show(c.Text);
    }
}

TEST(TranslateUniSql, WithoutConnectionMacros) {
    const TMyUniSqlFormatter formatter;
    EXPECT_EQ(Show(TranslateUniSql(u"{PROVIDER}{if Shop}x{endif}{Shop}", formatter)), "MySQL");
}

struct ErrorCase {
    std::u16string_view Text;
    const char* Message;
};

TEST(TranslateUniSql, RaisesForMalformedConstructs) {
    const ErrorCase cases[] = {
        {u"select {if MYSQL x", "Unexpected character"},
        {u"select {MYSQL", "Unexpected character"},
        {u"select {fn USER(", "Unexpected character"},
        {u"select {fn CONCAT(a, b) x}", "Unexpected character"},
        {u"select {date 5}", "Unexpected character"},
        {u"select {}", "Empty macro or function name"},
        {u"select {  }", "Empty macro or function name"},
        {u"select {fn }", "Empty macro or function name"},
        {u"select {if }x{endif}", "Empty macro or function name"},
        {u"select 1 {else} 2", "Unexpected {else}"},
        {u"{if MYSQL}1{else}2{else}3{endif}", "Unexpected {else}"},
        {u"select 1 {endif}", "Unexpected {endif}"},
        {u"{if MYSQL}1{endif}{endif}", "Unexpected {endif}"},
        {u"select {if MYSQL} 1", "{if} statement not completed"},
        {u"{if ORACLE}{if MYSQL}{endif}", "{if} statement not completed"},
    };
    for (const ErrorCase& c : cases) {
        EXPECT_THROW(
            {
                try {
                    Translate(c.Text);
                } catch (const platform::EDatabaseError& e) {
                    EXPECT_STREQ(e.what(), c.Message) << Show(c.Text);
                    throw;
                }
            },
            platform::EDatabaseError)
            << Show(c.Text);
    }
}

// The MySQL formatter's tables: names ignoring case, unknown names nullptr.
TEST(TMyUniSqlFormatter, Tables) {
    const TMyUniSqlFormatter formatter;
    EXPECT_EQ(Show(formatter.FunctionFormat(u"dateadd")), "(%2:s + INTERVAL '%1:s' %0:s)");
    EXPECT_EQ(Show(formatter.FunctionFormat(u"CEILING")), "CEILING(%s)");
    EXPECT_EQ(Show(formatter.FunctionFormat(u"Year")), "YEAR(%s)");
    EXPECT_EQ(formatter.FunctionFormat(u"NOW"), nullptr);
    EXPECT_EQ(formatter.FunctionFormat(u""), nullptr);
    EXPECT_EQ(formatter.FunctionFormat(u"CHAR_"), nullptr);
    EXPECT_EQ(Show(formatter.LiteralFormat(u"Timestamp")), "CAST(%s AS DATETIME)");
    EXPECT_EQ(formatter.LiteralFormat(u"fn"), nullptr);
    EXPECT_EQ(formatter.ProviderMacros().size(), 5u);
    EXPECT_EQ(formatter.IdentQuotes(), std::make_pair(u'`', u'`'));
    const auto parser = formatter.CreateParser(u"\"a\"");
    EXPECT_NE(dynamic_cast<TMyUniParser*>(parser.get()), nullptr);
    EXPECT_EQ(parser->GetNextToken(), lcIdent);
}

}  // namespace
