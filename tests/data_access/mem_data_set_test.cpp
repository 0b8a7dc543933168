#include "data_access/mem_data_set.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data_access/blob_stream.h"
#include "mem_data_fixture.h"
#include "platform/date_time.h"
#include "platform/exceptions.h"
#include "platform/field.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace {

using namespace storage_test;
using platform::String;
using platform::TFieldType;

// The columns of a print-queue style result and the types the record set gives them.
const std::vector<TColumn> Columns = {
    {u"id", dtInt32},
    {u"amount", dtInt64},
    {u"status", dtWideString, 3},
    {u"type", dtExtWideString, 40},
    {u"price", dtFloat},
    {u"created", dtDateTime},
    {u"day", dtDate},
    {u"at", dtTime},
    {u"flag", dtBoolean},
    {u"note", dtWideMemo},
    {u"code", dtString, 8},
    {u"small", dtUInt8},
};

TRow Row(int id, const String& type) {
    return {std::int64_t(id),
            std::int64_t(10000000000LL + id),
            String(u"no"),
            type,
            12.5 * id,
            platform::EncodeDateTime(2024, 5, id, 9, 30, 15, 0),
            platform::EncodeDate(2024, 5, id),
            platform::EncodeTime(18, id, 0, 0),
            std::int64_t(id % 2),
            String(u"Блюдо ") + platform::IntToStr(id) + u"\nбез лука",
            std::string("K") + std::to_string(id),
            std::int64_t(200 + id)};
}

std::unique_ptr<TTestRecordSet> Storage(std::vector<TRow> rows) {
    return std::make_unique<TTestRecordSet>(Columns, std::move(rows), 2);
}

class TMemDataSetTest : public ::testing::Test {
protected:
    void SetUp() override { platform::FormatSettings() = platform::TFormatSettings{}; }

    static std::vector<TRow> ThreeRows() {
        return {Row(1, u"podzakaz"), Row(2, u"predcheck"), Row(3, u"zakaz_close")};
    }

    static String Text(TMemDataSet& dataSet, const char16_t* name) {
        platform::TField* field = dataSet.FindField(name);
        EXPECT_NE(field, nullptr) << platform::Utf16ToUtf8(name);
        return field ? field->AsString() : String();
    }
};

TEST_F(TMemDataSetTest, FieldsShowTheCurrentRecordAsText) {
    TMemDataSet dataSet(Storage(ThreeRows()));
    dataSet.Open();
    ASSERT_EQ(dataSet.Fields().size(), Columns.size());
    EXPECT_EQ(dataSet.RecordCount(), 3);
    EXPECT_EQ(dataSet.RecNo(), 1);
    EXPECT_EQ(Text(dataSet, u"id"), u"1");
    EXPECT_EQ(Text(dataSet, u"amount"), u"10000000001");
    EXPECT_EQ(Text(dataSet, u"status"), u"no");
    EXPECT_EQ(Text(dataSet, u"type"), u"podzakaz");
    EXPECT_EQ(Text(dataSet, u"price"), u"12.5");
    EXPECT_EQ(Text(dataSet, u"created"), u"01.05.2024 09:30:15");
    EXPECT_EQ(Text(dataSet, u"day"), u"01.05.2024");
    EXPECT_EQ(Text(dataSet, u"at"), u"18:01:00");
    EXPECT_EQ(Text(dataSet, u"flag"), u"True");
    EXPECT_EQ(Text(dataSet, u"note"), u"Блюдо 1\nбез лука");
    EXPECT_EQ(Text(dataSet, u"code"), u"K1");
    EXPECT_EQ(Text(dataSet, u"small"), u"201");

    dataSet.Next();
    dataSet.Next();
    EXPECT_EQ(dataSet.RecNo(), 3);
    EXPECT_EQ(Text(dataSet, u"type"), u"zakaz_close");
    EXPECT_EQ(Text(dataSet, u"flag"), u"True");
    EXPECT_EQ(Text(dataSet, u"note"), u"Блюдо 3\nбез лука");
    // Past the end the last record stays shown, and the cursor steps back onto it.
    dataSet.Next();
    EXPECT_TRUE(dataSet.Eof());
    EXPECT_EQ(Text(dataSet, u"id"), u"3");
    dataSet.Prior();
    EXPECT_EQ(Text(dataSet, u"id"), u"2");
    dataSet.First();
    dataSet.Prior();
    EXPECT_TRUE(dataSet.Bof());
    dataSet.Next();
    EXPECT_EQ(Text(dataSet, u"id"), u"2");
    dataSet.Last();
    EXPECT_EQ(Text(dataSet, u"id"), u"3");
    dataSet.Close();
    EXPECT_FALSE(dataSet.Data().Active());
    EXPECT_TRUE(dataSet.Data().StringHeap().Empty());
}

TEST_F(TMemDataSetTest, NullValuesShowNoText) {
    TRow nulls(Columns.size(), TNull{});
    TMemDataSet dataSet(Storage({nulls}));
    dataSet.Open();
    for (const auto& field : dataSet.Fields()) {
        EXPECT_TRUE(field->IsNull()) << platform::Utf16ToUtf8(field->FieldName());
        EXPECT_EQ(field->AsString(), u"") << platform::Utf16ToUtf8(field->FieldName());
    }
}

TEST_F(TMemDataSetTest, AnEmptyResultHasNoCurrentRecord) {
    TMemDataSet dataSet(Storage({}));
    dataSet.Open();
    EXPECT_TRUE(dataSet.IsEmpty());
    EXPECT_EQ(dataSet.ActiveBuffer(), nullptr);
    EXPECT_EQ(Text(dataSet, u"type"), u"");
    EXPECT_EQ(dataSet.RecNo(), 0);
}

TEST_F(TMemDataSetTest, RecordBuffersHoldReferencesWhileTheyShowARecord) {
    TMemDataSet dataSet(Storage(ThreeRows()));
    dataSet.Open();
    TMemData& data = dataSet.Data();
    const int typeNo = data.FieldByName(u"type").FFieldNo;
    const int noteNo = data.FieldByName(u"note").FFieldNo;
    std::uint8_t* shown = dataSet.ActiveBuffer();
    const TFieldDesc& type = data.Fields()[typeNo - 1];
    void* heapString = nullptr;
    std::memcpy(&heapString, shown + type.FOffset, sizeof heapString);
    TBlob* note = data.GetObject(noteNo, shown);
    // The stored record and the buffer showing it.
    EXPECT_EQ(TStringHeap::RefWord(heapString), TStringHeap::RefNull + 1);
    EXPECT_EQ(note->RefCount(), 2);
    dataSet.Next();
    dataSet.Next();
    EXPECT_EQ(TStringHeap::RefWord(heapString), TStringHeap::RefNull);
    EXPECT_EQ(note->RefCount(), 1);
    dataSet.First();
    EXPECT_EQ(note->RefCount(), 2);
    dataSet.Close();
}

TEST_F(TMemDataSetTest, AWideMemoIsReadThroughABlobStream) {
    TMemDataSet dataSet(Storage(ThreeRows()));
    dataSet.Open();
    const platform::TField& note = *dataSet.FindField(u"note");
    const String expected = u"Блюдо 1\nбез лука";
    auto stream = dataSet.CreateBlobStream(note, platform::TBlobStreamMode::bmRead);
    EXPECT_EQ(stream->Size(), std::int64_t(expected.size() * 2));
    char16_t head[5] = {};
    EXPECT_EQ(stream->Read(head, 8), 8u);
    EXPECT_EQ(String(head), u"Блюд");
    EXPECT_EQ(stream->Position(), 8);
    stream->Seek(-8, platform::TSeekOrigin::soEnd);
    char16_t tail[5] = {};
    EXPECT_EQ(stream->Read(tail, 100), 8u);
    EXPECT_EQ(String(tail), u"лука");
    EXPECT_EQ(stream->Read(tail, 2), 0u);

    // As 8-bit text the same memo is one byte per character.
    platform::TFieldDef memoDef{u"note", TFieldType::ftMemo, 0, 0, note.FieldNo()};
    const auto memo = platform::CreateField(dataSet, memoDef);
    TBlobStream ansi(dataSet, *memo, platform::TBlobStreamMode::bmRead);
    EXPECT_EQ(ansi.Size(), std::int64_t(expected.size()));
    EXPECT_EQ(memo->AsString(), expected);
}

TEST_F(TMemDataSetTest, BlobStreamsCannotWrite) {
    std::vector<TColumn> columns = {{u"note", dtWideMemo}, {u"locked", dtWideMemo, 0, false, true}};
    TMemDataSet dataSet(
        std::make_unique<TTestRecordSet>(columns, std::vector<TRow>{{String(u"a"), String(u"b")}}));
    dataSet.Open();
    const struct {
        const char16_t* field;
        platform::TBlobStreamMode mode;
        const char* message;
    } cases[] = {
        {u"note", platform::TBlobStreamMode::bmWrite, "Dataset not in edit or insert mode"},
        {u"note", platform::TBlobStreamMode::bmReadWrite, "Dataset not in edit or insert mode"},
        {u"locked", platform::TBlobStreamMode::bmWrite, "Field 'locked' cannot be modified"},
    };
    for (const auto& c : cases) {
        try {
            dataSet.CreateBlobStream(*dataSet.FindField(c.field), c.mode);
            ADD_FAILURE() << c.message;
        } catch (const platform::EDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    auto stream =
        dataSet.CreateBlobStream(*dataSet.FindField(u"note"), platform::TBlobStreamMode::bmRead);
    EXPECT_THROW(stream->Write("x", 1), platform::EDatabaseError);
    // Without a current record the stream is closed.
    dataSet.Close();
    platform::TFieldDef def{u"note", TFieldType::ftWideMemo, 0, 0, 1};
    const auto field = platform::CreateField(dataSet, def);
    TBlobStream closed(dataSet, *field, platform::TBlobStreamMode::bmWrite);
    char byte;
    EXPECT_EQ(closed.Read(&byte, 1), 0u);
    EXPECT_EQ(closed.Size(), 0);
}

TEST_F(TMemDataSetTest, FieldDefinitionsFollowTheDescriptors) {
    TMemDataSet dataSet(Storage({}));
    dataSet.Open();
    const auto& defs = dataSet.FieldDefs();
    ASSERT_EQ(defs.size(), Columns.size());
    EXPECT_EQ(defs[0].DataType, TFieldType::ftInteger);
    EXPECT_EQ(defs[1].DataType, TFieldType::ftLargeint);
    EXPECT_EQ(defs[2].DataType, TFieldType::ftWideString);
    EXPECT_EQ(defs[2].Size, 3);
    EXPECT_EQ(defs[3].DataType, TFieldType::ftWideString);
    EXPECT_EQ(defs[3].Size, 40);
    EXPECT_EQ(defs[9].DataType, TFieldType::ftWideMemo);
    EXPECT_EQ(defs[9].Size, 0);
    EXPECT_EQ(defs[10].DataType, TFieldType::ftString);
    EXPECT_EQ(defs[11].DataType, TFieldType::ftByte);
    for (std::size_t i = 0; i < defs.size(); ++i) {
        EXPECT_EQ(defs[i].FieldNo, int(i) + 1);
    }
}

TEST_F(TMemDataSetTest, FieldTypesOfTheDataTypes) {
    const struct {
        TDataType dataType;
        TFieldType fieldType;
    } cases[] = {
        {dtString, TFieldType::ftString},
        {dtExtString, TFieldType::ftString},
        {dtInt8, TFieldType::ftShortint},
        {dtUInt8, TFieldType::ftByte},
        {dtUInt16, TFieldType::ftWord},
        {dtBoolean, TFieldType::ftBoolean},
        {dtUInt32, TFieldType::ftLongWord},
        {dtExtVarBytes, TFieldType::ftVarBytes},
        {dtExtWideString, TFieldType::ftWideString},
        {dtBCD, TFieldType::ftBCD},
        {dtFMTBCD, TFieldType::ftFMTBcd},
        {dtWideMemo, TFieldType::ftWideMemo},
        {dtMemo, TFieldType::ftMemo},
        {dtBlob, TFieldType::ftBlob},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TMemDataSet::GetFieldType(c.dataType), c.fieldType) << c.dataType;
    }
    try {
        TMemDataSet::GetFieldType(dtUInt64);
        ADD_FAILURE() << "no assertion failure";
    } catch (const platform::EAssertionFailed& e) {
        EXPECT_THAT(e.Message(), ::testing::StartsWith("Unknown data type"));
    }
}

TEST_F(TMemDataSetTest, AFieldWithoutFieldTypeFailsTheOpen) {
    for (TDataType type : {dtUnknown, dtCurrency}) {
        TMemDataSet dataSet(std::make_unique<TTestRecordSet>(
            std::vector<TColumn>{{u"id", dtInt32}, {u"odd", type}}, std::vector<TRow>{}));
        try {
            dataSet.Open();
            ADD_FAILURE() << "opened";
        } catch (const platform::EDatabaseError& e) {
            EXPECT_EQ(e.Message(), "Data type is not supported");
        }
        EXPECT_FALSE(dataSet.Active());
        EXPECT_FALSE(dataSet.Data().Active());
        EXPECT_TRUE(dataSet.Fields().empty());
    }
}

TEST_F(TMemDataSetTest, TheBookmarkOfTheShownRecord) {
    TMemDataSet dataSet(Storage(ThreeRows()));
    dataSet.Open();
    dataSet.Next();
    TRecBookmark bookmark{};
    ASSERT_TRUE(dataSet.GetActiveBookmark(bookmark));
    EXPECT_EQ(bookmark.Order, 2);
    EXPECT_EQ(bookmark.RefreshIteration, dataSet.Data().RefreshIteration());
    dataSet.Last();
    dataSet.Data().SetToBookmark(bookmark);
    EXPECT_EQ(dataSet.Data().GetRecordNo(), 2);
}

}  // namespace
