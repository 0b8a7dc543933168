#include "data_access/mysql/my_connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data_access/cr_errors.h"
#include "data_access/mysql/my_command.h"
#include "data_access/mysql/my_error.h"
#include "data_access/mysql/my_sql_values.h"
#include "platform/date_time.h"
#include "platform/text_encoding.h"
#include "tests/support/fake_server.h"
#include "tests/support/server_test.h"

namespace {

using namespace data_access;
using namespace data_access::mysql;
using platform::String;

String U16(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}

// A connection to the throwaway server and commands on it.
class MyConnection : public test_support::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        Configure(connection, true);
    }

    void Configure(TMySQLConnection& target, bool useUnicode) {
        target.SetProp(prServer, U16(server.host));
        target.SetProp(prUsername, U16(server.user));
        target.SetProp(prPassword, String());
        target.SetProp(prDatabase, U16(server.database));
        target.SetProp(prPort, server.port);
        target.SetProp(prUseUnicode, useUnicode);
    }

    void Exec(const String& sql) {
        TMySQLCommand command;
        command.SetConnection(&connection);
        command.SetSQL(sql);
        command.Execute();
    }

    // The first column of the first row, read through the facade on the connection's own
    // session, as the bytes the server sent; nothing for NULL or no row.
    std::optional<std::string> Value(TMySQLConnection& on, const std::string& sql) {
        mysql_client::TMySQLAPI& api = on.API();
        EXPECT_EQ(api.mysql_real_query(on.Handle(), sql.data(), sql.size()), 0)
            << api.mysql_error(on.Handle());
        mysql_client::PMYSQL_RES result = api.mysql_use_result(on.Handle());
        std::optional<std::string> value;
        if (!result) {
            return value;
        }
        if (mysql_client::PMYSQL_ROW row = api.mysql_fetch_row(result)) {
            if (!api._mysql_fetch_value_is_null(row, 0)) {
                value = api._mysql_fetch_value_str(row, 0);
            }
        }
        api.mysql_free_result(result);
        return value;
    }

    std::optional<std::string> Value(const std::string& sql) { return Value(connection, sql); }

    // Runs the command and returns the error it raised.
    static EMyError ErrorOf(TMySQLCommand& command) {
        try {
            command.Execute();
        } catch (const EMyError& e) {
            return e;
        }
        ADD_FAILURE() << "no error raised";
        return EMyError(0, "");
    }

    TMySQLConnection connection;
};

// --- connecting -------------------------------------------------------------------------------

TEST_F(MyConnection, ConnectsWithUtf8AndDisconnects) {
    connection.Connect(u"");
    ASSERT_TRUE(connection.GetConnected());
    EXPECT_TRUE(connection.IsValid());
    EXPECT_EQ(Value("SELECT @@character_set_client").value_or("").substr(0, 4), "utf8");
    EXPECT_EQ(Value("SELECT @@character_set_results").value_or("").substr(0, 4), "utf8");
    EXPECT_EQ(Value("SELECT DATABASE()"), server.database);
    EXPECT_FALSE(connection.GetServerVersion().empty());
    EXPECT_EQ(connection.GetClientVersion(), u"7.0.0 Direct");
    EXPECT_TRUE(connection.CheckIsValid());

    connection.Connect(u"");  // already connected: nothing happens
    EXPECT_TRUE(connection.GetConnected());

    connection.Disconnect();
    EXPECT_FALSE(connection.GetConnected());
    EXPECT_EQ(connection.Handle(), nullptr);
    EXPECT_FALSE(connection.CheckIsValid());
    connection.Disconnect();  // a second time does nothing
}

TEST_F(MyConnection, CharsetWithoutUnicodeSendsSetNamesWithThatText) {
    TMySQLConnection ansi;
    Configure(ansi, false);
    ansi.SetProp(prCharset, u"cp1251");
    ansi.Connect(u"");
    EXPECT_EQ(Value(ansi, "SELECT @@character_set_client"), "cp1251");
    EXPECT_FALSE(ansi.UseUnicode());
}

TEST_F(MyConnection, FailedConnectLeavesNoHandle) {
    connection.SetProp(prPassword, u"wrong password");
    connection.SetProp(prUsername, U16(server.passwordUser));
    try {
        connection.Connect(u"");
        FAIL() << "connected with a wrong password";
    } catch (const EMyError& e) {
        EXPECT_EQ(e.ErrorCode(), 1045);
    }
    EXPECT_FALSE(connection.GetConnected());
    EXPECT_EQ(connection.Handle(), nullptr);
}

TEST_F(MyConnection, RefusedPortIsFatal) {
    connection.SetProp(prPort, 1);
    try {
        connection.Connect(u"");
        FAIL() << "connected to port 1";
    } catch (const EMyError& e) {
        EXPECT_EQ(e.ErrorCode(), 2003);
        EXPECT_TRUE(e.IsFatalError());
    }
    EXPECT_EQ(connection.Handle(), nullptr);
}

// --- properties -------------------------------------------------------------------------------

TEST(MyConnectionProps, SetAndGetByNumber) {
    TMySQLConnection connection;
    struct Case {
        int prop;
        TPropValue value;
    };
    const std::vector<Case> cases = {
        {prDatabase, u"screen"},        {prPort, 3307},
        {prConnectionTimeout, 7},       {prCompress, true},
        {prCharset, u"cp1251"},         {prUseUnicode, true},
        {prCheckBackslashes, true},     {prInteractive, true},
        {prUsername, u"root"},          {prServer, u"db.example"},
        {prAutoCommit, false},          {prEnableBCD, true},
        {prMaxAllowedPacket, 67108864},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prop);
        EXPECT_TRUE(connection.SetProp(c.prop, c.value));
        TPropValue read;
        EXPECT_TRUE(connection.GetProp(c.prop, read));
        EXPECT_EQ(read, c.value);
    }
    TPropValue timeout;
    TMySQLConnection fresh;
    fresh.GetProp(prConnectionTimeout, timeout);
    EXPECT_EQ(timeout.AsInteger(), 15);
    TPropValue need;
    fresh.GetProp(prNeedBackslashes, need);
    EXPECT_TRUE(need.AsBoolean());
    TPropValue limit;
    fresh.GetProp(prMaxAllowedPacket, limit);
    EXPECT_EQ(limit.AsInteger(), 1073741824);
}

TEST(MyConnectionProps, UnknownNumberIsAnAssertionCarryingIt) {
    TMySQLConnection connection;
    TMySQLCommand command;
    TPropValue value;
    EXPECT_THROW(
        {
            try {
                connection.SetProp(9999, true);
            } catch (const platform::EAssertionFailed& e) {
                EXPECT_NE(e.Message().find("9999"), std::string::npos) << e.Message();
                throw;
            }
        },
        platform::EAssertionFailed);
    EXPECT_THROW(connection.GetProp(prCommandTimeout, value), platform::EAssertionFailed);
    EXPECT_THROW(command.SetProp(prPort, 1), platform::EAssertionFailed);
    EXPECT_THROW(command.GetProp(9998, value), platform::EAssertionFailed);
}

TEST(MyConnectionProps, FacadeChoice) {
    TMySQLConnection connection;
    EXPECT_TRUE(connection.SetProp(prEmbedded, false));
    EXPECT_TRUE(connection.SetProp(prDirect, true));
    EXPECT_THROW(connection.SetProp(prDirect, false), platform::ENotSupportedException);
    EXPECT_THROW(connection.SetProp(prEmbedded, true), platform::ENotSupportedException);
}

// --- statements -------------------------------------------------------------------------------

TEST_F(MyConnection, CyrillicTextBothWays) {
    connection.Connect(u"");
    Exec(u"DROP TABLE IF EXISTS my_conn_text");
    Exec(u"CREATE TABLE my_conn_text (id INT PRIMARY KEY, v VARCHAR(40)) CHARACTER SET utf8");
    Exec(u"INSERT INTO my_conn_text VALUES (1, 'Привет, мир')");
    EXPECT_EQ(Value("SELECT v FROM my_conn_text WHERE id = 1"), "Привет, мир");

    // Without UseUnicode the text goes in the ANSI code page (1251 here).
    TMySQLConnection ansi;
    Configure(ansi, false);
    ansi.SetProp(prCharset, u"cp1251");
    ansi.Connect(u"");
    TMySQLCommand command;
    command.SetConnection(&ansi);
    command.SetSQL(u"INSERT INTO my_conn_text VALUES (2, 'Счёт №5')");
    command.Execute();
    EXPECT_EQ(Value("SELECT v FROM my_conn_text WHERE id = 2"), "Счёт №5");
    EXPECT_EQ(Value(ansi, "SELECT v FROM my_conn_text WHERE id = 1"),
              platform::Utf16ToAnsi(u"Привет, мир"));
    Exec(u"DROP TABLE my_conn_text");
}

TEST_F(MyConnection, RowsAffectedCountsRowsFound) {
    connection.Connect(u"");
    Exec(u"DROP TABLE IF EXISTS my_conn_rows");
    Exec(u"CREATE TABLE my_conn_rows (id INT, status VARCHAR(5))");
    Exec(u"INSERT INTO my_conn_rows VALUES (5, 'yes'), (5, 'no'), (6, 'no')");
    TMySQLCommand command;
    command.SetConnection(&connection);
    std::vector<String> sent;
    command.OnExecute = [&](const String& sql) { sent.push_back(sql); };
    const String update = u"UPDATE my_conn_rows SET status='yes' WHERE id='5'";
    command.SetSQL(update);
    command.Execute();
    TPropValue rows;
    command.GetProp(prRowsProcessed, rows);
    EXPECT_EQ(rows.AsInteger(), 2);  // one row changed, two found
    EXPECT_EQ(command.GetCursorState(), csInactive);
    EXPECT_EQ(sent, std::vector<String>{update});
    EXPECT_TRUE(command.Params().empty());
    Exec(u"DROP TABLE my_conn_rows");
}

TEST_F(MyConnection, MultiStatementRunsToTheFailingStatement) {
    connection.Connect(u"");
    Exec(u"DROP TABLE IF EXISTS my_conn_multi");
    Exec(u"CREATE TABLE my_conn_multi (id INT)");
    TMySQLCommand command;
    command.SetConnection(&connection);
    command.SetSQL(u"INSERT INTO my_conn_multi VALUES (1); INSERT INTO no_such_table VALUES (2)");
    EXPECT_EQ(ErrorOf(command).ErrorCode(), 1146);
    EXPECT_EQ(Value("SELECT COUNT(*) FROM my_conn_multi"), "1");
    Exec(u"DROP TABLE my_conn_multi");
}

TEST_F(MyConnection, OpenResultBlocksExecution) {
    connection.Connect(u"");
    TMySQLCommand command;
    command.SetConnection(&connection);
    command.SetRequestResultset(true);
    int executions = 0;
    command.AfterExecute = [&](bool success) { executions += success ? 1 : 100; };
    command.SetSQL(u"SELECT 1 UNION SELECT 2");
    command.Execute();
    ASSERT_NE(command.SQLResult(), nullptr);
    EXPECT_EQ(command.GetCursorState(), csExecuted);
    command.Execute();  // result still open: nothing
    EXPECT_EQ(executions, 1);
    command.FreeResult();
    command.SetCursorState(csInactive);
    command.Execute();
    EXPECT_EQ(executions, 2);
}

// --- errors -----------------------------------------------------------------------------------

TEST_F(MyConnection, ServerErrorCarriesCodeMessageAndComponent) {
    int owner = 0;
    auto* component = reinterpret_cast<TComponent*>(&owner);
    connection.SetComponent(component);
    connection.Connect(u"");
    TMySQLCommand command;
    command.SetConnection(&connection);
    bool succeeded = true;
    command.AfterExecute = [&](bool success) { succeeded = success; };
    command.SetSQL(u"SELECT * FROM таблица_которой_нет");
    const EMyError error = ErrorOf(command);
    EXPECT_EQ(error.ErrorCode(), 1146);
    EXPECT_NE(error.Message().find("таблица_которой_нет"), std::string::npos) << error.Message();
    EXPECT_EQ(error.Component(), component);
    EXPECT_FALSE(error.IsFatalError());
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(command.GetCursorState(), csInactive);
    EXPECT_TRUE(connection.IsValid());
}

TEST_F(MyConnection, AnsiMessageIsDecodedFromTheCodePage) {
    TMySQLConnection ansi;
    Configure(ansi, false);
    ansi.SetProp(prCharset, u"cp1251");
    ansi.Connect(u"");
    TMySQLCommand command;
    command.SetConnection(&ansi);
    command.SetSQL(u"SELECT * FROM таблица_которой_нет");
    EXPECT_NE(ErrorOf(command).Message().find("таблица_которой_нет"), std::string::npos);
}

TEST_F(MyConnection, SyntaxErrorGivesItsLine) {
    connection.Connect(u"");
    TMySQLCommand command;
    command.SetConnection(&connection);
    command.SetSQL(u"SELECT 1\nFROM dual\nWHERE WHERE");
    const EMyError error = ErrorOf(command);
    EXPECT_EQ(error.ErrorCode(), 1064);
    EXPECT_EQ(error.LineNumber(), 3) << error.Message();
}

TEST_F(MyConnection, KilledConnectionIsFatalAndInvalid) {
    connection.Connect(u"");
    const std::uint32_t id = connection.GetThreadId();
    TMySQLConnection killer;
    Configure(killer, true);
    killer.Connect(u"");
    ASSERT_EQ(killer.API().mysql_kill(killer.Handle(), id), 0)
        << killer.API().mysql_error(killer.Handle());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    TMySQLCommand command;
    command.SetConnection(&connection);
    command.SetSQL(u"SELECT 1");
    const EMyError error = ErrorOf(command);
    EXPECT_TRUE(error.IsFatalError()) << error.ErrorCode() << " " << error.Message();
    EXPECT_FALSE(connection.IsValid());
    EXPECT_FALSE(connection.CheckIsValid());
    connection.Disconnect();  // never fails on a dead connection
}

// --- parameters -------------------------------------------------------------------------------

TEST_F(MyConnection, ParameterValuesRoundTrip) {
    connection.Connect(u"");
    Exec(u"DROP TABLE IF EXISTS my_conn_params");
    Exec(u"CREATE TABLE my_conn_params (id INT, v VARCHAR(100)) CHARACTER SET utf8");
    const std::vector<String> values = {
        u"it's",         u"\"quoted\"",
        u"back\\slash",  u"end\\",
        u"\\'",          u"a ? b",
        u"12:30 :id",    u"line\nbreak\r",
        u"ctrl\x1aZ",    String(u"nul\0in", 7),
        u"Привет 'мир'", u"'); DROP TABLE my_conn_params; -- ",
    };
    int id = 0;
    for (const bool positions : {false, true}) {
        for (const String& value : values) {
            SCOPED_TRACE(platform::Utf16ToUtf8(value));
            TMySQLCommand command;
            command.SetConnection(&connection);
            command.SetProp(prFillParamPosition, positions);
            command.SetSQL(u"INSERT INTO my_conn_params VALUES (:id, :v) -- :comment ?");
            ASSERT_EQ(command.Params().size(), 2u);
            command.Params()[0].DataType = dtInt32;
            command.Params()[0].Value = std::int64_t(++id);
            command.Params()[1].DataType = dtWideString;
            command.Params()[1].Value = value;
            command.Execute();
            EXPECT_EQ(Value("SELECT v FROM my_conn_params WHERE id = " + std::to_string(id)),
                      platform::Utf16ToUtf8(value));
        }
    }
    Exec(u"DROP TABLE my_conn_params");
}

// Backslash escapes are assumed by default; a server that does not read them must still never
// see a value end its literal early.
TEST_F(MyConnection, QuotesCannotEscapeWithoutBackslashMode) {
    connection.Connect(u"");
    Exec(u"DROP TABLE IF EXISTS my_conn_nobs");
    Exec(u"CREATE TABLE my_conn_nobs (v VARCHAR(100))");
    Exec(u"SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES'");
    const String attack = u"'); DROP TABLE my_conn_nobs; -- ";
    TMySQLCommand command;
    command.SetConnection(&connection);
    command.SetSQL(u"INSERT INTO my_conn_nobs VALUES (:v)");
    command.Params()[0].DataType = dtString;
    command.Params()[0].Value = attack;
    command.Execute();
    EXPECT_EQ(Value("SELECT v FROM my_conn_nobs"), platform::Utf16ToUtf8(attack));

    // Asked, the connection learns the mode and keeps backslashes as they are.
    connection.SetProp(prCheckBackslashes, true);
    EXPECT_FALSE(connection.NeedBackslashes());
    Exec(u"DELETE FROM my_conn_nobs");
    command.Params()[0].Value = String(u"a\\'b\\");
    command.Execute();
    EXPECT_EQ(Value("SELECT v FROM my_conn_nobs"), "a\\'b\\");
    Exec(u"DROP TABLE my_conn_nobs");
}

TEST_F(MyConnection, ParameterScan) {
    struct Case {
        String text;
        String sql;
        std::vector<String> names;
    };
    const std::vector<Case> cases = {
        {u"select '12:30', :id", u"select '12:30', ?", {u"id"}},
        {u"SET @a := 5", u"SET @a := 5", {}},
        {u"select `a:b`, :`my name`, :order", u"select `a:b`, ?, ?", {u"my name", u"ORDER"}},
        {u"select :a /* :b */ # :c\n, :a", u"select ? /* :b */ # :c\n, ?", {u"a", u"a"}},
        {u"select ? from t where x = :x", u"select ? from t where x = ?", {u"x"}},
        {u"select a::int, :", u"select a::int, :", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.text));
        TMySQLCommand command;
        command.SetProp(prFillParamPosition, true);
        command.SetSQL(c.text);
        EXPECT_EQ(command.SQL(), c.sql);
        std::vector<String> names;
        for (const TParamDesc& param : command.Params()) {
            names.push_back(param.Name);
        }
        EXPECT_EQ(names, c.names);
    }
}

// A "?" the user wrote is a marker too; the text without ":" keeps no parameters.
TEST_F(MyConnection, QuestionMarkWithoutParametersIsSentUnchanged) {
    connection.Connect(u"");
    TMySQLCommand command;
    command.SetConnection(&connection);
    std::vector<String> sent;
    command.OnExecute = [&](const String& sql) { sent.push_back(sql); };
    command.SetSQL(u"SELECT '?' AS q");
    command.Execute();
    EXPECT_EQ(sent, std::vector<String>{u"SELECT '?' AS q"});
}

TEST(MySQLValues, Rendering) {
    using platform::EncodeDate;
    struct Case {
        TDataType type;
        TParamValue value;
        std::string sql;
    };
    const std::vector<Case> cases = {
        {dtString, std::monostate{}, "NULL"},
        {dtDate, EncodeDate(100, 1, 1), "'0000-00-00 00:00:00'"},
        {dtDateTime, EncodeDate(100, 1, 1), "'0000-00-00 00:00:00'"},
        {dtDate, EncodeDate(2024, 3, 9), "'2024-03-09'"},
        {dtDateTime, platform::EncodeDateTime(2024, 3, 9, 7, 5, 3, 0), "'2024-03-09 07:05:03'"},
        {dtTime, -1.5 / 24, "'-1:30:00'"},
        {dtTime, 30.0 / 24 + 1.0 / 86400, "'30:00:01'"},
        {dtFloat, 2.5, "2.5"},
        {dtCurrency, -0.25, "-0.25"},
        {dtBoolean, true, "1"},
        {dtInt32, std::int64_t(-42), "-42"},
        {dtInt32, String(u"1 OR 1=1"), "'1 OR 1=1'"},
        {dtBlob, std::string("\x00\x1a'\\", 4), "'\\0\\Z''\\\\'"},
        {dtString, String(u"a\"b"), "'a\\\"b'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        TParamDesc param;
        param.DataType = c.type;
        param.Value = c.value;
        std::string out;
        AppendValueToSQL(param, TSQLValueContext{true, true}, out);
        EXPECT_EQ(out, c.sql);
    }
    std::string plain;
    EscapeAndQuoteStr("a'b\\c\n", false, plain);
    EXPECT_EQ(plain, "'a''b\\c\n'");
}

// --- timeouts ---------------------------------------------------------------------------------

TEST_F(MyConnection, CommandTimeoutGoesToTheSession) {
    connection.SetProp(prConnectionTimeout, 9);
    connection.Connect(u"");
    EXPECT_EQ(connection.Handle()->connectTimeout, 9);
    EXPECT_EQ(connection.Handle()->commandTimeout, 9);  // SET NAMES ran with the connect timeout

    TMySQLCommand command;
    command.SetConnection(&connection);
    command.SetSQL(u"SELECT 1");
    command.Execute();
    EXPECT_EQ(connection.Handle()->commandTimeout, mysql_client::CLIENT_NET_READ_TIMEOUT);

    command.SetProp(prCommandTimeout, 1);
    command.SetSQL(u"SELECT SLEEP(3)");
    const EMyError error = ErrorOf(command);
    EXPECT_EQ(connection.Handle() ? connection.Handle()->commandTimeout : 1, 1);
    EXPECT_TRUE(error.IsFatalError()) << error.ErrorCode() << " " << error.Message();
}

// The connection's own question at connect goes unanswered: the connect timeout ends the wait.
TEST(MyConnectionTimeouts, OwnStatementsAtConnectWaitNoLongerThanTheLogin) {
    auto statement = std::make_shared<std::string>();
    auto clientClosed = std::make_shared<std::atomic<bool>>(false);
    auto server = std::make_unique<test_support::FakeServer>(
        [statement, clientClosed](test_support::FakeConnection& peer) {
            peer.SendPacket(0, test_support::Greeting());
            peer.ReceivePacket();
            peer.SendPacket(2, test_support::OkPacket());
            const test_support::Bytes query = peer.ReceivePacket();
            statement->assign(query.begin() + (query.empty() ? 0 : 1), query.end());
            *clientClosed = peer.AwaitClose(std::chrono::seconds(10));
        });
    TMySQLConnection connection;
    connection.SetProp(prServer, String(u"127.0.0.1"));
    connection.SetProp(prPort, server->Port());
    connection.SetProp(prConnectionTimeout, 1);
    connection.SetProp(prCheckBackslashes, true);
    try {
        connection.Connect(u"");
        ADD_FAILURE() << "connected without an answer";
    } catch (const EMyError& e) {
        EXPECT_EQ(e.ErrorCode(), 2013) << e.Message();
    }
    EXPECT_FALSE(connection.GetConnected());
    EXPECT_EQ(connection.Handle(), nullptr);
    server.reset();
    EXPECT_EQ(*statement, "SELECT @@session.sql_mode");
    EXPECT_TRUE(*clientClosed) << "the client waited until the server closed the connection";
}

// --- cancelling -------------------------------------------------------------------------------

TEST_F(MyConnection, BreakExecEndsWithSilentAbort) {
    connection.Connect(u"");
    TMySQLCommand command;
    command.SetConnection(&connection);
    command.SetSQL(u"SELECT SLEEP(10)");
    std::thread breaker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        command.BreakExec();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(command.Execute(), EAbort);
    breaker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    command.BreakExec();  // nothing running: nothing happens
}

// --- error handler and reconnect --------------------------------------------------------------

// A connection whose connects fail a given number of times, recording every call.
class ScriptedConnection : public TMySQLConnection {
public:
    void Connect(platform::StringView) override {
        calls.push_back("connect");
        if (failures-- > 0) {
            throw EMyError(2003, "refused");
        }
        FConnected = true;
    }
    void Disconnect() override {
        calls.push_back("disconnect");
        FConnected = false;
    }
    void Raise(const EMyError& error) {
        bool fail = true;
        DoError(error, fail);
        calls.push_back(fail ? "fail" : "declined");
    }

    int failures = 0;
    std::vector<std::string> calls;
};

TEST(MyReconnect, LoopCallsInOrder) {
    struct Case {
        const char* name;
        int failures;
        int attemptsWanted;  // the handler asks for a reconnect while attempt < this
        bool reexecute;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {"no reconnect", 0, 0, false, {"handler 0", "fail"}},
        {"reconnect", 0, 1, false, {"handler 0", "disconnect", "connect", "success", "fail"}},
        {"reconnect and repeat",
         0,
         1,
         true,
         {"handler 0", "disconnect", "connect", "success", "failover"}},
        {"second attempt",
         1,
         2,
         false,
         {"handler 0", "disconnect", "connect", "handler 1", "connect", "success", "fail"}},
        {"gives up",
         5,
         2,
         false,
         {"handler 0", "disconnect", "connect", "handler 1", "connect", "handler 2",
          "reconnect error", "fail"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedConnection connection;
        connection.failures = c.failures;
        connection.OnError = [&](const EDAError& error, bool&, bool& reconnect, bool& reexecute,
                                 int attempt) {
            EXPECT_EQ(error.ErrorCode(), 2013);
            connection.calls.push_back("handler " + std::to_string(attempt));
            reconnect = attempt < c.attemptsWanted;
            reexecute = c.reexecute;
        };
        connection.OnReconnectSuccess = [&] { connection.calls.push_back("success"); };
        connection.OnReconnectError = [&] { connection.calls.push_back("reconnect error"); };
        try {
            connection.Raise(EMyError(2013, "Lost connection"));
        } catch (const EFailOver& e) {
            EXPECT_EQ(e.ErrorCode(), 2013);
            connection.calls.push_back("failover");
        }
        EXPECT_EQ(connection.calls, c.calls);
    }
}

TEST(MyReconnect, DeclinedErrorAndAuxiliaryConnection) {
    ScriptedConnection connection;
    connection.OnError = [&](const EDAError&, bool& fail, bool& reconnect, bool&, int) {
        connection.calls.push_back("handler");
        fail = false;
        reconnect = true;
    };
    connection.SetAdditional(true);  // no reconnect for an auxiliary connection
    connection.Raise(EMyError(2013, "Lost connection"));
    EXPECT_EQ(connection.calls, (std::vector<std::string>{"handler", "declined"}));
}

TEST_F(MyConnection, KilledConnectionReconnectsAndRepeats) {
    connection.Connect(u"");
    int handled = 0;
    int restored = 0;
    connection.OnError = [&](const EDAError& error, bool&, bool& reconnect, bool& reexecute,
                             int attempt) {
        ++handled;
        reconnect = static_cast<const EMyError&>(error).IsFatalError() && attempt == 0;
        reexecute = true;
    };
    connection.OnReconnectSuccess = [&] { ++restored; };
    const std::uint32_t id = connection.GetThreadId();
    TMySQLConnection killer;
    Configure(killer, true);
    killer.Connect(u"");
    ASSERT_EQ(killer.API().mysql_kill(killer.Handle(), id), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    TMySQLCommand command;
    command.SetConnection(&connection);
    command.SetSQL(u"SELECT 1");
    EXPECT_THROW(command.Execute(), EFailOver);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(restored, 1);
    EXPECT_TRUE(connection.IsValid());
    EXPECT_NE(connection.GetThreadId(), id);
    command.Execute();  // the repeat works on the new connection
}

}  // namespace
