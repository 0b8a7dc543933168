#include "data_access/mysql/my_record_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data_access/mysql/my_error.h"
#include "data_access/mysql/my_value_conversion.h"
#include "platform/date_time.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"
#include "tests/support/server_test.h"

namespace {

using namespace data_access;
using namespace data_access::mysql;
using platform::String;

String U16(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}

// --- the rewrite that describes a text without rows -------------------------------------------

TEST(MySetLimit, RewritesTheTextToReturnNoRows) {
    const struct {
        const char16_t* text;
        const char16_t* expected;
    } cases[] = {
        {u"select * from zakaz where id='123'", u"select * from zakaz where id='123' LIMIT 0"},
        {u"select * from print limit 1", u"select * from print limit 0"},
        {u"select * from t where a in (select b from u limit 5)",
         u"select * from t where a in (select b from u limit 0)"},
        {u"select * from t for update", u"select * from t LIMIT 0 for update"},
        {u"select * from t lock in share mode", u"select * from t LIMIT 0 lock in share mode"},
        {u"select 1; select 2", u"select 1 LIMIT 0 ; select 2"},
        {u"select ';' from t -- limit 3", u"select ';' from t -- limit 3 LIMIT 0"},
        {u"update t set a = 1", u"update t set a = 1"},
        {u"set @a = (select 1)", u"set @a = (select 1)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SetLimit(c.text), c.expected);
    }
}

// --- the tables a FROM clause names -----------------------------------------------------------

// The references as "name|full name|alias" items separated by "; ".
String References(const String& sql, bool useHandler) {
    String result;
    for (const TTableReference& r : TableReferences(sql, useHandler)) {
        result += (result.empty() ? u"" : u"; ") + r.Name + u"|" + r.FullName + u"|" + r.Alias;
    }
    return result;
}

TEST(MyTableReferences, ReadsTheOutermostFromClause) {
    const struct {
        const char16_t* text;
        bool useHandler;
        const char16_t* expected;
    } cases[] = {
        {u"select * from print where status='no'", false, u"print|print|"},
        {u"select * from t1 a, `my t2` as `b` , db.t3 order by 1", false,
         u"t1|t1|a; my t2|my t2|b; t3|db.t3|"},
        {u"select (select x from u), extract(year from d) from t", false, u"t|t|"},
        {u"select * from Status s", false, u"Status|Status|s"},
        {u"select * from t1 join t2 on t1.a = t2.a", false, u"t1|t1|"},
        {u"select * from t1 x, (select 1) y, t2", false, u"t1|t1|x"},
        {u"select * from /* c */ t -- d\n", false, u"t|t|"},
        {u"select 1", false, u""},
        {u"handler h1 read first", true, u"h1|h1|"},
        {u"handler h1 read first", false, u""},
        {u"select * from h1", true, u"h1|h1|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.text));
        EXPECT_EQ(References(c.text, c.useHandler), c.expected);
    }
}

TEST(MyTableReferences, AnEmptyNameRaises) {
    for (const char16_t* text :
         {u"select * from ``", u"select * from t, , u", u"select * from db.", u"select 1 from"}) {
        SCOPED_TRACE(platform::Utf16ToUtf8(text));
        try {
            TableReferences(text, false);
            ADD_FAILURE() << "no error";
        } catch (const platform::EDatabaseError& e) {
            EXPECT_EQ(e.Message(), "TableName cannot be empty");
        }
    }
}

// --- against the server -----------------------------------------------------------------------

// Reads values of the current record of a record set by field name.
class TRecordReader {
public:
    explicit TRecordReader(TMySQLRecordset& set) : FSet(set), FRec(set.AllocRecBuf()) {
        FSet.SetToBegin();
    }

    // Moves to the next record; false at the end.
    bool Next() {
        FSet.GetNextRecord(FRec.get());
        return !FSet.GetEOF();
    }

    TMySQLFieldDesc& Field(const String& name) const {
        return static_cast<TMySQLFieldDesc&>(FSet.FieldByName(name));
    }

    bool IsNull(const String& name) { return FSet.GetNull(Field(name).FFieldNo, FRec.get()); }

    std::int64_t Int(const String& name) {
        const TFieldDesc& field = Field(name);
        std::int64_t value = 0;
        std::memcpy(&value, Slot(field), std::size_t(field.FSize));
        const bool isSigned = field.FDataType != dtUInt8 && field.FDataType != dtUInt16 &&
                              field.FDataType != dtUInt32;
        if (isSigned && field.FSize < 8) {
            const int shift = 64 - 8 * field.FSize;
            value = std::int64_t(std::uint64_t(value) << shift) >> shift;
        }
        return value;
    }

    double Double(const String& name) {
        double value = 0;
        std::memcpy(&value, Slot(Field(name)), sizeof value);
        return value;
    }

    // Strings and memos as UTF-16 text, byte values as their bytes in the low units.
    String Text(const String& name) {
        const TFieldDesc& field = Field(name);
        if (IsBlobDataType(field.FDataType)) {
            TBlob* blob = FSet.GetObject(field.FFieldNo, FRec.get());
            if (field.FDataType == dtBlob) {
                const std::vector<std::uint8_t> bytes = blob->AsBytes();
                return String(bytes.begin(), bytes.end());
            }
            return blob->AsWideString();
        }
        bool isNull = false;
        std::vector<std::uint8_t> dest(std::size_t(field.FLength + 2) * 2 + 8);
        FSet.GetField(field.FFieldNo, FRec.get(), isNull, false, dest.data());
        switch (field.FDataType) {
            case dtWideString:
            case dtExtWideString:
                return String(reinterpret_cast<const char16_t*>(dest.data()));
            case dtString:
            case dtExtString:
                return U16(reinterpret_cast<const char*>(dest.data()));
            case dtVarBytes:
            case dtExtVarBytes: {
                std::uint16_t length = 0;
                std::memcpy(&length, dest.data(), sizeof length);
                return String(dest.begin() + 2, dest.begin() + 2 + length);
            }
            default:
                return String(dest.begin(), dest.begin() + field.FLength);
        }
    }

private:
    const std::uint8_t* Slot(const TFieldDesc& field) const { return FRec.get() + field.FOffset; }

    TMySQLRecordset& FSet;
    std::unique_ptr<std::uint8_t[]> FRec;
};

class MyRecordSet : public test_support::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        Configure(connection, true);
        connection.Connect(u"");
    }

    void Configure(TMySQLConnection& target, bool useUnicode) {
        target.SetProp(prServer, U16(server.host));
        target.SetProp(prUsername, U16(server.user));
        target.SetProp(prPassword, String());
        target.SetProp(prDatabase, U16(server.database));
        target.SetProp(prPort, server.port);
        target.SetProp(prUseUnicode, useUnicode);
    }

    void Exec(const String& sql) { connection.ExecStatement(sql); }

    // A record set as the print service's queries use it: FetchAll, FlatBuffers off.
    std::unique_ptr<TMySQLRecordset> MakeSet(const String& sql) {
        auto set = std::make_unique<TMySQLRecordset>();
        set->SetConnection(&connection);
        set->SetProp(prFetchAll, true);
        set->SetProp(prFlatBuffers, false);
        set->SetSQL(sql);
        return set;
    }

    static std::string ErrorOf(TMySQLRecordset& set) {
        try {
            set.Open();
        } catch (const platform::Exception& e) {
            return e.Message();
        }
        return "no error";
    }

    TMySQLConnection connection;
};

const char16_t* const AllTypesTable =
    u"CREATE TABLE rs_all_types ("
    u" id INT PRIMARY KEY, ti TINYINT, tiu TINYINT UNSIGNED, b1 TINYINT(1), si SMALLINT,"
    u" siu SMALLINT UNSIGNED, mi MEDIUMINT, miu MEDIUMINT UNSIGNED, i INT, iu INT UNSIGNED,"
    u" bi BIGINT, biu BIGINT UNSIGNED, bt BIT(12), d52 DECIMAL(5,2), d100 DECIMAL(10,0),"
    u" d6530 DECIMAL(65,30), f FLOAT, dbl DOUBLE, dt DATE, tm TIME, dtm DATETIME,"
    u" ts TIMESTAMP NULL DEFAULT NULL, yr YEAR, ch CHAR(10), vc VARCHAR(20), vcl VARCHAR(40),"
    u" tt TINYTEXT, tx TEXT, mt MEDIUMTEXT, lt LONGTEXT, tb TINYBLOB, bl BLOB, mb MEDIUMBLOB,"
    u" lb LONGBLOB, en ENUM('a','бв'), st SET('x','y'), js JSON, bn BINARY(4),"
    u" vb VARBINARY(8)) CHARACTER SET utf8";

TEST_F(MyRecordSet, EveryColumnTypeMapsAndReadsBack) {
    Exec(u"DROP TABLE IF EXISTS rs_all_types");
    Exec(AllTypesTable);
    Exec(
        u"INSERT INTO rs_all_types VALUES (1, -128, 0, 2, -32768, 0, -8388608, 0, -2147483648,"
        u" 0, -9223372036854775808, 0, b'101', -999.99, -9999999999,"
        u" -12345678901234567890123456789012345.123456789012345678901234567890, -3.5, "
        u" -1.7976931348623157e308, '1000-01-01', '-838:59:59', '1000-01-01 00:00:00',"
        u" '1970-01-02 00:00:01', 1901, 'ab', 'Щи да каша', 'пища наша, пища наша, пища наша!',"
        u" 'т', 'текст', 'м', 'л', x'00ff', x'0102', x'03', x'04', 'бв', 'x,y',"
        u" '{\"k\": \"знач\"}', 'ab', 'xyz')");
    Exec(
        u"INSERT INTO rs_all_types VALUES (2, 127, 255, 0, 32767, 65535, 8388607, 16777215,"
        u" 2147483647, 4294967295, 9223372036854775807, 9223372036854775807, b'111111111111',"
        u" 999.99, 9999999999, 0, 1.5, 2.25, '9999-12-31', '838:59:59', '9999-12-31 23:59:59',"
        u" '2038-01-19 03:14:07', 2155, 'ЯЯЯЯЯЯЯЯЯЯ', '', '', '', '', '', '', '', '', '', '',"
        u" 'a', '', '[]', '', '')");
    Exec(u"INSERT INTO rs_all_types (id) VALUES (3)");

    auto set = MakeSet(u"select * from rs_all_types order by id");
    set->Open();
    ASSERT_EQ(set->GetRecordCount(), 3);

    const struct {
        const char16_t* name;
        TDataType type;
        int length;
    } types[] = {
        {u"id", dtInt32, -1},      {u"ti", dtInt8, -1},
        {u"tiu", dtUInt8, -1},     {u"b1", dtBoolean, -1},
        {u"si", dtInt16, -1},      {u"siu", dtUInt16, -1},
        {u"mi", dtInt32, -1},      {u"miu", dtInt32, -1},
        {u"i", dtInt32, -1},       {u"iu", dtUInt32, -1},
        {u"bi", dtInt64, -1},      {u"biu", dtInt64, -1},
        {u"bt", dtInt64, -1},      {u"d52", dtFloat, -1},
        {u"d100", dtFloat, -1},    {u"d6530", dtFloat, -1},
        {u"f", dtFloat, -1},       {u"dbl", dtFloat, -1},
        {u"dt", dtDate, -1},       {u"tm", dtTime, -1},
        {u"dtm", dtDateTime, -1},  {u"ts", dtDateTime, 19},
        {u"yr", dtUInt16, -1},     {u"ch", dtWideString, 10},
        {u"vc", dtWideString, 20}, {u"vcl", dtExtWideString, 40},
        {u"tt", dtWideMemo, 0},    {u"tx", dtWideMemo, 0},
        {u"mt", dtWideMemo, 0},    {u"lt", dtWideMemo, 0},
        {u"tb", dtBlob, 0},        {u"bl", dtBlob, 0},
        {u"mb", dtBlob, 0},        {u"lb", dtBlob, 0},
        {u"en", dtWideString, 2},  {u"st", dtWideString, 3},
        {u"js", dtBlob, 0},        {u"bn", dtWideString, 4},
        {u"vb", dtWideString, 8},
    };
    for (const auto& t : types) {
        SCOPED_TRACE(platform::Utf16ToUtf8(t.name));
        const TFieldDesc& field = set->FieldByName(t.name);
        EXPECT_EQ(field.FDataType, t.type);
        if (t.length >= 0) {
            EXPECT_EQ(field.FLength, t.length);
        }
    }
    EXPECT_TRUE(set->FieldByName(u"ch").FFixed);
    EXPECT_FALSE(set->FieldByName(u"vc").FFixed);
    EXPECT_EQ(set->FieldByName(u"d52").FScale, 2);
    EXPECT_TRUE(static_cast<TMySQLFieldDesc&>(set->FieldByName(u"id")).FIsPrimaryKey);
    EXPECT_TRUE(static_cast<TMySQLFieldDesc&>(set->FieldByName(u"iu")).FIsUnsigned);

    TRecordReader row(*set);
    ASSERT_TRUE(row.Next());
    EXPECT_EQ(row.Int(u"ti"), -128);
    EXPECT_EQ(row.Int(u"b1"), -1);
    EXPECT_EQ(row.Int(u"si"), -32768);
    EXPECT_EQ(row.Int(u"mi"), -8388608);
    EXPECT_EQ(row.Int(u"i"), -2147483648LL);
    EXPECT_EQ(row.Int(u"bi"), INT64_MIN);
    EXPECT_EQ(row.Int(u"bt"), 5);
    EXPECT_DOUBLE_EQ(row.Double(u"d52"), -999.99);
    EXPECT_DOUBLE_EQ(row.Double(u"d100"), -9999999999.0);
    EXPECT_DOUBLE_EQ(row.Double(u"d6530"), -1.2345678901234568e34);
    EXPECT_DOUBLE_EQ(row.Double(u"f"), -3.5);
    EXPECT_DOUBLE_EQ(row.Double(u"dbl"), -1.7976931348623157e308);
    EXPECT_DOUBLE_EQ(row.Double(u"dt"), platform::EncodeDate(1000, 1, 1));
    EXPECT_NEAR(row.Double(u"tm"), -(838.0 / 24 + (59 * 60 + 59) / 86400.0), 1e-9);
    EXPECT_DOUBLE_EQ(row.Double(u"dtm"), platform::EncodeDate(1000, 1, 1));
    EXPECT_NEAR(row.Double(u"ts"), platform::EncodeDateTime(1970, 1, 2, 0, 0, 1, 0), 1e-9);
    EXPECT_EQ(row.Int(u"yr"), 1901);
    EXPECT_EQ(row.Text(u"ch"), u"ab");  // trailing blanks are trimmed by the server
    EXPECT_EQ(row.Text(u"vc"), u"Щи да каша");
    EXPECT_EQ(row.Text(u"vcl"), u"пища наша, пища наша, пища наша!");
    EXPECT_EQ(row.Text(u"tt"), u"т");
    EXPECT_EQ(row.Text(u"tx"), u"текст");
    EXPECT_EQ(row.Text(u"lt"), u"л");
    EXPECT_EQ(row.Text(u"tb"), String(u"\x00\xff", 2));
    EXPECT_EQ(row.Text(u"bl"), u"\x01\x02");
    EXPECT_EQ(row.Text(u"en"), u"бв");
    EXPECT_EQ(row.Text(u"st"), u"x,y");
    // JSON comes as a text with a binary collation: a blob of its UTF-8 bytes.
    const std::string json = "{\"k\": \"знач\"}";
    const auto* jsonBytes = reinterpret_cast<const unsigned char*>(json.data());
    EXPECT_EQ(row.Text(u"js"), String(jsonBytes, jsonBytes + json.size()));
    EXPECT_EQ(row.Text(u"bn"), u"ab");
    EXPECT_EQ(row.Text(u"vb"), u"xyz");

    ASSERT_TRUE(row.Next());
    EXPECT_EQ(row.Int(u"ti"), 127);
    EXPECT_EQ(row.Int(u"tiu"), 255);
    EXPECT_EQ(row.Int(u"b1"), 0);
    EXPECT_EQ(row.Int(u"siu"), 65535);
    EXPECT_EQ(row.Int(u"miu"), 16777215);
    EXPECT_EQ(row.Int(u"iu"), 4294967295LL);
    EXPECT_EQ(row.Int(u"bi"), INT64_MAX);
    EXPECT_EQ(row.Int(u"biu"), INT64_MAX);
    EXPECT_EQ(row.Int(u"bt"), 4095);
    EXPECT_DOUBLE_EQ(row.Double(u"d6530"), 0);
    EXPECT_DOUBLE_EQ(row.Double(u"dtm"), platform::EncodeDateTime(9999, 12, 31, 23, 59, 59, 0));
    EXPECT_EQ(row.Int(u"yr"), 2155);
    EXPECT_EQ(row.Text(u"ch"), u"ЯЯЯЯЯЯЯЯЯЯ");
    EXPECT_FALSE(row.IsNull(u"vc"));
    EXPECT_EQ(row.Text(u"vc"), u"");
    EXPECT_EQ(row.Text(u"vcl"), u"");
    EXPECT_FALSE(row.IsNull(u"bl"));

    ASSERT_TRUE(row.Next());
    for (const auto& t : types) {
        if (String(t.name) != u"id") {
            EXPECT_TRUE(row.IsNull(t.name)) << platform::Utf16ToUtf8(t.name);
        }
    }
    EXPECT_EQ(row.Text(u"tx"), u"");  // a NULL memo still has an empty blob
    EXPECT_FALSE(row.Next());
    set->Close();
}

TEST_F(MyRecordSet, ZeroDatesReadAsNullOrAsTheSmallestDate) {
    Exec(u"SET SESSION sql_mode = ''");
    Exec(u"DROP TABLE IF EXISTS rs_zero_dates");
    Exec(u"CREATE TABLE rs_zero_dates (d DATE, dt DATETIME, ts TIMESTAMP NULL, tm TIME)");
    Exec(
        u"INSERT INTO rs_zero_dates VALUES ('0000-00-00', '0000-00-00 00:00:00',"
        u" '0000-00-00 00:00:00', '00:00:00')");
    for (const bool nullForZero : {true, false}) {
        SCOPED_TRACE(nullForZero);
        auto set = MakeSet(u"select * from rs_zero_dates");
        set->SetProp(prNullForZeroDate, nullForZero);
        set->Open();
        TRecordReader row(*set);
        ASSERT_TRUE(row.Next());
        for (const char16_t* name : {u"d", u"dt", u"ts"}) {
            EXPECT_EQ(row.IsNull(name), nullForZero);
            if (!nullForZero) {
                EXPECT_DOUBLE_EQ(row.Double(name), ZeroDate);
            }
        }
        EXPECT_FALSE(row.IsNull(u"tm"));
        EXPECT_DOUBLE_EQ(row.Double(u"tm"), 0);
    }
    // A value that is day 0 itself reads as NULL only with the connection's switch.
    connection.SetProp(prNullForZeroDelphiDate, true);
    auto set = MakeSet(u"select * from rs_zero_dates");
    set->Open();
    TRecordReader row(*set);
    ASSERT_TRUE(row.Next());
    EXPECT_TRUE(row.IsNull(u"tm"));
}

TEST_F(MyRecordSet, OptionsChangeTheMapping) {
    Exec(u"DROP TABLE IF EXISTS rs_options");
    Exec(
        u"CREATE TABLE rs_options (b1 TINYINT(1), i INT, bn BINARY(4), vb VARBINARY(8),"
        u" bi10 BIGINT(10), bt BIT(8), vc VARCHAR(300), v20 VARCHAR(20), v40 VARCHAR(40),"
        u" tx TEXT, d DECIMAL(10,2), d20 DECIMAL(20,2)) CHARACTER SET utf8");
    Exec(
        u"INSERT INTO rs_options VALUES (1, 7, 'ab', 'xy', 5, b'1', 'v', 'w', 'x', 't', 12.5,"
        u" 1.25)");
    const struct {
        const char* option;
        std::function<void(TMySQLRecordset&, TMySQLConnection&)> apply;
        const char16_t* field;
        TDataType expected;
    } cases[] = {
        {"defaults", nullptr, u"b1", dtBoolean},
        {"EnableBoolean off", [](auto& s, auto&) { s.SetProp(prEnableBoolean, false); }, u"b1",
         dtInt8},
        {"FieldsAsString", [](auto& s, auto&) { s.SetProp(prFieldsAsString, true); }, u"i",
         dtString},
        {"FieldsAsString leaves memos", [](auto& s, auto&) { s.SetProp(prFieldsAsString, true); },
         u"tx", dtWideMemo},
        {"BinaryAsString off", [](auto& s, auto&) { s.SetProp(prBinaryAsString, false); }, u"bn",
         dtBytes},
        {"BinaryAsString off, varbinary",
         [](auto& s, auto&) { s.SetProp(prBinaryAsString, false); }, u"vb", dtVarBytes},
        {"defaults", nullptr, u"bi10", dtInt64},
        {"OptimizedBigInt", [](auto&, auto& c) { c.SetProp(prOptimizedBigInt, true); }, u"bi10",
         dtInt32},
        {"OptimizedBigInt, bit", [](auto&, auto& c) { c.SetProp(prOptimizedBigInt, true); }, u"bt",
         dtInt32},
        {"defaults", nullptr, u"vc", dtExtWideString},
        {"LongStrings off", [](auto& s, auto&) { s.SetProp(prLongStrings, false); }, u"vc",
         dtWideMemo},
        {"FlatBuffers on", [](auto& s, auto&) { s.SetProp(prFlatBuffers, true); }, u"v40",
         dtWideString},
        {"UseUnicode off", [](auto&, auto& c) { c.SetProp(prUseUnicode, false); }, u"v20",
         dtString},
        {"UseUnicode off, long", [](auto&, auto& c) { c.SetProp(prUseUnicode, false); }, u"v40",
         dtExtString},
        {"UseUnicode off, text", [](auto&, auto& c) { c.SetProp(prUseUnicode, false); }, u"tx",
         dtMemo},
        {"defaults", nullptr, u"d", dtFloat},
        {"EnableBCD", [](auto& s, auto&) { s.SetProp(prEnableBCD, true); }, u"d", dtBCD},
        {"EnableFmtBCD", [](auto& s, auto&) { s.SetProp(prEnableFmtBCD, true); }, u"d", dtFMTBCD},
        {"CheckPrecision and BCD, wide decimal",
         [](auto& s, auto& c) {
             c.SetProp(prCheckPrecision, true);
             s.SetProp(prEnableBCD, true);
         },
         u"d20", dtFloat},
        {"CheckPrecision and both BCD",
         [](auto& s, auto& c) {
             c.SetProp(prCheckPrecision, true);
             s.SetProp(prEnableBCD, true);
             s.SetProp(prEnableFmtBCD, true);
         },
         u"d20", dtFMTBCD},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        TMySQLConnection local;
        Configure(local, true);
        auto set = std::make_unique<TMySQLRecordset>();
        set->SetConnection(&local);
        set->SetProp(prFetchAll, true);
        set->SetProp(prFlatBuffers, false);
        set->SetSQL(u"select * from rs_options");
        if (c.apply) {
            c.apply(*set, local);
        }
        local.Connect(u"");
        set->Open();
        const TFieldDesc& field = set->FieldByName(c.field);
        EXPECT_EQ(field.FDataType, c.expected) << platform::Utf16ToUtf8(c.field);
        // The value reads back in its mapped form.
        TRecordReader row(*set);
        ASSERT_TRUE(row.Next());
        EXPECT_FALSE(row.IsNull(c.field));
        set->Close();
    }
}

TEST_F(MyRecordSet, ValuesInBcdForms) {
    Exec(u"DROP TABLE IF EXISTS rs_bcd");
    Exec(u"CREATE TABLE rs_bcd (d DECIMAL(10,2))");
    Exec(u"INSERT INTO rs_bcd VALUES (-12.5)");
    auto set = MakeSet(u"select d from rs_bcd");
    set->SetProp(prEnableBCD, true);
    set->Open();
    TRecordReader row(*set);
    ASSERT_TRUE(row.Next());
    EXPECT_EQ(row.Int(u"d"), -125000);
    set->Close();

    set->SetProp(prEnableFmtBCD, true);
    set->Open();
    TRecordReader fmt(*set);
    ASSERT_TRUE(fmt.Next());
    const TFieldDesc& field = set->FieldByName(u"d");
    EXPECT_EQ(field.FDataType, dtFMTBCD);
    std::uint8_t bcd[FMTBCDSize];
    bool isNull = true;
    std::vector<std::uint8_t> rec(std::size_t(set->RecordSize()));
    set->SetToBegin();
    set->GetNextRecord(rec.data());
    set->GetField(1, rec.data(), isNull, false, bcd);
    EXPECT_EQ(bcd[1], 0x80 | 2);
}

TEST_F(MyRecordSet, SixtyRowsComeInThreeBlocks) {
    Exec(u"DROP TABLE IF EXISTS rs_print");
    Exec(u"CREATE TABLE rs_print (id INT, status VARCHAR(20))");
    std::u16string insert = u"INSERT INTO rs_print VALUES ";
    for (int i = 1; i <= 60; ++i) {
        insert += (i > 1 ? u"," : u"") + (u"(" + platform::IntToStr(i) + u",'no')");
    }
    Exec(insert);
    auto set = MakeSet(u"select * from rs_print where status='no' ORDER BY id ASC");
    int fetches = 0;
    set->OnAfterFetch = [&] { ++fetches; };
    set->Open();
    EXPECT_EQ(fetches, 3);
    EXPECT_EQ(set->GetRecordCount(), 60);
    EXPECT_EQ(set->FieldByName(u"id").FDataType, dtInt32);
    EXPECT_EQ(set->FieldByName(u"status").FDataType, dtWideString);
    EXPECT_EQ(set->FieldByName(u"status").FLength, 20);
    EXPECT_FALSE(set->CanDisconnect() == false);
    TRecordReader row(*set);
    for (int i = 1; i <= 60; ++i) {
        ASSERT_TRUE(row.Next());
        EXPECT_EQ(row.Int(u"id"), i);
    }
    EXPECT_FALSE(row.Next());
    EXPECT_EQ(fetches, 3);
}

TEST_F(MyRecordSet, EmptyResultOpensWithoutRecords) {
    auto set = MakeSet(u"select 1 as a from dual where 1 = 0");
    set->Open();
    EXPECT_TRUE(set->Active());
    EXPECT_EQ(set->GetRecordCount(), 0);
    EXPECT_EQ(set->GetFieldCount(), 1);
}

TEST_F(MyRecordSet, FieldsAreDescribedWithoutFetchingRows) {
    Exec(u"DROP TABLE IF EXISTS rs_describe");
    Exec(u"CREATE TABLE rs_describe (id INT, name VARCHAR(40)) CHARACTER SET utf8");
    Exec(u"INSERT INTO rs_describe VALUES (1, 'a')");
    auto set = MakeSet(u"select * from rs_describe limit 1");
    String sent;
    set->GetCommand().OnExecute = [&](const String& sql) { sent = sql; };
    set->ExplicitInitFields();
    EXPECT_EQ(sent, u"select * from rs_describe limit 0");
    EXPECT_EQ(set->GetCommand().SQL(), u"select * from rs_describe limit 1");
    ASSERT_EQ(set->GetFieldCount(), 2);
    EXPECT_EQ(set->FieldByName(u"name").FDataType, dtExtWideString);
    EXPECT_EQ(set->FieldByName(u"name").FLength, 40);
    set->Open();
    EXPECT_EQ(sent, u"select * from rs_describe limit 1");
    EXPECT_EQ(set->GetRecordCount(), 1);
}

TEST_F(MyRecordSet, DuplicateNamesGetNumbers) {
    auto set = MakeSet(u"select 1 as id, 2 as id, 'x' as name, 'y' as NAME");
    set->Open();
    EXPECT_NE(set->FindField(u"id_1"), nullptr);
    EXPECT_NE(set->FindField(u"name_1"), nullptr);
    EXPECT_EQ(set->FieldByName(u"id_1").FFieldNo, 2);
}

TEST_F(MyRecordSet, MultiResultTextsDeliverTheFirstAndLeaveTheConnectionUsable) {
    auto set = MakeSet(u"select 1 as a; select 2 as b; select 3 as c");
    set->Open();
    EXPECT_EQ(set->FieldByName(u"a").FDataType, dtInt32);
    EXPECT_EQ(set->GetRecordCount(), 1);
    TPropValue more;
    set->GetProp(prIsCanOpenNext, more);
    EXPECT_TRUE(more.AsBoolean());
    set->Close();
    EXPECT_EQ(set->OpenNextState(), osNoMoreResults);

    auto next = MakeSet(u"select 'ok' as v");
    next->Open();
    TRecordReader row(*next);
    ASSERT_TRUE(row.Next());
    EXPECT_EQ(row.Text(u"v"), u"ok");
    // Reopening the multi-result text works the same way again.
    set->Open();
    EXPECT_EQ(set->GetRecordCount(), 1);
}

TEST_F(MyRecordSet, StatementErrorsRaiseAndLeaveTheRecordSetClosed) {
    auto set = MakeSet(u"select * from rs_no_such_table");
    try {
        set->Open();
        FAIL() << "opened a missing table";
    } catch (const EMyError& e) {
        EXPECT_EQ(e.ErrorCode(), 1146);
    }
    EXPECT_FALSE(set->Active());

    // An error of a later statement of the text surfaces while the first result is finished.
    auto second = MakeSet(u"select 1 as a; select * from rs_no_such_table");
    EXPECT_THROW(second->Open(), EMyError);
    EXPECT_FALSE(second->Active());

    auto statement = MakeSet(u"DO 1");
    EXPECT_EQ(ErrorOf(*statement), "Query must return exactly result set - use Execute");

    auto good = MakeSet(u"select 5 as a");
    good->Open();
    EXPECT_EQ(good->GetRecordCount(), 1);
}

TEST_F(MyRecordSet, ABadValueStopsTheFetchAndKeepsTheRecordsBefore) {
    Exec(u"DROP TABLE IF EXISTS rs_bad");
    Exec(
        u"CREATE TABLE rs_bad (id INT, tx TEXT, s VARCHAR(2000), b VARBINARY(4))"
        u" CHARACTER SET utf8");
    // Row 30 holds bytes that are not UTF-8 in a binary column read as a string; its memo and
    // its long string are converted before the error comes.
    Exec(
        u"INSERT INTO rs_bad SELECT seq, 'текст', REPEAT('я', 1500),"
        u" IF(seq = 30, x'd0d0', 'ok') FROM seq_1_to_40");
    auto all = MakeSet(u"select * from rs_bad order by id");
    EXPECT_EQ(ErrorOf(*all), "malformed trail byte");
    EXPECT_FALSE(all->Active());

    auto streamed = MakeSet(u"select * from rs_bad order by id");
    streamed->SetProp(prFetchAll, false);
    streamed->SetProp(prCreateConnection, false);
    streamed->Open();
    EXPECT_EQ(streamed->GetRecordCount(), 25);
    TRecordReader row(*streamed);
    for (int i = 1; i <= 25; ++i) {
        ASSERT_TRUE(row.Next());
    }
    EXPECT_THROW(row.Next(), platform::EConvertError);
    // The stored records stay; the end of the data is known, so nothing is fetched again.
    EXPECT_EQ(streamed->GetRecordCount(), 25);
    EXPECT_FALSE(row.Next());
    streamed->SetToBegin();
    ASSERT_TRUE(row.Next());
    EXPECT_EQ(row.Text(u"tx"), u"текст");
    EXPECT_EQ(row.Text(u"s").size(), 1500u);
    streamed->Close();

    auto good = MakeSet(u"select 5 as a");
    good->Open();
    EXPECT_EQ(good->GetRecordCount(), 1);
}

TEST_F(MyRecordSet, KilledConnectionRaisesOnTheNextOpen) {
    auto set = MakeSet(u"select 1 as a");
    set->Open();
    set->Close();
    TMySQLConnection killer;
    Configure(killer, true);
    killer.Connect(u"");
    killer.ExecStatement(u"KILL " + platform::IntToStr(connection.GetThreadId()));
    try {
        set->Open();
        FAIL() << "opened on a killed connection";
    } catch (const EMyError& e) {
        EXPECT_TRUE(e.IsFatalError()) << e.ErrorCode();
    }
    EXPECT_FALSE(set->Active());
    EXPECT_FALSE(connection.IsValid());
}

TEST_F(MyRecordSet, StreamingUsesASecondConnectionAndCutsLongResults) {
    auto set = std::make_unique<TMySQLRecordset>();
    set->SetConnection(&connection);
    set->SetProp(prFetchRows, 10);
    set->SetSQL(u"select seq from seq_1_to_1000");
    set->Open();
    EXPECT_TRUE(set->UsesSwapConnection());
    EXPECT_EQ(set->GetRecordCount(), 10);
    EXPECT_FALSE(set->CanDisconnect());

    // The given connection stays free for other statements meanwhile.
    auto other = MakeSet(u"select 7 as a");
    other->Open();
    EXPECT_EQ(other->GetRecordCount(), 1);

    TRecordReader row(*set);
    for (int i = 1; i <= 25; ++i) {
        ASSERT_TRUE(row.Next());
        EXPECT_EQ(row.Int(u"seq"), i);
    }
    EXPECT_EQ(set->GetRecordCount(), 30);
    // Closing with most rows unread kills the second connection's statement.
    set->Close();
    EXPECT_FALSE(set->UsesSwapConnection());
    other->Close();
    other->Open();
    EXPECT_EQ(other->GetRecordCount(), 1);

    // A short result is read to its end and the second connection given back.
    set->SetSQL(u"select seq from seq_1_to_15");
    set->Open();
    set->SetToEnd();
    EXPECT_EQ(set->GetRecordCount(), 15);
    EXPECT_FALSE(set->UsesSwapConnection());
    EXPECT_TRUE(set->CanDisconnect());
}

TEST_F(MyRecordSet, FieldsKnowTheirTablesAndTheLatestTimestamp) {
    Exec(u"DROP VIEW IF EXISTS rs_tab_view");
    Exec(u"DROP TABLE IF EXISTS rs_tab");
    Exec(u"DROP TABLE IF EXISTS rs_other");
    Exec(
        u"CREATE TABLE rs_tab (id INT, t1 TIMESTAMP NULL DEFAULT NULL,"
        u" t2 TIMESTAMP NULL DEFAULT NULL)");
    Exec(u"CREATE TABLE rs_other (x INT)");
    Exec(
        u"INSERT INTO rs_tab VALUES (1, '2001-02-03 04:05:06', '2020-01-01 00:00:00'),"
        u" (2, '2003-01-01 00:00:00', NULL), (3, NULL, '2019-01-01 00:00:00')");
    Exec(u"INSERT INTO rs_other VALUES (7)");
    auto set = MakeSet(
        u"select a.id, a.t1, a.t2, b.x, 1 + 1 as c from rs_tab a, rs_other b,"
        u" rs_other order by a.id");
    set->Open();
    const TCRTablesInfo& tables = set->TablesInfo();
    const auto tableOf = [&](const char16_t* name) {
        return static_cast<TCRFieldDesc&>(set->FieldByName(name)).FTableInfo;
    };
    ASSERT_EQ(tables.Count(), 3);
    TCRTableInfo* a = tables.FindByAlias(u"A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->TableName, u"rs_tab");
    EXPECT_EQ(a->TableNameFull, u"rs_tab");
    EXPECT_EQ(tableOf(u"id"), a);
    EXPECT_EQ(tableOf(u"t2"), a);
    EXPECT_EQ(tableOf(u"x"), tables.FindByAlias(u"b"));
    EXPECT_EQ(tableOf(u"c"), nullptr);
    // A table the FROM clause alone names.
    EXPECT_EQ(tables[2].TableName, u"rs_other");
    EXPECT_EQ(tables[2].TableAlias, u"");
    EXPECT_FALSE(a->IsView);

    // Without the flag a later column does not replace the first TIMESTAMP column.
    EXPECT_EQ(a->TimestampField, &set->FieldByName(u"t1"));
    platform::TDateTime latest = 0;
    ASSERT_TRUE(platform::TryEncodeDateTime(2003, 1, 1, 0, 0, 0, 0, latest));
    EXPECT_EQ(a->MaxTimestamp, latest);
    set->Close();
    EXPECT_EQ(set->TablesInfo().Count(), 3);
    EXPECT_EQ(set->TablesInfo()[0].MaxTimestamp, 0);

    // Reopened with another text, the tables are those of the new text only.
    set->SetSQL(u"select x from rs_other");
    set->Open();
    ASSERT_EQ(set->TablesInfo().Count(), 1);
    EXPECT_EQ(set->TablesInfo()[0].TableName, u"rs_other");

    // A view named without alias but reported under its base table.
    Exec(u"CREATE VIEW rs_tab_view AS SELECT id AS vid FROM rs_tab");
    auto view = MakeSet(u"select vid from rs_tab_view");
    view->Open();
    const TFieldDesc& vid = view->FieldByName(u"vid");
    const TCRTableInfo* viewTable = static_cast<const TCRFieldDesc&>(vid).FTableInfo;
    ASSERT_NE(viewTable, nullptr);
    EXPECT_EQ(viewTable->IsView, viewTable->TableName != u"rs_tab_view")
        << platform::Utf16ToUtf8(viewTable->TableName);
    EXPECT_EQ(vid.FActualName, viewTable->IsView ? u"vid" : vid.FActualName);
}

TEST_F(MyRecordSet, UniDirectionalKeepsOnlyTheNewestBlock) {
    Exec(u"DROP TABLE IF EXISTS rs_uni");
    Exec(u"CREATE TABLE rs_uni (id INT, s VARCHAR(100), t TEXT) CHARACTER SET utf8");
    Exec(
        u"INSERT INTO rs_uni SELECT seq, REPEAT('я', 40 + seq), IF(seq % 3 = 0, NULL, 'т')"
        u" FROM seq_1_to_25");
    auto set = MakeSet(u"select * from rs_uni order by id");
    set->SetProp(prUniDirectional, true);
    set->SetProp(prFetchRows, 10);
    set->SetProp(prCreateConnection, false);
    set->Open();
    TRecordReader row(*set);
    TRecBookmark early{};
    for (int i = 1; i <= 25; ++i) {
        ASSERT_TRUE(row.Next()) << i;
        EXPECT_EQ(set->GetRecordNo(), i);
        EXPECT_EQ(row.Int(u"id"), i);
        EXPECT_EQ(row.Text(u"s").size(), std::size_t(40 + i));
        EXPECT_EQ(row.IsNull(u"t"), i % 3 == 0);
        EXPECT_EQ(set->GetRecordCount(), (i + 9) / 10 * 10 - (i > 20 ? 5 : 0));
        if (i == 3) {
            early = set->GetBookmark();
        }
    }
    EXPECT_FALSE(row.Next());
    // Only the last block is stored: going back stops at its first record.
    set->SetToBegin();
    ASSERT_TRUE(row.Next());
    EXPECT_EQ(row.Int(u"id"), 21);
    EXPECT_EQ(set->GetRecordNo(), 21);
    // The dropped record's slot holds another record now: the bookmark does not reach it.
    set->SetToBookmark(early);
    EXPECT_EQ(set->GetRecordNo(), 21);
    set->SetRecordNo(24);
    EXPECT_EQ(set->GetRecordNo(), 24);
    set->Close();

    // Walking by record number fetches on through the replaced blocks.
    set->Open();
    set->SetRecordNo(17);
    EXPECT_EQ(set->GetRecordNo(), 17);
    ASSERT_TRUE(row.Next());
    EXPECT_EQ(row.Int(u"id"), 18);
}

TEST_F(MyRecordSet, SwapConnectionGetsTheCommandTimeoutBeforeThePing) {
    auto set = std::make_unique<TMySQLRecordset>();
    set->SetConnection(&connection);
    set->SetProp(prCommandTimeout, 7);
    set->SetProp(prFetchRows, 2);
    set->SetSQL(u"select seq from seq_1_to_5");
    Exec(u"DO 1");
    ASSERT_NE(connection.Handle()->commandTimeout, 7);
    set->Open();
    EXPECT_TRUE(set->UsesSwapConnection());
    EXPECT_EQ(connection.Handle()->commandTimeout, 7);
    EXPECT_EQ(set->GetCommand().CommandTimeout(), 7);
}

TEST_F(MyRecordSet, OpenNextTakesOverTheResultReadAhead) {
    auto set = MakeSet(u"select 1 as a; do 1; select 'x' as b, 2 as c; select 3 as d");
    set->SetProp(prFetchAll, false);
    set->SetProp(prCreateConnection, false);
    String sent;
    set->GetCommand().OnExecute = [&](const String& sql) { sent = sql; };
    set->Open();
    EXPECT_EQ(set->FieldByName(u"a").FDataType, dtInt32);
    set->Close();
    TPropValue more;
    set->GetProp(prIsCanOpenNext, more);
    EXPECT_TRUE(more.AsBoolean());

    set->SetProp(prOpenNext, true);
    sent.clear();
    set->Open();
    EXPECT_TRUE(sent.empty()) << platform::Utf16ToUtf8(sent);
    ASSERT_EQ(set->GetFieldCount(), 2);
    TRecordReader row(*set);
    ASSERT_TRUE(row.Next());
    EXPECT_EQ(row.Text(u"b"), u"x");
    EXPECT_EQ(row.Int(u"c"), 2);
    EXPECT_FALSE(row.Next());
    set->Close();

    set->Open();
    ASSERT_EQ(set->GetFieldCount(), 1);
    TRecordReader last(*set);
    ASSERT_TRUE(last.Next());
    EXPECT_EQ(last.Int(u"d"), 3);
    set->Close();
    set->GetProp(prIsCanOpenNext, more);
    EXPECT_FALSE(more.AsBoolean());
    EXPECT_EQ(set->OpenNextState(), osNoMoreResults);

    // Nothing is left to move to.
    EXPECT_EQ(ErrorOf(*set), "Query must return exactly result set - use Execute");
    // Without OpenNext the text runs again from its first result.
    set->SetProp(prOpenNext, false);
    set->Open();
    EXPECT_EQ(set->FieldByName(u"a").FDataType, dtInt32);
    EXPECT_EQ(set->GetRecordCount(), 1);
}

TEST(MyRecordSetProps, SetAndGetByNumber) {
    TMySQLRecordset set;
    const struct {
        int prop;
        TPropValue value;
    } cases[] = {
        {prFetchRows, 40},          {prFetchAll, true},          {prLongStrings, false},
        {prFlatBuffers, false},     {prFieldsAsString, true},    {prNullForZeroDate, false},
        {prEnableBoolean, false},   {prCreateConnection, false}, {prBinaryAsString, false},
        {prUseHandler, true},       {prLockFetchAll, true},      {prReadOnly, true},
        {prIndexFieldNames, u"id"}, {prUniDirectional, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prop);
        EXPECT_TRUE(set.SetProp(c.prop, c.value));
        TPropValue read;
        EXPECT_TRUE(set.GetProp(c.prop, read));
        EXPECT_EQ(read, c.value);
    }
    // UniDirectional cleared FetchAll; a locked FetchAll is not changed.
    TPropValue fetchAll;
    set.GetProp(prFetchAll, fetchAll);
    EXPECT_FALSE(fetchAll.AsBoolean());
    set.SetProp(prUniDirectional, false);
    set.SetProp(prFetchAll, true);
    set.GetProp(prFetchAll, fetchAll);
    EXPECT_FALSE(fetchAll.AsBoolean());
    set.SetProp(prLockFetchAll, false);
    set.SetProp(prFetchAll, true);
    set.GetProp(prFetchAll, fetchAll);
    EXPECT_TRUE(fetchAll.AsBoolean());
    EXPECT_FALSE(set.IsCaseSensitive());
}

}  // namespace
