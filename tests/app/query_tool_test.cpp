#include "app/query_tool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/format_settings.h"
#include "tests/support/fake_server.h"
#include "tests/support/server_test.h"

namespace {

struct TRun {
    int status;
    std::string out;
    std::string err;
};

TRun RunTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = app::RunQueryTool(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(QueryToolArguments, UsageErrorsExitWithStatusOne) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "no statement given"},
        {{"--port", "x", "select 1"}, "invalid port: x"},
        {{"--port=70000", "select 1"}, "invalid port: 70000"},
        {{"--colour", "red", "select 1"}, "unknown option --colour"},
        {{"select 1", "--user"}, "--user needs a value"},
        {{"select", "1"}, "more than one statement given"},
        {{"--help=x", "select 1"}, "unknown option --help"},
        {{"--command-timeout", "soon", "select 1"}, "invalid command timeout: soon"},
        {{"--command-timeout=-1", "select 1"}, "invalid command timeout: -1"},
        {{"--command-timeout=1.5", "select 1"}, "invalid command timeout: 1.5"},
        {{"--command-timeout=", "select 1"}, "invalid command timeout: \n"},
    };
    for (const auto& c : cases) {
        const TRun run = RunTool(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    const TRun help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--database NAME"), std::string::npos);
    EXPECT_NE(help.out.find("--command-timeout SECONDS"), std::string::npos);
}

// What a server that logs the tool in and then never answers its statement saw.
struct TSilentServer {
    std::uint32_t announcedLimit = 0;
    std::string statement;
    bool clientClosed = false;
};

TEST(QueryToolTimeout, AStatementWithoutAnswerIsALostConnection) {
    auto seen = std::make_shared<TSilentServer>();
    auto server =
        std::make_unique<test_support::FakeServer>([seen](test_support::FakeConnection& peer) {
            peer.SendPacket(0, test_support::Greeting());
            const test_support::Bytes login = peer.ReceivePacket();
            if (login.size() >= 8) {
                seen->announcedLimit = std::uint32_t(login[4]) | std::uint32_t(login[5]) << 8 |
                                       std::uint32_t(login[6]) << 16 |
                                       std::uint32_t(login[7]) << 24;
            }
            peer.SendPacket(2, test_support::OkPacket());
            peer.ReceivePacket();  // SET NAMES
            peer.SendPacket(1, test_support::OkPacket());
            const test_support::Bytes statement = peer.ReceivePacket();
            seen->statement.assign(statement.begin() + (statement.empty() ? 0 : 1),
                                   statement.end());
            seen->clientClosed = peer.AwaitClose(std::chrono::seconds(10));
        });
    const TRun run = RunTool({"--server", "127.0.0.1", "--port", std::to_string(server->Port()),
                              "--command-timeout", "1", "select * from print"});
    server.reset();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Lost connection to MySQL server during query"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(seen->statement, "select * from print");
    EXPECT_TRUE(seen->clientClosed) << "the tool waited until the server closed the connection";
    EXPECT_EQ(seen->announcedLimit, 64u * 1024 * 1024);
}

class QueryTool : public test_support::ServerTest {
protected:
    std::vector<std::string> Args(const std::string& statement) {
        return {"--server", server.host,  "--port=" + std::to_string(server.port),
                "--user",   server.user,  "--password",
                "",         "--database", server.database,
                statement};
    }
};

TEST_F(QueryTool, PrintsTheValueTextsTheServiceReads) {
    platform::FormatSettings() = platform::TFormatSettings{};
    ASSERT_EQ(RunTool(Args("drop table if exists tool_dishes")).status, 0);
    ASSERT_EQ(
        RunTool(Args("create table tool_dishes (id int, name varchar(40), price decimal(8,2), "
                     "note text, added date) default charset utf8mb4"))
            .status,
        0);
    const TRun insert = RunTool(
        Args("insert into tool_dishes values (1, 'Борщ', 1250.50, 'hot\tand\nred', '2024-03-05'), "
             "(2, 'Чай', 300, null, null)"));
    EXPECT_EQ(insert.out, "2 rows affected\n");

    const TRun select = RunTool(Args("select * from tool_dishes order by id"));
    EXPECT_EQ(select.status, 0) << select.err;
    EXPECT_EQ(select.out,
              "id\tname\tprice\tnote\tadded\n"
              "1\tБорщ\t1250.5\thot\\tand\\nred\t05.03.2024\n"
              "2\tЧай\t300\t\t\n");
}

TEST_F(QueryTool, ServerErrorsPrintTheirMessage) {
    const TRun run = RunTool(Args("select * from no_such_table"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no_such_table' doesn't exist"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace
