#include "data_access/mem_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "mem_data_fixture.h"
#include "platform/date_time.h"
#include "platform/exceptions.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace {

using namespace storage_test;
using platform::String;
using ::testing::StartsWith;

void ExpectAssertion(const std::function<void()>& action, const std::string& text) {
    try {
        action();
        ADD_FAILURE() << "no assertion failure, expected " << text;
    } catch (const platform::EAssertionFailed& e) {
        EXPECT_THAT(e.Message(), StartsWith(text));
    }
}

template <typename T>
T Read(const void* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void* SlotRef(const std::uint8_t* record, const TFieldDesc& field) {
    return Read<void*>(record + field.FOffset);
}

// Reads a field of the current record into a buffer the size the data set would give it.
struct TRead {
    bool IsNull;
    std::vector<std::uint8_t> Bytes;
};

TRead ReadField(TMemData& data, std::uint8_t* record, int fieldNo, std::size_t size = 256) {
    TRead read{false, std::vector<std::uint8_t>(size, 0xCC)};
    data.GetField(fieldNo, record, read.IsNull, true, read.Bytes.data());
    return read;
}

String WideText(const TRead& read) {
    String text;
    for (std::size_t i = 0;; i += 2) {
        const char16_t c = Read<char16_t>(read.Bytes.data() + i);
        if (c == 0) {
            return text;
        }
        text += c;
    }
}

std::string Text(const TRead& read) {
    return reinterpret_cast<const char*>(read.Bytes.data());
}

// --- Layout -----------------------------------------------------------------------------------

TEST(TMemDataLayout, FieldsFollowEachOtherWithWideStringsAtEvenOffsets) {
    const struct {
        const char* name;
        std::vector<TColumn> columns;
        std::vector<std::int32_t> offsets;
        std::int32_t dataSize;
        std::int32_t recordSize;
    } cases[] = {
        // id INT, name VARCHAR(20), status VARCHAR(3) under Unicode.
        {"print row",
         {{u"id", dtInt32}, {u"name", dtWideString, 20}, {u"status", dtWideString, 3}},
         {0, 4, 46},
         54,
         57},
        {"filler before a wide string",
         {{u"code", dtString, 4}, {u"name", dtWideString, 2}},
         {0, 6},
         12,
         15},
        {"even total made odd",
         {{u"a", dtInt32}, {u"b", dtInt32}, {u"c", dtInt8}, {u"d", dtExtWideString, 40}},
         {0, 4, 8, 10},
         10 + ReferenceSize,
         AlignRecordSize(10 + ReferenceSize + 4)},
    };
    for (const auto& c : cases) {
        TTestRecordSet data(c.columns, {});
        data.Open();
        for (std::size_t i = 0; i < c.offsets.size(); ++i) {
            EXPECT_EQ(data.Fields()[int(i)].FOffset, c.offsets[i]) << c.name << " field " << i;
        }
        EXPECT_EQ(data.DataSize(), c.dataSize) << c.name;
        EXPECT_EQ(data.RecordSize(), c.recordSize) << c.name;
        EXPECT_EQ(data.RecordSize() % 2, 1) << c.name;
        EXPECT_EQ((sizeof(TItemHeader) + std::size_t(data.RecordSize())) % 2, 0u) << c.name;
    }
}

TEST(TMemDataLayout, RecordsOfABlockStayTwoByteAligned) {
    TTestRecordSet data(
        {{u"id", dtInt32}, {u"name", dtWideString, 20}, {u"status", dtWideString, 3}},
        std::vector<TRow>(3, TRow{std::int64_t(1), String(u"a"), String(u"b")}));
    data.Open();
    for (PItemHeader item = data.First(); item; item = item->Next) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(ItemRecord(item)) % 2, 0u);
    }
    // The indicator bytes follow the data: 54 to 56.
    data.SetToBegin();
    data.GetNextRecord(nullptr);
    EXPECT_EQ(data.CurrentRecord()[54], 0);
    data.SetNull(2, data.CurrentRecord(), true);
    EXPECT_EQ(data.CurrentRecord()[55], 1);
}

// --- Names ------------------------------------------------------------------------------------

std::vector<String> AliasesOf(const std::vector<String>& names) {
    std::vector<TColumn> columns;
    for (const String& name : names) {
        columns.push_back({name, dtInt32});
    }
    TTestRecordSet data(columns, {});
    data.Open();
    std::vector<String> aliases;
    for (const auto& field : data.Fields()) {
        aliases.push_back(field->FName);
    }
    return aliases;
}

TEST(TMemDataNames, EqualNamesGetNumbers) {
    const struct {
        std::vector<String> names;
        std::vector<String> aliases;
    } cases[] = {
        {{u"id", u"id", u"id"}, {u"id", u"id_1", u"id_2"}},
        {{u"id", u"name", u"id", u"name"}, {u"id", u"name", u"id_1", u"name_1"}},
        {{u"id", u"ID", u"Id", u"name", u"name"}, {u"id", u"ID_1", u"Id_2", u"name", u"name_1"}},
        {{u""}, {u"_0"}},
        {{u"", u""}, {u"_0", u"_1"}},
        // A number already taken by a column is skipped.
        {{u"id", u"id", u"id_1"}, {u"id", u"id_2", u"id_1"}},
        {{u"a", u"b"}, {u"a", u"b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AliasesOf(c.names), c.aliases);
    }
}

TEST(TMemDataNames, FieldsAreFoundByNameIgnoringCase) {
    TTestRecordSet data({{u"Id", dtInt32}, {u"name", dtWideString, 5}}, {});
    data.Open();
    EXPECT_EQ(data.FindField(u"ID"), &data.Fields()[0]);
    EXPECT_EQ(&data.FieldByName(u"NAME"), &data.Fields()[1]);
    EXPECT_EQ(data.FindField(u"status"), nullptr);
    try {
        data.FieldByName(u"статус");
        ADD_FAILURE() << "no error";
    } catch (const platform::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field статус not found");
    }
}

// --- Values -----------------------------------------------------------------------------------

// Every type the MySQL record set stores, with and without UseUnicode.
const std::vector<TColumn> AllTypes = {
    {u"b", dtBoolean},
    {u"i8", dtInt8},
    {u"u8", dtUInt8},
    {u"i16", dtInt16},
    {u"u16", dtUInt16},
    {u"i32", dtInt32},
    {u"u32", dtUInt32},
    {u"i64", dtInt64},
    {u"f", dtFloat},
    {u"d", dtDate},
    {u"t", dtTime},
    {u"dt", dtDateTime},
    {u"ws", dtWideString, 10},
    {u"ews", dtExtWideString, 40},
    {u"wm", dtWideMemo},
    {u"blob", dtBlob},
    {u"memo", dtMemo},
    {u"s", dtString, 10},
    {u"es", dtExtString, 40},
    {u"by", dtBytes, 4},
    {u"vb", dtVarBytes, 6},
    {u"evb", dtExtVarBytes, 50},
};

double DateOf(int row) {
    return platform::EncodeDate(2024, 1, 1) + row;
}
double TimeOf(int row) {
    return platform::EncodeTime(row % 24, row % 60, 30, 250);
}

TRow RowOf(int n) {
    const String number = platform::IntToStr(n);
    return {std::int64_t(n % 2),
            std::int64_t(-n % 128),
            std::int64_t(n % 256),
            std::int64_t(-n),
            std::int64_t(60000 + n),
            std::int64_t(-100000 * n),
            std::int64_t(4000000000LL - n),
            std::int64_t(-5000000000LL * n),
            n + 0.25,
            DateOf(n),
            TimeOf(n),
            DateOf(n) + TimeOf(n),
            String(u"ряд ") + number,
            String(u"Длинное значение строки номер ") + number,
            String(u"Заметка\n") + number,
            std::string("\x00\x01\xFF", 3) + std::to_string(n),
            String(u"memo ") + number,
            "row " + std::to_string(n),
            "long row " + std::to_string(n),
            std::string("\x01\x02", 2),
            std::string("v") + std::to_string(n),
            std::string(30, 'x') + std::to_string(n)};
}

std::vector<TRow> RowsOf(int count) {
    std::vector<TRow> rows;
    for (int n = 1; n <= count; ++n) {
        rows.push_back(RowOf(n));
    }
    return rows;
}

void ExpectRow(TTestRecordSet& data, std::uint8_t* rec, int n) {
    const auto integer = [&](int fieldNo, auto type) {
        return Read<decltype(type)>(ReadField(data, rec, fieldNo).Bytes.data());
    };
    EXPECT_EQ(integer(1, std::int16_t()), n % 2 ? -1 : 0);
    EXPECT_EQ(integer(2, std::int16_t()), -n % 128);
    EXPECT_EQ(integer(3, std::uint16_t()), n % 256);
    EXPECT_EQ(integer(4, std::int16_t()), -n);
    EXPECT_EQ(integer(5, std::uint16_t()), 60000 + n);
    EXPECT_EQ(integer(6, std::int32_t()), -100000 * n);
    EXPECT_EQ(integer(7, std::uint32_t()), 4000000000U - unsigned(n));
    EXPECT_EQ(integer(8, std::int64_t()), -5000000000LL * n);
    EXPECT_EQ(integer(9, double()), n + 0.25);
    // Dates as the platform's stamps: days since 0001-01-01 plus one, milliseconds of the day.
    const std::int32_t day = platform::DateDelta + std::int32_t(DateOf(n));
    const std::int32_t msecs = ((n % 24) * 3600 + (n % 60) * 60 + 30) * 1000 + 250;
    EXPECT_EQ(integer(10, std::int32_t()), day);
    EXPECT_EQ(integer(11, std::int32_t()), msecs);
    EXPECT_EQ(integer(12, double()), double(day) * platform::MSecsPerDay + msecs);
    const String number = platform::IntToStr(n);
    EXPECT_EQ(WideText(ReadField(data, rec, 13)), u"ряд " + number);
    EXPECT_EQ(WideText(ReadField(data, rec, 14)), u"Длинное значение строки номер " + number);
    for (int blobField : {15, 16, 17}) {
        const TRead read = ReadField(data, rec, blobField);
        EXPECT_FALSE(read.IsNull);
        EXPECT_EQ(Read<TBlob*>(read.Bytes.data()), data.GetObject(blobField, rec));
    }
    EXPECT_EQ(data.GetObject(15, rec)->AsWideString(), u"Заметка\n" + number);
    EXPECT_EQ(Text(ReadField(data, rec, 18)), "row " + std::to_string(n));
    EXPECT_EQ(Text(ReadField(data, rec, 19)), "long row " + std::to_string(n));
    const TRead bytes = ReadField(data, rec, 20);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.Bytes.data()), 4),
              std::string("\x01\x02\x00\x00", 4));
    const TRead varBytes = ReadField(data, rec, 21);
    const std::string v = "v" + std::to_string(n);
    EXPECT_EQ(Read<std::uint16_t>(varBytes.Bytes.data()), v.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(varBytes.Bytes.data()) + 2, v.size()), v);
    const TRead extBytes = ReadField(data, rec, 22);
    const std::string x = std::string(30, 'x') + std::to_string(n);
    EXPECT_EQ(Read<std::uint16_t>(extBytes.Bytes.data()), x.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(extBytes.Bytes.data()) + 2, x.size()), x);
}

TEST(TMemDataValues, ManyRecordsOfEveryTypeAcrossBlocks) {
    TTestRecordSet data(AllTypes, RowsOf(60));
    data.Open();
    // 25, 25 and 10 rows: the last block's 15 other slots are free items.
    EXPECT_EQ(data.GetRecordCount(), 60);
    EXPECT_EQ(data.BlockCount(), 3);
    EXPECT_EQ(data.FreeItemCount(), 15);
    EXPECT_TRUE(data.NoData());
    auto rec = data.AllocRecBuf();
    data.SetToBegin();
    for (int n = 1; n <= 60; ++n) {
        data.GetNextRecord(rec.get());
        ASSERT_FALSE(data.GetEOF()) << n;
        EXPECT_EQ(data.GetRecordNo(), n);
        SCOPED_TRACE(n);
        ExpectRow(data, rec.get(), n);
    }
    data.GetNextRecord(rec.get());
    EXPECT_TRUE(data.GetEOF());
}

TEST(TMemDataValues, NullValuesCopyNothing) {
    TRow nulls(AllTypes.size(), TNull{});
    TTestRecordSet data(AllTypes, {nulls});
    data.Open();
    auto rec = data.AllocRecBuf();
    data.SetToBegin();
    data.GetNextRecord(rec.get());
    for (int fieldNo = 1; fieldNo <= int(AllTypes.size()); ++fieldNo) {
        const TRead read = ReadField(data, rec.get(), fieldNo);
        EXPECT_TRUE(read.IsNull) << fieldNo;
        EXPECT_EQ(read.Bytes, std::vector<std::uint8_t>(256, 0xCC)) << fieldNo;
    }
}

TEST(TMemDataValues, StringsAreTrimmedAndGetCRLFWhenAsked) {
    const struct {
        const char* name;
        TColumn column;
        TValue value;
        bool convertEOL, trimFixed, trimVar;
        std::string expected;
    } cases[] = {
        {"lone LF", {u"s", dtString, 10}, "a\nb\r\nc", true, false, false, "a\r\nb\r\nc"},
        {"no room for CR", {u"s", dtString, 3}, "ab\n", true, false, false, "ab"},
        {"kept without ConvertEOL", {u"s", dtString, 10}, "a\nb", false, false, false, "a\nb"},
        {"heap string", {u"s", dtExtString, 40}, "x\ny", true, false, false, "x\r\ny"},
        {"heap string cut to length", {u"s", dtExtString, 3}, "abcdef", false, false, false, "abc"},
        {"fixed trimmed", {u"s", dtString, 6, true}, "ab   ", false, true, false, "ab"},
        {"fixed kept", {u"s", dtString, 6, true}, "ab   ", false, false, true, "ab   "},
        {"varying trimmed", {u"s", dtExtString, 40}, "ab  ", false, false, true, "ab"},
        {"all blanks", {u"s", dtString, 6, true}, "   ", false, true, false, ""},
    };
    for (const auto& c : cases) {
        TTestRecordSet data({c.column}, {{c.value}});
        data.ConvertEOL = c.convertEOL;
        data.SetTrimFixedChar(c.trimFixed);
        data.SetTrimVarChar(c.trimVar);
        data.Open();
        data.SetToBegin();
        data.GetNextRecord(nullptr);
        EXPECT_EQ(Text(ReadField(data, data.CurrentRecord(), 1)), c.expected) << c.name;
    }
    TTestRecordSet wide({{u"w", dtWideString, 8, true}, {u"e", dtExtWideString, 40}},
                        {{String(u"я\nб  "), String(u"ш\r\nщ ")}});
    wide.ConvertEOL = true;
    wide.SetTrimFixedChar(true);
    wide.Open();
    wide.SetToBegin();
    wide.GetNextRecord(nullptr);
    EXPECT_EQ(WideText(ReadField(wide, wide.CurrentRecord(), 1)), u"я\r\nб");
    EXPECT_EQ(WideText(ReadField(wide, wide.CurrentRecord(), 2)), u"ш\r\nщ ");
}

TEST(TMemDataValues, DatesInEveryForm) {
    const double value = platform::EncodeDateTime(2024, 3, 15, 13, 45, 30, 250);
    std::uint8_t stored[8];
    std::memcpy(stored, &value, sizeof value);
    const std::int32_t day = platform::DateDelta + std::int32_t(platform::EncodeDate(2024, 3, 15));
    const std::int32_t msecs = (13 * 3600 + 45 * 60 + 30) * 1000 + 250;
    std::int32_t stamp = 0;
    double number = 0;
    TData::GetDateFromBuf(stored, dfDate, &stamp);
    EXPECT_EQ(stamp, day);
    TData::GetDateFromBuf(stored, dfTime, &stamp);
    EXPECT_EQ(stamp, msecs);
    TData::GetDateFromBuf(stored, dfMSecs, &number);
    EXPECT_EQ(number, double(day) * 86400000.0 + msecs);
    TData::GetDateFromBuf(stored, dfDateTime, &number);
    EXPECT_EQ(number, value);
}

TEST(TMemDataValues, ABlobWithDataIsNotNull) {
    TTestRecordSet data({{u"m", dtWideMemo}, {u"i", dtInt32}}, {{TNull{}, std::int64_t(1)}});
    data.Open();
    data.SetToBegin();
    data.GetNextRecord(nullptr);
    std::uint8_t* rec = data.CurrentRecord();
    EXPECT_TRUE(data.GetNull(1, rec));
    EXPECT_EQ(data.GetBlobSize(1, rec, false, true), 0u);
    data.GetObject(1, rec)->SetAsWideString(u"текст");
    EXPECT_FALSE(data.GetNull(1, rec));
    EXPECT_EQ(rec[data.DataSize()], 0) << "indicator cleared";
    data.SetNull(1, rec, true);
    EXPECT_TRUE(data.GetNull(1, rec));
    EXPECT_TRUE(data.GetObject(1, rec)->IsEmpty());

    try {
        data.GetObject(2, rec);
        ADD_FAILURE() << "no error";
    } catch (const platform::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field is not BLOB");
    }
    bool isNull = false;
    ExpectAssertion([&] { data.GetField(3, rec, isNull, true, nullptr); }, "Assertion failure");
}

TEST(TMemDataValues, BlobsReadInEitherForm) {
    // Unicode content of 20 bytes: 20 as UTF-16, 10 as 8-bit text.
    TTestRecordSet data({{u"m", dtWideMemo}, {u"b", dtBlob}},
                        {{String(u"Привет мир"), std::string("Caf\xE9")}});
    data.Open();
    data.SetToBegin();
    data.GetNextRecord(nullptr);
    std::uint8_t* rec = data.CurrentRecord();
    EXPECT_EQ(data.GetBlobSize(1, rec, false, true), 20u);
    EXPECT_EQ(data.GetBlobSize(1, rec, false, false), 10u);
    char ansi[16] = {};
    EXPECT_EQ(data.ReadBlob(1, rec, 7, 0, ansi, false, false), 3u);
    EXPECT_EQ(platform::AnsiToUtf16(ansi), u"мир");
    char16_t wide[8] = {};
    EXPECT_EQ(data.ReadBlob(1, rec, 2, 6, wide, false, true), 6u);
    EXPECT_EQ(String(wide), u"рив");

    EXPECT_EQ(data.GetBlobSize(2, rec, false, true), 8u);
    EXPECT_EQ(data.ReadBlob(2, rec, 6, 0, wide, false, true), 2u);
    EXPECT_EQ(wide[0], platform::AnsiToUtf16("\xE9")[0]);
}

// --- Navigation -------------------------------------------------------------------------------

std::vector<TRow> NumberedRows(int count) {
    std::vector<TRow> rows;
    for (int n = 1; n <= count; ++n) {
        rows.push_back({std::int64_t(n)});
    }
    return rows;
}

std::int32_t IdOf(TTestRecordSet& data, const std::uint8_t* rec) {
    return Read<std::int32_t>(rec + data.Fields()[0].FOffset);
}

TEST(TMemDataNavigation, BothEnds) {
    TTestRecordSet data({{u"id", dtInt32}}, NumberedRows(3));
    data.Open();
    auto rec = data.AllocRecBuf();
    data.SetToEnd();
    EXPECT_TRUE(data.GetEOF());
    EXPECT_FALSE(data.GetBOF());
    data.GetPriorRecord(rec.get());
    EXPECT_EQ(IdOf(data, rec.get()), 3);
    data.GetNextRecord(rec.get());
    EXPECT_TRUE(data.GetEOF());
    EXPECT_EQ(data.Current(), nullptr);
    EXPECT_EQ(data.GetRecordNo(), 0);
    // A further call changes nothing; the prior record is then the last.
    data.GetNextRecord(rec.get());
    EXPECT_TRUE(data.GetEOF());
    data.GetPriorRecord(rec.get());
    EXPECT_FALSE(data.GetEOF());
    EXPECT_EQ(IdOf(data, rec.get()), 3);
    EXPECT_EQ(data.GetRecordNo(), 3);

    data.SetToBegin();
    EXPECT_TRUE(data.GetBOF());
    data.GetPriorRecord(rec.get());
    EXPECT_TRUE(data.GetBOF());
    data.GetNextRecord(rec.get());
    EXPECT_EQ(IdOf(data, rec.get()), 1);
    data.GetPriorRecord(rec.get());
    EXPECT_TRUE(data.GetBOF());
    EXPECT_EQ(data.Current(), nullptr);
    data.GetNextRecord(rec.get());
    EXPECT_EQ(IdOf(data, rec.get()), 1);
}

TEST(TMemDataNavigation, AnEmptyStorageIsAtBothEnds) {
    TTestRecordSet data({{u"id", dtInt32}}, {});
    data.Open();
    auto rec = data.AllocRecBuf();
    data.SetToBegin();
    EXPECT_TRUE(data.GetBOF() && data.GetEOF());
    data.GetNextRecord(rec.get());
    EXPECT_TRUE(data.GetEOF());
    EXPECT_EQ(data.GetRecordCount(), 0);
    EXPECT_EQ(data.BlockCount(), 0);
}

TEST(TMemDataNavigation, ForwardNavigationFetchesTheNextBlock) {
    TTestRecordSet data({{u"id", dtInt32}}, NumberedRows(23), 10, false);
    data.Open();
    EXPECT_EQ(data.GetRecordCount(), 10);
    auto rec = data.AllocRecBuf();
    data.SetToBegin();
    for (int n = 1; n <= 23; ++n) {
        data.GetNextRecord(rec.get());
        ASSERT_EQ(IdOf(data, rec.get()), n);
    }
    EXPECT_EQ(data.GetRecordCount(), 23);
    data.GetNextRecord(rec.get());
    EXPECT_TRUE(data.GetEOF());
    EXPECT_EQ(data.Fetches, 3);
}

TEST(TMemDataNavigation, SetRecordNoFromEitherEnd) {
    TTestRecordSet data({{u"id", dtInt32}}, NumberedRows(60), 25, false);
    data.Open();
    auto rec = data.AllocRecBuf();
    // Beyond what is stored: fetched on the way.
    data.SetRecordNo(55);
    data.GetRecord(rec.get());
    EXPECT_EQ(IdOf(data, rec.get()), 55);
    EXPECT_EQ(data.GetRecordNo(), 55);
    const int targets[] = {1, 60, 2, 59, 30, 31, 29};
    for (int target : targets) {
        data.SetRecordNo(target);
        data.GetRecord(rec.get());
        EXPECT_EQ(IdOf(data, rec.get()), target);
    }
    data.SetToEnd();
    data.SetRecordNo(3);
    EXPECT_EQ(data.GetRecordNo(), 3);
    EXPECT_FALSE(data.GetEOF());
    // No such record: the position stays.
    data.SetRecordNo(61);
    EXPECT_EQ(data.GetRecordNo(), 3);
    data.SetRecordNo(0);
    EXPECT_EQ(data.GetRecordNo(), 3);
}

TEST(TMemDataNavigation, BookmarksAcrossAReopen) {
    TTestRecordSet data({{u"id", dtInt32}}, NumberedRows(30));
    data.Open();
    data.SetRecordNo(7);
    const TRecBookmark seventh = data.GetBookmark();
    EXPECT_EQ(seventh.Order, 7);
    data.SetRecordNo(20);
    const TRecBookmark twentieth = data.GetBookmark();
    EXPECT_EQ(data.CompareBookmarks(seventh, twentieth), -1);
    EXPECT_EQ(data.CompareBookmarks(twentieth, seventh), 1);
    EXPECT_EQ(data.CompareBookmarks(seventh, seventh), 0);
    data.SetToBookmark(seventh);
    EXPECT_EQ(data.GetRecordNo(), 7);
    EXPECT_TRUE(data.BookmarkValid(seventh));

    const std::int32_t before = data.RefreshIteration();
    data.Rows.erase(data.Rows.begin());
    data.Reopen();
    EXPECT_GT(data.RefreshIteration(), before);
    // The old item is gone: the record number decides, and the seventh record is now id 8.
    data.SetToBookmark(seventh);
    EXPECT_EQ(data.GetRecordNo(), 7);
    auto rec = data.AllocRecBuf();
    data.GetRecord(rec.get());
    EXPECT_EQ(IdOf(data, rec.get()), 8);
    EXPECT_TRUE(data.BookmarkValid(seventh));
    EXPECT_EQ(data.CompareBookmarks(twentieth, seventh), 1);
    const TRecBookmark beyond{before, nullptr, 30};
    EXPECT_FALSE(data.BookmarkValid(beyond));

    data.SetToBegin();
    EXPECT_EQ(data.GetBookmark().Order, -1);
}

// --- Life of the values -----------------------------------------------------------------------

TEST(TMemDataReferences, RecordBuffersShareTheStoredValues) {
    TTestRecordSet data({{u"s", dtExtWideString, 40}, {u"m", dtWideMemo}},
                        {{String(u"общая строка"), String(u"общий текст")}});
    data.Open();
    data.SetToBegin();
    auto rec = data.AllocRecBuf();
    data.GetNextRecord(rec.get());
    const TFieldDesc& text = data.Fields()[0];
    void* heapString = SlotRef(rec.get(), text);
    TBlob* blob = data.GetObject(2, rec.get());
    EXPECT_EQ(TStringHeap::RefWord(heapString), TStringHeap::RefNull);
    EXPECT_EQ(blob->RefCount(), 1);

    data.AddRefComplexFields(rec.get());
    EXPECT_EQ(TStringHeap::RefWord(heapString), TStringHeap::RefNull + 1);
    EXPECT_EQ(blob->RefCount(), 2);
    // Released by the buffer, the values stay with the stored record, which keeps its slots.
    data.FreeComplexFields(rec.get(), true);
    EXPECT_EQ(TStringHeap::RefWord(heapString), TStringHeap::RefNull);
    EXPECT_EQ(blob->RefCount(), 1);
    EXPECT_EQ(SlotRef(rec.get(), text), heapString);
    EXPECT_EQ(SlotRef(data.CurrentRecord(), text), heapString);

    // A copy owns values of its own.
    auto copy = data.AllocRecBuf();
    std::memcpy(copy.get(), rec.get(), std::size_t(data.RecordSize()));
    data.CopyComplexFields(rec.get(), copy.get());
    void* copiedString = SlotRef(copy.get(), text);
    EXPECT_NE(copiedString, heapString);
    EXPECT_EQ(String(static_cast<const char16_t*>(copiedString)), u"общая строка");
    EXPECT_NE(data.GetObject(2, copy.get()), blob);
    EXPECT_EQ(data.GetObject(2, copy.get())->AsWideString(), u"общий текст");
    // The last owner's release clears the slot.
    data.FreeComplexFields(copy.get(), true);
    EXPECT_EQ(SlotRef(copy.get(), text), nullptr);
    EXPECT_EQ(SlotRef(copy.get(), data.Fields()[1]), nullptr);
    data.Close();
}

TEST(TMemDataReferences, ComplexFieldsOfANewRecord) {
    TTestRecordSet data({{u"s", dtExtString, 40}, {u"m", dtWideMemo}, {u"b", dtBlob}}, {});
    data.Open();
    auto rec = data.AllocRecBuf();
    data.InitRecord(rec.get());
    for (int fieldNo = 1; fieldNo <= 3; ++fieldNo) {
        EXPECT_TRUE(data.GetNull(fieldNo, rec.get()));
    }
    ExpectAssertion([&] { data.AddRefComplexFields(rec.get()); }, "Shared object for m=nil");
    ExpectAssertion([&] { data.GetObject(2, rec.get()); }, "Object for field m(2) = nil");
    data.CreateComplexFields(rec.get(), true);
    EXPECT_EQ(SlotRef(rec.get(), data.Fields()[0]), nullptr);
    EXPECT_TRUE(data.GetObject(2, rec.get())->IsUnicode());
    EXPECT_FALSE(data.GetObject(3, rec.get())->IsUnicode());
    data.FreeComplexFields(rec.get(), true);
}

// The leak checker of the sanitizer build judges these: everything must go with the close.
TEST(TMemDataReferences, ClosingReleasesEveryValue) {
    const struct {
        const char* name;
        std::size_t length;
    } cases[] = {{"small heap strings", 20}, {"strings over 2000 bytes", 1500}};
    for (const auto& c : cases) {
        std::vector<TRow> rows;
        for (int n = 0; n < 40; ++n) {
            rows.push_back({String(c.length, u'ж'), String(u"memo"), std::string(c.length, 'b')});
        }
        TTestRecordSet data(
            {{u"s", dtExtWideString, 2000}, {u"m", dtWideMemo}, {u"e", dtExtString, 2000}}, rows);
        data.Open();
        EXPECT_EQ(data.StringHeap().SysGetMem(), c.length * 2 > 2000) << c.name;
        // A record buffer still holding references when the storage closes.
        data.SetToBegin();
        auto rec = data.AllocRecBuf();
        data.GetNextRecord(rec.get());
        data.AddRefComplexFields(rec.get());
        data.FreeComplexFields(rec.get(), true);
        data.Close();
        EXPECT_TRUE(data.StringHeap().Empty()) << c.name;
        EXPECT_EQ(data.BlockCount(), 0) << c.name;
        EXPECT_EQ(data.Fields().Count(), 0) << c.name;
    }
}

TEST(TMemDataReferences, AFailingOpenFreesWhatItStored) {
    TTestRecordSet data({{u"s", dtExtWideString, 40}, {u"m", dtWideMemo}},
                        std::vector<TRow>(30, TRow{String(u"строка"), String(u"текст")}), 10);
    data.FailAtRow = 25;
    EXPECT_THROW(data.Open(), std::runtime_error);
    EXPECT_FALSE(data.Active());
    EXPECT_EQ(data.BlockCount(), 0);
    EXPECT_EQ(data.GetRecordCount(), 0);
}

// --- Blocks and items -------------------------------------------------------------------------

TEST(TBlockManager, ItemsComeInBlocksOfTen) {
    TBlockManager blocks;
    blocks.RecordSize = 7;
    std::vector<PItemHeader> items;
    for (int i = 0; i < 11; ++i) {
        PItemHeader item = blocks.AllocItem();
        EXPECT_EQ(item->Flag, flUsed);
        EXPECT_EQ(item->Status, isUnmodified);
        EXPECT_EQ(item->UpdateResult, urNone);
        items.push_back(item);
    }
    // Packed members are copied before they are compared.
    const PBlockHeader first = items[0]->Block;
    const PBlockHeader second = items[10]->Block;
    EXPECT_NE(second, first);
    EXPECT_EQ(first->UsedItems, 10);
    EXPECT_EQ(second->UsedItems, 1);
    // A freed item is the next one handed out.
    blocks.FreeItem(items[3]);
    EXPECT_EQ(items[3]->Flag, flFree);
    EXPECT_EQ(blocks.AllocItem(), items[3]);
    ExpectAssertion([&] { blocks.FreeItem(blocks.FirstFree); }, "Assertion failure");
    // The last used item of a block takes the block with it, free items and all.
    blocks.FreeItem(items[10]);
    EXPECT_EQ(blocks.FirstBlock, first);
    const PBlockHeader next = blocks.FirstBlock->Next;
    EXPECT_EQ(next, nullptr);
    EXPECT_EQ(blocks.FirstFree, nullptr);
}

}  // namespace
