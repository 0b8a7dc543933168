#include <gtest/gtest.h>

#include <memory>

#include "mysql_client/mysql_api.h"
#include "mysql_client/mysql_errors.h"
#include "mysql_client/mysql_result_set.h"
#include "mysql_client/mysql_session.h"
#include "tests/mysql_client/packet_bytes.h"
#include "tests/support/memory_vio.h"

namespace {

using namespace mysql_client;
using test_support::Append;
using test_support::Bytes;
using test_support::MemoryVio;
using test_support::Packet;
using test_support::ToBytes;

Bytes LengthEncoded(std::string_view text) {
    Bytes bytes = {std::uint8_t(text.size())};
    Append(bytes, ToBytes(text));
    return bytes;
}

struct Column {
    std::string name;
    std::uint8_t type;
    std::uint32_t length;
    std::uint16_t flags = 0;
    std::uint8_t decimals = 0;
    std::string orgName = name;
};

Bytes Definition41(const Column& c) {
    Bytes bytes;
    for (std::string_view value : {"def", "db", "alias", "tbl"}) {
        Append(bytes, LengthEncoded(value));
    }
    Append(bytes, LengthEncoded(c.name));
    Append(bytes, LengthEncoded(c.orgName));
    Append(bytes, {12, 33, 0, std::uint8_t(c.length), std::uint8_t(c.length >> 8),
                   std::uint8_t(c.length >> 16), std::uint8_t(c.length >> 24), c.type,
                   std::uint8_t(c.flags), std::uint8_t(c.flags >> 8), c.decimals, 0, 0});
    return bytes;
}

const Bytes EndPacket = {0xFE, 0, 0, 2, 0};

// A session whose transport replays bytes fed by the test, as if it had sent a query.
class ResultSet : public ::testing::Test {
protected:
    void SetUp() override {
        auto transport = std::make_unique<MemoryVio>();
        vio = transport.get();
        session.net.SetVio(std::move(transport));
        session.serverCapabilities = CLIENT_PROTOCOL_41 | CLIENT_LONG_FLAG | CLIENT_TRANSACTIONS;
        session.FclientFlag = CLIENT_PROTOCOL_41;
    }

    void TearDown() override {
        if (result) {
            api.mysql_free_result(result);
        }
    }

    // Sends a query and reads the answer made of these packet payloads.
    void Answer(const std::vector<Bytes>& payloads) {
        std::uint8_t sequence = 1;
        for (const Bytes& payload : payloads) {
            vio->Feed(Packet(sequence++, payload));
        }
        session.SimpleCommand(scQuery, reinterpret_cast<const std::uint8_t*>("q"), 1, true);
        session.ReadQueryResult();
    }

    // Answers with a result set of these columns and rows.
    void AnswerResult(const std::vector<Column>& columns, const std::vector<Bytes>& rows) {
        std::vector<Bytes> payloads = {{std::uint8_t(columns.size())}};
        for (const Column& column : columns) {
            payloads.push_back(Definition41(column));
        }
        payloads.push_back(EndPacket);
        payloads.insert(payloads.end(), rows.begin(), rows.end());
        payloads.push_back(EndPacket);
        Answer(payloads);
        result = api.mysql_use_result(&session);
    }

    TMySQLAPIDirect& api = MyAPIDirect();
    TMySqlSession session;
    MemoryVio* vio = nullptr;
    PMYSQL_RES result = nullptr;
};

TEST_F(ResultSet, OkPacketLeavesTheSessionReady) {
    Answer({{0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00}});
    EXPECT_EQ(session.affectedRows, 1);
    EXPECT_EQ(session.insertId, 0);
    EXPECT_EQ(session.serverStatus, 2u);
    EXPECT_EQ(session.info, "");
    EXPECT_EQ(session.fieldCount, 0u);
    EXPECT_EQ(session.status, msReady);
}

TEST_F(ResultSet, OkPacketCarriesInfoText) {
    Bytes ok = {0x00, 0xFC, 0x10, 0x27, 0x05, 0x0A, 0x00, 0x03, 0x00};
    Append(ok, ToBytes("Records: 10000  Duplicates: 0  Warnings: 3"));
    Answer({ok});
    EXPECT_EQ(session.affectedRows, 10000);
    EXPECT_EQ(session.insertId, 5);
    EXPECT_EQ(session.serverStatus, 10u);
    EXPECT_EQ(session.warningCount, 3u);
    EXPECT_EQ(session.info, "Records: 10000  Duplicates: 0  Warnings: 3");
}

TEST_F(ResultSet, HeaderLeavesDefinitionsReadAndRowsUnread) {
    Answer({{3},
            Definition41({"a", MYSQL_TYPE_LONG, 11}),
            Definition41({"b", MYSQL_TYPE_STRING, 3}),
            Definition41({"c", MYSQL_TYPE_DOUBLE, 22}),
            EndPacket,
            {0x01, '1', 0xFB, 0xFB}});
    EXPECT_EQ(session.fieldCount, 3u);
    EXPECT_EQ(session.status, msGetResult);
    ASSERT_EQ(session.fields.size(), 3u);
    EXPECT_EQ(session.fields[1].Name, "b");
    EXPECT_EQ(session.fields[1].Table, "alias");
    EXPECT_EQ(session.fields[1].OrgTable, "tbl");
    EXPECT_EQ(session.fields[1].Database, "db");
    EXPECT_EQ(session.fields[1].CharsetNr, 33);
}

TEST_F(ResultSet, DecodesRowValuesInPlace) {
    AnswerResult(
        {{"a", MYSQL_TYPE_STRING, 10}, {"b", MYSQL_TYPE_STRING, 10}, {"c", MYSQL_TYPE_STRING, 10}},
        {{0x01, 0x35, 0xFB, 0x00}, {0x00, 0x00, 0xFB}});
    ASSERT_NE(result, nullptr);

    PMYSQL_ROW w = api.mysql_fetch_row(result);
    ASSERT_NE(w, nullptr);
    const struct {
        bool isNull;
        std::uint32_t offset, length;
    } first[] = {{false, 1, 1}, {true, 0, 0}, {false, 4, 0}};
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(w->Binds[i].IsNull, first[i].isNull) << i;
        EXPECT_EQ(w->Binds[i].Offset, first[i].offset) << i;
        EXPECT_EQ(w->Binds[i].Length, first[i].length) << i;
    }
    EXPECT_EQ(api._mysql_fetch_value_str(w, 0), "5");
    ASSERT_NE(api.mysql_fetch_row(result), nullptr);
    EXPECT_EQ(api.mysql_fetch_row(result), nullptr);
    EXPECT_EQ(session.status, msReady);
}

TEST_F(ResultSet, LongValueUsesTheTwoByteLengthPrefix) {
    Bytes row = {0x01, 'x', 0xFC, 0x2C, 0x01};
    Append(row, Bytes(300, 'q'));
    AnswerResult({{"a", MYSQL_TYPE_STRING, 1}, {"b", MYSQL_TYPE_BLOB, 65535}}, {row});
    PMYSQL_ROW w = api.mysql_fetch_row(result);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Binds[1].Offset, 5u);  // 3 past the prefix at position 2
    EXPECT_EQ(w->Binds[1].Length, 300u);
}

TEST_F(ResultSet, ColumnDefinitionsMarkNumericTypes) {
    const struct {
        Column column;
        bool numeric;
    } cases[] = {
        {{"i", MYSQL_TYPE_LONG, 11, 0x1001}, true},
        {{"ts19", MYSQL_TYPE_TIMESTAMP, 19}, false},
        {{"ts14", MYSQL_TYPE_TIMESTAMP, 14}, true},
        {{"y", MYSQL_TYPE_YEAR, 4}, true},
        {{"dec", MYSQL_TYPE_NEWDECIMAL, 14, 0, 2}, false},
        {{"txt", MYSQL_TYPE_BLOB, 0xFFFFFFFF}, false},
    };
    std::vector<Column> columns;
    for (const auto& c : cases) {
        columns.push_back(c.column);
    }
    AnswerResult(columns, {});
    ASSERT_NE(result, nullptr);
    for (unsigned i = 0; i < columns.size(); ++i) {
        const TMySqlFieldInfo& info = result->Fields()[i];
        EXPECT_EQ(info.MyType, cases[i].column.type) << info.Name;
        EXPECT_EQ(info.Flags, cases[i].column.flags | (cases[i].numeric ? NUM_FLAG : 0))
            << info.Name;
        EXPECT_EQ(std::uint32_t(info.Length), cases[i].column.length) << info.Name;
        EXPECT_EQ(info.Scale, cases[i].column.decimals) << info.Name;
    }
    TMYSQL_FIELD field;
    api._mysql_fetch_field_direct(result, 5, field, false);
    EXPECT_EQ(field.LengthInBytes, 65535u);
    EXPECT_EQ(api.mysql_fetch_row(result), nullptr);
    EXPECT_EQ(session.status, msReady);
}

TEST_F(ResultSet, OlderProtocolDefinitions) {
    session.serverCapabilities = CLIENT_LONG_FLAG;
    session.FclientFlag = 0;
    Bytes definition;
    Append(definition, LengthEncoded("tbl"));
    Append(definition, LengthEncoded("name"));
    Append(definition, {3, 40, 0, 0, 1, MYSQL_TYPE_VAR_STRING, 3, 0x01, 0x10, 0});
    Answer({{1}, definition, {0xFE}});
    ASSERT_EQ(session.fields.size(), 1u);
    const TMySqlFieldInfo& info = session.fields[0];
    EXPECT_EQ(info.Table, "tbl");
    EXPECT_EQ(info.OrgTable, "tbl");
    EXPECT_EQ(info.OrgName, "");
    EXPECT_EQ(info.Name, "name");
    EXPECT_EQ(info.Length, 40);
    EXPECT_EQ(info.MyType, MYSQL_TYPE_VAR_STRING);
    EXPECT_EQ(info.Flags, 0x1001u);
    EXPECT_EQ(info.Scale, 0);

    result = api.mysql_use_result(&session);
    TMYSQL_FIELD field;
    api._mysql_fetch_field_direct(result, 0, field, true);
    EXPECT_EQ(field.OrgName, "name");
    EXPECT_EQ(field.LengthInBytes, 120u);  // counted in characters: three bytes each
}

TEST_F(ResultSet, FreeingAProcedureResultConsumesItsStatusPacket) {
    session.FSkipPacket = true;
    AnswerResult({{"a", MYSQL_TYPE_LONG, 11}}, {{0x01, '1'}, {0x01, '2'}});
    vio->Feed(Packet(7, {0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}));
    ASSERT_NE(api.mysql_fetch_row(result), nullptr);
    api.mysql_free_result(result);
    result = nullptr;
    EXPECT_EQ(session.status, msReady);
    EXPECT_FALSE(session.FSkipPacket);
    // Everything fed was consumed: a further read finds the connection closed.
    EXPECT_THROW(session.net.Receive(), EMySqlException);
}

TEST_F(ResultSet, ServerErrorInPlaceOfARowEndsTheResult) {
    Bytes error = {0xFF, 0x25, 0x05};
    Append(error, ToBytes("#70100Query execution was interrupted"));
    AnswerResult({{"a", MYSQL_TYPE_LONG, 11}}, {{0x01, '1'}, error});
    ASSERT_NE(api.mysql_fetch_row(result), nullptr);
    EXPECT_EQ(api.mysql_fetch_row(result), nullptr);
    EXPECT_EQ(api.mysql_errno(&session), 1317u);
    EXPECT_EQ(session.status, msReady);
}

TEST_F(ResultSet, BufferedAndStreamedSeek) {
    Answer({{1}, Definition41({"a", MYSQL_TYPE_LONG, 11}), EndPacket});
    TMySqlResultSet reader(session, {}, 1);
    EXPECT_THROW(reader.Seek(0), platform::ENotSupportedException);

    vio->Feed(Packet(4, {0x01, 'x'}));
    vio->Feed(Packet(5, {0x01, 'y'}));
    vio->Feed(Packet(6, {0xFE}));
    reader.ReadRows();
    EXPECT_EQ(reader.GetRowCount(), 2u);
    TMySqlBinds binds(1);
    ASSERT_TRUE(reader.Read(&binds));
    ASSERT_TRUE(reader.Read(&binds));
    EXPECT_FALSE(reader.Read(&binds));
    reader.Seek(1);
    ASSERT_TRUE(reader.Read(&binds));
    EXPECT_EQ(binds.Buffer[binds.Binds[0].Offset], 'y');
    EXPECT_THROW(reader.Seek(2), platform::EArgumentException);
    reader.Seek(0);
    try {
        reader.Read(nullptr);
        ADD_FAILURE() << "a row was decoded without a view";
    } catch (const EMySqlException& e) {
        EXPECT_EQ(e.ErrorCode(), 2028);
        EXPECT_EQ(e.Message(), "Invalid use of null pointer");
    }
}

}  // namespace
