#include "platform/field.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/date_time.h"
#include "platform/format_settings.h"

namespace {

using namespace platform;

// One record whose values are given as the native bytes each field kind reads; an empty value
// is NULL.
class OneRecord final : public TDataSet {
public:
    struct Column {
        TFieldType type;
        int size;
        std::vector<std::uint8_t> value;
    };

    explicit OneRecord(std::vector<Column> columns) : FColumns(std::move(columns)) {}
    ~OneRecord() override { Close(); }

    bool GetFieldData(const TField& field, void* buffer) override {
        const Column& column = FColumns[std::size_t(field.FieldNo() - 1)];
        if (!column.value.empty() && buffer) {
            std::memcpy(buffer, column.value.data(), column.value.size());
        }
        return !column.value.empty();
    }

    std::unique_ptr<TStream> CreateBlobStream(const TField&, TBlobStreamMode) override {
        return nullptr;
    }

protected:
    void InternalOpen() override {
        FieldDefs().clear();
        for (std::size_t i = 0; i < FColumns.size(); ++i) {
            FieldDefs().push_back({u"f" + IntToStr(std::int64_t(i + 1)), FColumns[i].type,
                                   FColumns[i].size, 0, int(i + 1)});
        }
        CreateFields();
        FDone = false;
    }
    void InternalClose() override {}
    std::uint8_t* AllocRecordBuffer() override { return new std::uint8_t[1](); }
    void FreeRecordBuffer(std::uint8_t*& buffer) override {
        delete[] buffer;
        buffer = nullptr;
    }
    TGetResult GetRecord(std::uint8_t*, TGetMode mode, bool) override {
        if (mode == TGetMode::gmNext && !FDone) {
            FDone = true;
            return TGetResult::grOK;
        }
        return mode == TGetMode::gmNext ? TGetResult::grEOF : TGetResult::grBOF;
    }
    void InternalFirst() override { FDone = false; }
    void InternalLast() override { FDone = true; }

private:
    std::vector<Column> FColumns;
    bool FDone = false;
};

template <typename T>
std::vector<std::uint8_t> Bytes(T value) {
    std::vector<std::uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::vector<std::uint8_t> Text8(const char* text, int size) {
    std::vector<std::uint8_t> bytes(std::size_t(size) + 1, 0);
    std::memcpy(bytes.data(), text, std::strlen(text));
    return bytes;
}

std::vector<std::uint8_t> Text16(std::u16string_view text, int size) {
    std::vector<std::uint8_t> bytes((std::size_t(size) + 1) * 2, 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    return bytes;
}

class FieldText : public ::testing::Test {
protected:
    void SetUp() override {
        saved = FormatSettings();
        FormatSettings() = TFormatSettings{u',', u'.', u':', u"dd/mm/yyyy", u"hh:nn:ss"};
    }
    void TearDown() override { FormatSettings() = saved; }

    TFormatSettings saved;
};

TEST_F(FieldText, EachKindShowsItsValueText) {
    const TTimeStamp noon = DateTimeToTimeStamp(EncodeDateTime(2026, 12, 10, 12, 30, 5, 0));
    const TTimeStamp midnight = DateTimeToTimeStamp(EncodeDate(2026, 1, 2));
    const struct {
        OneRecord::Column column;
        std::u16string text;
    } cases[] = {
        {{TFieldType::ftString, 10, Text8("abc  ", 10)}, u"abc  "},
        {{TFieldType::ftString, 4, Text8("\xD0\xEE\xEB\xEB", 4)}, u"Ролл"},  // code page 1251
        {{TFieldType::ftWideString, 20, Text16(u"Плов", 20)}, u"Плов"},
        {{TFieldType::ftSmallint, 0, Bytes<std::int16_t>(-32768)}, u"-32768"},
        {{TFieldType::ftWord, 0, Bytes<std::uint16_t>(65535)}, u"65535"},
        {{TFieldType::ftInteger, 0, Bytes<std::int32_t>(-2147483647 - 1)}, u"-2147483648"},
        {{TFieldType::ftLongWord, 0, Bytes<std::uint32_t>(4294967295u)}, u"4294967295"},
        {{TFieldType::ftLargeint, 0, Bytes<std::int64_t>(-9000000000000000000)},
         u"-9000000000000000000"},
        {{TFieldType::ftBoolean, 0, Bytes<std::int16_t>(-1)}, u"True"},
        {{TFieldType::ftBoolean, 0, Bytes<std::int16_t>(0)}, u"False"},
        {{TFieldType::ftFloat, 0, Bytes(2.5)}, u"2,5"},
        {{TFieldType::ftFloat, 0, Bytes(1.0 / 3)}, u"0,333333333333333"},
        {{TFieldType::ftBCD, 0, Bytes<std::int64_t>(-1234500)}, u"-123,45"},
        {{TFieldType::ftBCD, 0, Bytes<std::int64_t>(70000)}, u"7"},
        {{TFieldType::ftDate, 0, Bytes<std::int32_t>(noon.Date)}, u"10.12.2026"},
        {{TFieldType::ftTime, 0, Bytes<std::int32_t>(noon.Time)}, u"12:30:05"},
        {{TFieldType::ftDateTime, 0, Bytes(TimeStampToMSecs(noon))}, u"10.12.2026 12:30:05"},
        {{TFieldType::ftDateTime, 0, Bytes(TimeStampToMSecs(midnight))}, u"02.01.2026"},
        {{TFieldType::ftVarBytes, 8, {3, 0, 'x', 'y', 'z', 0, 0, 0, 0, 0}}, u"xyz"},
        {{TFieldType::ftInteger, 0, {}}, u""},
    };
    std::vector<OneRecord::Column> columns;
    for (const auto& c : cases) {
        columns.push_back(c.column);
    }
    OneRecord record(columns);
    record.Open();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(record.Fields()[i]->AsString(), cases[i].text) << "column " << i + 1;
    }
    EXPECT_TRUE(record.Fields().back()->IsNull());
}

TEST_F(FieldText, ClosedDataSetShowsNothing) {
    OneRecord record({{TFieldType::ftInteger, 0, Bytes<std::int32_t>(5)}});
    record.Open();
    TField& field = *record.Fields()[0];
    EXPECT_EQ(field.AsString(), u"5");
    record.Close();
    EXPECT_TRUE(record.Fields().empty());
}

}  // namespace
