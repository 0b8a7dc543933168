#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>

#include "platform/exceptions.h"

namespace {

using platform::AnsiToUtf16;
using platform::String;
using platform::Utf16ToAnsi;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

struct Utf8Case {
    const char* name;
    String utf16;
    std::string utf8;
};

TEST(Utf8, ValidTextConvertsBothWaysWithoutLoss) {
    const Utf8Case cases[] = {
        {"empty", u"", ""},
        {"ascii", u"select * from print", "select * from print"},
        {"nul inside", String(u"a\0b", 3), std::string("a\0b", 3)},
        {"cyrillic", u"Привет", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"currency sign", u"1500 тг.", "1500 \xD1\x82\xD0\xB3."},
        {"first two-byte", u"\u0080", "\xC2\x80"},
        {"last two-byte", u"\u07FF", "\xDF\xBF"},
        {"first three-byte", u"\u0800", "\xE0\xA0\x80"},
        {"euro", u"\u20AC", "\xE2\x82\xAC"},
        {"last before surrogates", u"\uD7FF", "\xED\x9F\xBF"},
        {"first after surrogates", u"\uE000", "\xEE\x80\x80"},
        {"last three-byte", u"\uFFFF", "\xEF\xBF\xBF"},
        {"first four-byte", u"\xD800\xDC00", "\xF0\x90\x80\x80"},
        {"emoji between letters", u"a\xD83D\xDE00z", "a\xF0\x9F\x98\x80z"},
        {"last code point", u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
    };
    for (const Utf8Case& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.name;
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
    }
}

TEST(Utf8, UnpairedSurrogatesBecomeReplacementCharacters) {
    const Utf8Case cases[] = {
        {"high at end", u"a\xD800", "a\xEF\xBF\xBD"},
        {"high before letter", u"\xD800z", "\xEF\xBF\xBDz"},
        {"lone low", u"\xDC00", "\xEF\xBF\xBD"},
        {"reversed pair", u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"two highs then low", u"\xD800\xD800\xDC00", "\xEF\xBF\xBD\xF0\x90\x80\x80"},
    };
    for (const Utf8Case& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.name;
    }
}

TEST(Utf8, MalformedBytesBecomeOneReplacementPerMaximalPart) {
    const Utf8Case cases[] = {
        {"stray continuation", u"a\uFFFDb",
         "a\x80"
         "b"},
        {"invalid lead bytes", u"\uFFFD\uFFFD\uFFFD", "\xC0\xF5\xFF"},
        {"overlong two-byte", u"\uFFFD\uFFFD", "\xC0\xAF"},
        {"overlong three-byte", u"\uFFFD\uFFFD\uFFFD", "\xE0\x80\xAF"},
        {"overlong four-byte", u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF0\x80\x80\xAF"},
        {"encoded surrogate", u"\uFFFD\uFFFD\uFFFD", "\xED\xA0\x80"},
        {"above U+10FFFF", u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80"},
        {"cut at end", u"a\uFFFD", "a\xE2\x82"},
        {"cut four-byte", u"\uFFFD", "\xF0\x9F\x98"},
        {"lead at end", u"\uFFFD", "\xD0"},
        {"cut by ascii is reread", u"\uFFFDA",
         "\xE2\x82"
         "A"},
        {"cut by new lead is reread", u"\uFFFD\u0416", "\xE2\xD0\x96"},
    };
    for (const Utf8Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
    }
}

TEST(Utf8, NeverReadsPastTheEndOfItsInput) {
    // Every prefix of multi-byte sequences, each in a heap block of exactly its size, so that
    // the address sanitizer catches a single byte read too far.
    const std::string whole = "\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80";
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const auto block = std::make_unique<char[]>(length);
        std::memcpy(block.get(), whole.data(), length);
        const String text = Utf8ToUtf16(std::string_view(block.get(), length));
        EXPECT_LE(text.size(), length) << length;
    }
}

class AnsiCodePage : public testing::Test {
protected:
    void TearDown() override { platform::SetAnsiCodePage(1251); }
};

TEST_F(AnsiCodePage, CyrillicIsTheDefault) {
    EXPECT_EQ(platform::AnsiCodePage(), 1251u);
    const std::string bytes = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0";
    EXPECT_EQ(Utf16ToAnsi(u"Привет, мир"), bytes);
    EXPECT_EQ(AnsiToUtf16(bytes), u"Привет, мир");
}

struct ByteCase {
    unsigned char byte;
    char16_t character;
};

TEST_F(AnsiCodePage, Cp1251TableHoldsTheCyrillicLetters) {
    const ByteCase cases[] = {
        {0x41, u'A'}, {0x80, u'Ђ'},      {0x88, u'€'}, {0x98, u'\u0098'}, {0xA8, u'Ё'},
        {0xB8, u'ё'}, {0xB9, u'№'},      {0xC0, u'А'}, {0xDF, u'Я'},      {0xE0, u'а'},
        {0xFF, u'я'}, {0xA0, u'\u00A0'}, {0xAA, u'Є'}, {0xB2, u'І'},
    };
    for (const ByteCase& c : cases) {
        const std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(AnsiToUtf16(byte), String(1, c.character)) << int(c.byte);
        EXPECT_EQ(Utf16ToAnsi(String(1, c.character)), byte) << int(c.byte);
    }
}

TEST_F(AnsiCodePage, Cp1252TableHoldsTheWesternLetters) {
    platform::SetAnsiCodePage(1252);
    EXPECT_EQ(platform::AnsiCodePage(), 1252u);
    const ByteCase cases[] = {
        {0x80, u'€'}, {0x81, u'\u0081'}, {0x8A, u'Š'}, {0x9F, u'Ÿ'},
        {0xC0, u'À'}, {0xE9, u'é'},      {0xFF, u'ÿ'},
    };
    for (const ByteCase& c : cases) {
        const std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(AnsiToUtf16(byte), String(1, c.character)) << int(c.byte);
        EXPECT_EQ(Utf16ToAnsi(String(1, c.character)), byte) << int(c.byte);
    }
}

TEST_F(AnsiCodePage, EveryByteSurvivesTheRoundTripInBothPages) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    for (unsigned page : {1251u, 1252u}) {
        platform::SetAnsiCodePage(page);
        const String text = AnsiToUtf16(all);
        ASSERT_EQ(text.size(), 256u);
        EXPECT_EQ(std::set<char16_t>(text.begin(), text.end()).size(), 256u) << page;
        EXPECT_EQ(Utf16ToAnsi(text), all) << page;
    }
}

TEST_F(AnsiCodePage, CharactersThePageLacksBecomeQuestionMarks) {
    EXPECT_EQ(Utf16ToAnsi(u"Ωé"), "??");
    EXPECT_EQ(Utf16ToAnsi(u"a\xD83D\xDE00z"), "a?z");
    EXPECT_EQ(Utf16ToAnsi(u"\xD800z\xDC00"), "?z?");
    platform::SetAnsiCodePage(1252);
    EXPECT_EQ(Utf16ToAnsi(u"Жé"), "?\xE9");
}

TEST_F(AnsiCodePage, UnsupportedPageIsRefusedAndTheOldOneKept) {
    platform::SetAnsiCodePage(1252);
    try {
        platform::SetAnsiCodePage(866);
        FAIL() << "no exception";
    } catch (const platform::EArgumentException& e) {
        EXPECT_EQ(e.Message(), "Code page 866 is not supported");
    }
    EXPECT_EQ(platform::AnsiCodePage(), 1252u);
}

}  // namespace
