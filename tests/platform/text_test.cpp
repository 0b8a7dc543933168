#include "platform/text.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/exceptions.h"

namespace {

using platform::String;
using platform::TStringList;

std::vector<String> Lines(const TStringList& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i) {
        lines.push_back(list[i]);
    }
    return lines;
}

TEST(StringListText, JoinsEveryLineWithCrLfAfterIt) {
    TStringList list;
    EXPECT_EQ(list.Text(), u"");
    EXPECT_EQ(list.Add(u"select *"), 0);
    EXPECT_EQ(list.Add(u""), 1);
    EXPECT_EQ(list.Add(u"from print"), 2);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Text(), u"select *\r\n\r\nfrom print\r\n");
}

struct SplitCase {
    const char16_t* text;
    std::vector<String> lines;
};

TEST(StringListText, SplitsAtCrLfLfAndLoneCr) {
    const SplitCase cases[] = {
        {u"", {}},
        {u"a", {u"a"}},
        {u"a\r\nb", {u"a", u"b"}},
        {u"a\nb\rc", {u"a", u"b", u"c"}},
        {u"a\r\n", {u"a"}},
        {u"\r\n", {u""}},
        {u"a\n\n", {u"a", u""}},
        {u"a\r\r\nb", {u"a", u"", u"b"}},
        {u"a\n\rb", {u"a", u"", u"b"}},
        {u" x \r\n\r\n y ", {u" x ", u"", u" y "}},
    };
    for (const SplitCase& c : cases) {
        TStringList list;
        list.Add(u"old line");
        list.SetText(c.text);
        EXPECT_EQ(Lines(list), c.lines) << "text: " << testing::PrintToString(String(c.text));
    }
}

TEST(StringListText, TextOfSplitLinesRestoresCrLfText) {
    TStringList list;
    list.SetText(u"select 1\r\nfrom dual\r\n");
    EXPECT_EQ(list.Text(), u"select 1\r\nfrom dual\r\n");
}

TEST(StringList, EveryChangeNotifiesOnce) {
    TStringList list;
    int changes = 0;
    list.OnChange = [&changes] { ++changes; };
    list.Add(u"a");
    EXPECT_EQ(changes, 1);
    list.Put(0, u"b");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(list[0], u"b");
    list.SetText(u"x\r\ny");
    EXPECT_EQ(changes, 3);
    list.Clear();
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, IndexOutsideTheListRaises) {
    TStringList list;
    list.Add(u"a");
    list.Add(u"b");
    try {
        (void)list[2];
        FAIL() << "no exception";
    } catch (const platform::EArgumentException& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (2)");
    }
    EXPECT_THROW((void)list[-1], platform::EArgumentException);
    EXPECT_THROW(list.Put(2, u"c"), platform::EArgumentException);
    EXPECT_EQ(Lines(list), (std::vector<String>{u"a", u"b"}));
}

TEST(AsciiNames, UpperCaseTouchesOnlyLatinLetters) {
    EXPECT_EQ(platform::AsciiUpperCase(u"select_1 Имя ß z{"), u"SELECT_1 Имя ß Z{");
}

TEST(AsciiNames, CompareIgnoresLatinCaseOnly) {
    EXPECT_TRUE(platform::AsciiSameText(u"Status", u"sTATUS"));
    EXPECT_FALSE(platform::AsciiSameText(u"Имя", u"имя"));
    EXPECT_FALSE(platform::AsciiSameText(u"id", u"id_1"));
    EXPECT_EQ(platform::AsciiCompareText(u"ID", u"id"), 0);
    EXPECT_LT(platform::AsciiCompareText(u"abc", u"ABD"), 0);
    EXPECT_GT(platform::AsciiCompareText(u"ABD", u"abc"), 0);
    EXPECT_LT(platform::AsciiCompareText(u"id", u"ID_1"), 0);
    // Letters compare as capitals, so they sort before "_" (0x5F), never after it.
    EXPECT_LT(platform::AsciiCompareText(u"a", u"_"), 0);
    EXPECT_GT(platform::AsciiCompareText(u"_", u"A"), 0);
}

TEST(Trimming, TrailingBlanksAreSpacesOnly) {
    EXPECT_EQ(platform::TrimTrailingBlanks(u"  ab  "), u"  ab");
    EXPECT_EQ(platform::TrimTrailingBlanks(u"   "), u"");
    EXPECT_EQ(platform::TrimTrailingBlanks(u"a\t "), u"a\t");
    EXPECT_EQ(platform::TrimTrailingBlanks(std::string_view(" ab  ")), " ab");
    EXPECT_EQ(platform::TrimTrailingBlanks(std::string_view("a\n")), "a\n");
}

TEST(Trimming, TrimRightDropsEveryCharacterBelow33) {
    EXPECT_EQ(platform::TrimRight(u" select 1\r\n\t \x01"), u" select 1");
    EXPECT_EQ(platform::TrimRight(u"\r\n"), u"");
    EXPECT_EQ(platform::TrimRight(u"a!"), u"a!");
}

}  // namespace
