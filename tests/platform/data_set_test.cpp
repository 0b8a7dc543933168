#include "platform/data_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "platform/data_source.h"
#include "platform/date_time.h"
#include "platform/field.h"
#include "platform/format_settings.h"

namespace {

using namespace platform;

// A data set over rows kept in a vector: one 32-bit integer and one UTF-16 text column, either
// of which may be NULL. Record buffers hold the row index.
class RowsDataSet final : public TDataSet {
public:
    struct Row {
        std::optional<std::int32_t> number;
        std::optional<String> text;
    };

    explicit RowsDataSet(std::vector<Row> rows) : FRows(std::move(rows)) {}
    ~RowsDataSet() override { Close(); }

    int buffersAlive = 0;

    bool GetFieldData(const TField& field, void* buffer) override {
        const Row& row = FRows[Index(ActiveBuffer())];
        if (field.FieldNo() == 1) {
            if (row.number && buffer) {
                std::memcpy(buffer, &*row.number, sizeof(std::int32_t));
            }
            return row.number.has_value();
        }
        if (row.text && buffer) {
            std::memcpy(buffer, row.text->c_str(), (row.text->size() + 1) * sizeof(char16_t));
        }
        return row.text.has_value();
    }

    std::unique_ptr<TStream> CreateBlobStream(const TField&, TBlobStreamMode) override {
        return nullptr;
    }

protected:
    void InternalOpen() override {
        FieldDefs() = {{u"id", TFieldType::ftInteger, 0, 0, 1},
                       {u"Name", TFieldType::ftWideString, 20, 0, 2}};
        CreateFields();
        FCursor = -1;
    }
    void InternalClose() override {}
    std::uint8_t* AllocRecordBuffer() override {
        ++buffersAlive;
        return new std::uint8_t[sizeof(long)]();
    }
    void FreeRecordBuffer(std::uint8_t*& buffer) override {
        --buffersAlive;
        delete[] buffer;
        buffer = nullptr;
    }
    TGetResult GetRecord(std::uint8_t* buffer, TGetMode mode, bool) override {
        const long next = mode == TGetMode::gmNext ? FCursor + 1 : FCursor - 1;
        if (next < 0) {
            FCursor = -1;
            return TGetResult::grBOF;
        }
        if (next >= long(FRows.size())) {
            FCursor = long(FRows.size());
            return TGetResult::grEOF;
        }
        FCursor = next;
        std::memcpy(buffer, &FCursor, sizeof FCursor);
        return TGetResult::grOK;
    }
    void InternalFirst() override { FCursor = -1; }
    void InternalLast() override { FCursor = long(FRows.size()); }
    int GetRecordCount() override { return int(FRows.size()); }

private:
    static long Index(const std::uint8_t* buffer) {
        long index;
        std::memcpy(&index, buffer, sizeof index);
        return index;
    }

    std::vector<Row> FRows;
    long FCursor = -1;
};

// A control that shows one field's text and counts what it was told.
class TextLink final : public TFieldDataLink {
public:
    String text;
    int changes = 0;

protected:
    void DataChanged() override {
        ++changes;
        text = Field() ? Field()->AsString() : String();
    }
};

TEST(DataSet, OpensOnItsFirstRecordAndWalksBothWays) {
    RowsDataSet data({{1, u"a"}, {2, u"b"}, {3, u"c"}});
    data.Open();
    ASSERT_TRUE(data.Active());
    EXPECT_TRUE(data.Bof());
    EXPECT_FALSE(data.Eof());
    EXPECT_EQ(data.FindField(u"NAME")->AsString(), u"a");

    data.Next();
    data.Next();
    EXPECT_EQ(data.FindField(u"id")->AsString(), u"3");
    data.Next();  // past the end: the last record stays current
    EXPECT_TRUE(data.Eof());
    EXPECT_EQ(data.FindField(u"id")->AsString(), u"3");
    data.Next();
    EXPECT_EQ(data.FindField(u"id")->AsString(), u"3");
    data.Prior();
    EXPECT_EQ(data.FindField(u"id")->AsString(), u"2");
    EXPECT_FALSE(data.Eof());

    data.Last();
    EXPECT_TRUE(data.Eof());
    EXPECT_EQ(data.FindField(u"id")->AsString(), u"3");
    data.First();
    EXPECT_EQ(data.FindField(u"id")->AsString(), u"1");
    data.Prior();
    EXPECT_TRUE(data.Bof());
    EXPECT_EQ(data.FindField(u"id")->AsString(), u"1");
    EXPECT_EQ(data.RecordCount(), 3);
    EXPECT_EQ(data.FindField(u"missing"), nullptr);

    data.Close();
    EXPECT_EQ(data.buffersAlive, 0);
    EXPECT_TRUE(data.Fields().empty());
}

TEST(DataSet, EmptyAndNullValuesShowNoText) {
    RowsDataSet empty({});
    empty.Open();
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.FindField(u"id")->IsNull());
    EXPECT_EQ(empty.FindField(u"id")->AsString(), u"");

    RowsDataSet nulls({{std::nullopt, std::nullopt}, {-7, u"Плов"}});
    nulls.Open();
    EXPECT_TRUE(nulls.FindField(u"id")->IsNull());
    EXPECT_EQ(nulls.FindField(u"name")->AsString(), u"");
    nulls.Next();
    EXPECT_EQ(nulls.FindField(u"id")->AsString(), u"-7");
    EXPECT_EQ(nulls.FindField(u"name")->AsString(), u"Плов");
}

TEST(DataSet, LinkedControlsFollowOpenScrollAndClose) {
    RowsDataSet data({{1, u"first"}, {2, u"second"}});
    TDataSource source;
    source.SetDataSet(&data);
    TextLink link;
    link.SetDataSource(&source);
    link.SetFieldName(u"name");
    EXPECT_EQ(link.Field(), nullptr);

    data.Open();
    EXPECT_EQ(link.text, u"first");
    data.Next();
    EXPECT_EQ(link.text, u"second");
    data.Close();
    EXPECT_EQ(link.Field(), nullptr);
    EXPECT_EQ(link.text, u"");

    TextLink missing;
    missing.SetFieldName(u"nothing");
    missing.SetDataSource(&source);
    data.Open();
    EXPECT_EQ(missing.Field(), nullptr);
    EXPECT_EQ(link.text, u"first");
}

TEST(DataSet, LinksAndSourcesMayGoFirst) {
    auto data = std::make_unique<RowsDataSet>(std::vector<RowsDataSet::Row>{{1, u"x"}});
    auto source = std::make_unique<TDataSource>();
    source->SetDataSet(data.get());
    {
        TextLink link;
        link.SetDataSource(source.get());
    }
    data->Open();
    data.reset();  // the source forgets its data set
    EXPECT_EQ(source->DataSet(), nullptr);
    TextLink link;
    link.SetDataSource(source.get());
    source.reset();  // the link forgets its source
    EXPECT_EQ(link.DataSource(), nullptr);
}

}  // namespace
