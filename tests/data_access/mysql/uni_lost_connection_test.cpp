#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data_access/mysql/mysql_uni_provider.h"
#include "data_access/uni.h"
#include "platform/field.h"
#include "platform/text_encoding.h"
#include "tests/support/fake_server.h"

namespace {

using namespace data_access;
using test_support::Bytes;
using test_support::FakeConnection;
using test_support::FakeServer;

// How long a script waits for the client to close: far beyond the 1 s command timeout.
constexpr std::chrono::seconds ServerPatience{10};
// The connection's packet limit in these tests.
constexpr std::size_t PacketLimit = 1024;

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

Bytes LenEnc(std::string_view text) {
    Bytes bytes = {std::uint8_t(text.size())};
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

// A 4.1 column definition of a text column.
Bytes TextColumn(std::string_view name) {
    Bytes bytes;
    for (const std::string_view part : {std::string_view("def"), std::string_view("shop"),
                                        std::string_view("t"), std::string_view("t"), name, name}) {
        Append(bytes, LenEnc(part));
    }
    // character set 33, length 30, VAR_STRING, no flags, no decimals, filler
    Append(bytes, {12, 33, 0, 30, 0, 0, 0, 253, 0, 0, 0, 0, 0});
    return bytes;
}

const Bytes EndPacket = {0xFE, 0, 0, 2, 0};

// A one-column result header and the first rows, without the end of the result when cut.
Bytes Result(std::initializer_list<Bytes> rows, bool cut) {
    std::vector<Bytes> packets = {{1}, TextColumn("x"), EndPacket};
    packets.insert(packets.end(), rows.begin(), rows.end());
    if (!cut) {
        packets.push_back(EndPacket);
    }
    Bytes stream;
    std::uint8_t sequence = 1;
    for (const Bytes& packet : packets) {
        const std::size_t n = packet.size();
        Append(stream, {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), sequence++});
        Append(stream, packet);
    }
    return stream;
}

void LogIn(FakeConnection& connection) {
    connection.SendPacket(0, test_support::Greeting());
    connection.ReceivePacket();
    connection.SendPacket(2, test_support::OkPacket());
}

// The statement the client sends next, without its command byte.
std::string Statement(FakeConnection& connection) {
    const Bytes packet = connection.ReceivePacket();
    return packet.empty() ? std::string() : std::string(packet.begin() + 1, packet.end());
}

// What the first connection's server does after reading the statement.
using Misbehaviour = void (*)(FakeConnection&);

void SaysNothing(FakeConnection&) {}

void StopsAfterTwoRows(FakeConnection& connection) {
    connection.SendRaw(Result({LenEnc("1"), LenEnc("2")}, true));
}

void SendsARowOverTheLimit(FakeConnection& connection) {
    const std::string value(PacketLimit, 'v');
    Bytes row = {0xFC, std::uint8_t(value.size()), std::uint8_t(value.size() >> 8)};
    row.insert(row.end(), value.begin(), value.end());
    connection.SendRaw(Result({row}, false));
}

enum class Component { Query, Command };

struct LostCase {
    const char* name;
    Component component;
    Misbehaviour misbehaviour;
    int code;
    const char* text;
};

class UniLostConnection : public ::testing::TestWithParam<LostCase> {};

TEST_P(UniLostConnection, FailsOnceWithAFatalErrorAndTheNextStatementReconnects) {
    const LostCase c = GetParam();
    auto firstStatement = std::make_shared<std::string>();
    auto clientClosed = std::make_shared<std::atomic<bool>>(false);
    auto secondStatement = std::make_shared<std::string>();
    auto server = std::make_unique<FakeServer>(std::vector<FakeServer::Script>{
        [c, firstStatement, clientClosed](FakeConnection& connection) {
            LogIn(connection);
            *firstStatement = Statement(connection);
            c.misbehaviour(connection);
            *clientClosed = connection.AwaitClose(ServerPatience);
        },
        [secondStatement](FakeConnection& connection) {
            LogIn(connection);
            *secondStatement = Statement(connection);
            connection.SendRaw(Result({LenEnc("7")}, false));
            connection.AwaitClose(ServerPatience);
        }});
    mysql::RegisterMySQLUniProvider();
    TUniConnection connection(u"UniConnection1");
    connection.SetProviderName(u"MySQL");
    connection.SetServer(u"127.0.0.1");
    connection.SetPort(server->Port());
    connection.SetUsername(u"app");
    connection.SetDatabase(u"shop");
    connection.LoginPrompt = false;
    connection.SpecificOptions().Add(u"MySQL.MaxAllowedPacket=" +
                                     platform::Utf8ToUtf16(std::to_string(PacketLimit)));

    try {
        if (c.component == Component::Query) {
            TUniQuery query(u"UniQuery1");
            query.SetConnection(&connection);
            query.SpecificOptions().Add(u"MySQL.CommandTimeout=1");
            query.SQL().Add(u"select x from t");
            query.Open();
        } else {
            TUniSQL command(u"UniSQL1");
            command.SetConnection(&connection);
            command.SpecificOptions().Add(u"MySQL.CommandTimeout=1");
            command.SQL().Add(u"select x from t");
            command.Execute();
        }
        FAIL() << "the statement succeeded";
    } catch (const EUniError& error) {
        EXPECT_EQ(error.ErrorCode(), c.code);
        EXPECT_EQ(std::string(error.what()).substr(0, std::strlen(c.text)), c.text) << error.what();
        EXPECT_TRUE(error.IsFatalError());
    }
    EXPECT_FALSE(connection.Connected());

    TUniQuery next(u"UniQuery2");
    next.SetConnection(&connection);
    next.SQL().Add(u"select 7 as x");
    next.Open();
    EXPECT_TRUE(connection.Connected());
    ASSERT_EQ(next.Fields().size(), 1u);
    EXPECT_EQ(next.Fields()[0]->AsString(), u"7");
    next.Close();
    connection.Disconnect();
    server.reset();
    EXPECT_EQ(*firstStatement, "select x from t");
    EXPECT_TRUE(*clientClosed) << "the client kept the first connection open";
    EXPECT_EQ(*secondStatement, "select 7 as x");
}

INSTANTIATE_TEST_SUITE_P(
    Servers, UniLostConnection,
    ::testing::Values(LostCase{"QueryNeverAnswered", Component::Query, SaysNothing, 2013,
                               "Lost connection to MySQL server during query"},
                      LostCase{"CommandNeverAnswered", Component::Command, SaysNothing, 2013,
                               "Lost connection to MySQL server during query"},
                      LostCase{"RowsStopInTheMiddle", Component::Query, StopsAfterTwoRows, 2013,
                               "Lost connection to MySQL server during query"},
                      LostCase{"RowOverThePacketLimit", Component::Query, SendsARowOverTheLimit,
                               2020, "Got packet bigger than 'max_allowed_packet'"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
