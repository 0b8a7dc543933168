#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data_access/mysql/my_props.h"
#include "data_access/mysql/mysql_uni_provider.h"
#include "data_access/uni.h"
#include "platform/db_memo.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"
#include "tests/support/raised_message.h"
#include "tests/support/server_test.h"

namespace {

using namespace data_access;
using platform::String;
using platform::TDBMemo;
using test_support::RaisedMessage;

String U16(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}

// A connection set up as the print service sets up its own, against the throwaway server, with
// queries, a command and memos made on demand.
class UniComponents : public test_support::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        mysql::RegisterMySQLUniProvider();
        platform::FormatSettings() = platform::TFormatSettings{};
        Configure(connection);
    }

    void Configure(TUniConnection& target) {
        target.SetProviderName(u"MySQL");
        target.SetServer(U16(server.host));
        target.SetPort(server.port);
        target.SetUsername(U16(server.user));
        target.SetDatabase(U16(server.database));
        target.LoginPrompt = false;
        target.SpecificOptions().Add(u"MySQL.UseUnicode=True");
    }

    TUniQuery& Query() {
        queries.push_back(std::make_unique<TUniQuery>(u"UniQuery" + Number(queries.size())));
        queries.back()->SetConnection(&connection);
        return *queries.back();
    }

    TDBMemo& Memo(TUniQuery& query, const char16_t* field) {
        sources.push_back(std::make_unique<TUniDataSource>());
        sources.back()->SetDataSet(&query);
        memos.push_back(std::make_unique<TDBMemo>(u"DBMemo" + Number(memos.size())));
        memos.back()->SetDataSource(sources.back().get());
        memos.back()->SetDataField(field);
        return *memos.back();
    }

    // The service's idiom: replace the text, open, read the memo.
    static void RunQuery(TUniQuery& query, const String& sql) {
        query.SQL().Clear();
        query.SQL().Add(sql);
        query.SetActive(true);
    }

    void Execute(const String& sql) {
        TUniSQL command;
        command.SetConnection(&connection);
        command.SQL().Add(sql);
        command.Execute();
    }

    static String Number(std::size_t n) { return U16(std::to_string(n + 1)); }

    TUniConnection connection{u"UniConnection1"};
    std::vector<std::unique_ptr<TUniQuery>> queries;
    std::vector<std::unique_ptr<TUniDataSource>> sources;
    std::vector<std::unique_ptr<TDBMemo>> memos;
};

// --- the connection: provider, options, connect and disconnect --------------------------------

TEST_F(UniComponents, ProviderNamesAreLookedUpWhenConnecting) {
    const struct {
        const char16_t* name;
        const char* expected;
    } cases[] = {
        {u"", "Provider is not defined"},
        {u"Foo", "Foo is not a valid provider name"},
        {u"Oracle",
         "Oracle provider is not registered. You should add the OracleUniProvider unit to the uses "
         "clause of any unit in your project or place the TOracleUniProvider component on the "
         "form."},
        {u"  mysql  ", "(nothing)"},
    };
    for (const auto& c : cases) {
        TUniConnection target;
        Configure(target);
        target.SetProviderName(c.name);
        EXPECT_EQ(RaisedMessage([&] { target.Connect(); }), c.expected)
            << "name '" << platform::Utf16ToUtf8(c.name) << "'";
        EXPECT_EQ(target.Connected(), std::string(c.expected) == "(nothing)");
    }
}

TEST_F(UniComponents, OptionLinesReachTheProviderConnectionAtConnect) {
    const struct {
        const char16_t* line;
        bool useUnicode;
        const char* error;
    } cases[] = {
        {u"MySQL.UseUnicode=True", true, "(nothing)"},
        {u"UseUnicode=True", true, "(nothing)"},
        {u"mysql.useunicode= true", true, "(nothing)"},
        {u"Oracle.UseUnicode=True", false, "(nothing)"},
        {u"MySQL.UseUnicode=Yes", false, "Invalid value: Yes for option UseUnicode"},
        {u"MySQL.ConnectionTimeout=soon", false,
         "Invalid value: soon for option ConnectionTimeout"},
    };
    for (const auto& c : cases) {
        TUniConnection target;
        Configure(target);
        target.SpecificOptions().Clear();
        target.SpecificOptions().Add(c.line);
        EXPECT_EQ(RaisedMessage([&] { target.Connect(); }), c.error)
            << platform::Utf16ToUtf8(c.line);
        if (target.Connected()) {
            TPropValue useUnicode;
            target.IConnection()->GetProp(mysql::prUseUnicode, useUnicode);
            EXPECT_EQ(useUnicode.AsBoolean(), c.useUnicode) << platform::Utf16ToUtf8(c.line);
        }
    }
}

TEST_F(UniComponents, ConnectingTwiceConnectsOnceAndDisconnectingTwiceDisconnectsOnce) {
    int connects = 0;
    int disconnects = 0;
    connection.AfterConnect = [&] { ++connects; };
    connection.AfterDisconnect = [&] { ++disconnects; };
    connection.SetConnected(false);
    connection.SetConnected(true);
    connection.SetConnected(true);
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(RaisedMessage([&] { connection.SetProviderName(u"Oracle"); }),
              "This operation is not allowed on active connection");
    EXPECT_TRUE(connection.Connected());
    connection.SetConnected(false);
    connection.SetConnected(false);
    EXPECT_EQ(disconnects, 1);
    EXPECT_FALSE(connection.Connected());
}

TEST_F(UniComponents, ChangedSettingsCloseTheConnectionAndApplyAtTheNextConnect) {
    connection.Connect();
    connection.SpecificOptions().Put(0, u"MySQL.UseUnicode=Yes");
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(RaisedMessage([&] { connection.Connect(); }),
              "Invalid value: Yes for option UseUnicode");
    connection.SpecificOptions().Clear();
    connection.SetPort(1);
    EXPECT_EQ(connection.Port(), 1);
    TUniQuery& query = Query();
    try {
        RunQuery(query, u"select 1");
        FAIL() << "connected through port 1";
    } catch (const EUniError& error) {
        EXPECT_EQ(error.ErrorCode(), 2003);
        EXPECT_TRUE(error.IsFatalError());
    }
    EXPECT_FALSE(connection.Connected());
    connection.SetPort(server.port);
    RunQuery(query, u"select 1");
    EXPECT_TRUE(query.Active());
}

TEST_F(UniComponents, AServerErrorArrivesAsAUniErrorWithTheProviderErrorInside) {
    TUniQuery& query = Query();
    try {
        RunQuery(query, u"select * from no_such_table");
        FAIL() << "no error";
    } catch (const EUniError& error) {
        EXPECT_EQ(error.ErrorCode(), 1146);
        EXPECT_FALSE(error.IsFatalError());
        EXPECT_EQ(error.Component(), &connection);
        EXPECT_THROW(std::rethrow_exception(error.InnerError()), EDAError);
    }
    EXPECT_FALSE(query.Active());
    EXPECT_TRUE(connection.Connected());
}

TEST_F(UniComponents, ComponentsWithoutAConnectionSaySo) {
    TUniQuery query;
    query.SQL().Add(u"select 1");
    EXPECT_EQ(RaisedMessage([&] { query.Open(); }), "Connection is not defined");
    TUniSQL command;
    command.SQL().Add(u"do 1");
    EXPECT_EQ(RaisedMessage([&] { command.Execute(); }), "Connection is not defined");
}

// Components read from a resource act when they finish loading, in resource order: a query
// that finishes first connects the connection, which then finds itself connected.
TEST_F(UniComponents, LoadingAppliesRecordedValuesInResourceOrder) {
    int connects = 0;
    connection.AfterConnect = [&] { ++connects; };
    TUniQuery& query = Query();
    TDBMemo& memo = Memo(query, u"one");
    connection.BeginLoading();
    query.BeginLoading();
    connection.SetConnected(true);
    query.SetActive(true);
    query.SQL().Add(u"select 1 as one");
    EXPECT_FALSE(connection.Connected());
    EXPECT_FALSE(query.Active());

    query.Loaded();
    EXPECT_TRUE(connection.Connected());
    EXPECT_EQ(memo.Text(), u"1");
    connection.Loaded();
    EXPECT_EQ(connects, 1);
}

TEST_F(UniComponents, AConnectionDestroyedFirstLeavesItsQueriesClosedAndUnbound) {
    auto owner = std::make_unique<TUniConnection>();
    Configure(*owner);
    TUniQuery query;
    query.SetConnection(owner.get());
    query.SQL().Add(u"select 1");
    query.Open();
    owner.reset();
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(query.Connection(), nullptr);
    EXPECT_EQ(RaisedMessage([&] { query.Open(); }), "Connection is not defined");
}

// --- queries and the memo texts ------------------------------------------------------------------

TEST_F(UniComponents, MemosShowTheValueTextOfEveryFieldKind) {
    Execute(u"drop table if exists memo_kinds");
    Execute(
        u"create table memo_kinds (i int, n int, b bigint, u tinyint unsigned, f double, "
        u"d decimal(10,2), dt date, t time, ts datetime, midnight datetime, flag tinyint(1), "
        u"off tinyint(1), fixed char(6), var varchar(10), txt text, bin blob, cyr varchar(20), "
        u"nul int) default charset utf8mb4");
    Execute(
        u"insert into memo_kinds values (42, -7, 9007199254740993, 200, 1.5, 12.30, "
        u"'2024-03-05', '14:05:09', '2024-03-05 14:05:09', '2024-03-05 00:00:00', 1, 0, "
        u"'ab  ', 'cd  ', 'long\ntext', 'bytes', 'Заказ №1', null)");
    const struct {
        const char16_t* field;
        const char16_t* text;
    } cases[] = {
        {u"i", u"42"},
        {u"n", u"-7"},
        {u"b", u"9007199254740993"},
        {u"u", u"200"},
        {u"f", u"1.5"},
        {u"d", u"12.3"},
        {u"dt", u"05.03.2024"},
        {u"t", u"14:05:09"},
        {u"ts", u"05.03.2024 14:05:09"},
        {u"midnight", u"05.03.2024"},
        {u"flag", u"True"},
        {u"off", u"False"},
        {u"fixed", u"ab"},
        {u"var", u"cd  "},
        {u"txt", u"long\ntext"},
        {u"bin", u"bytes"},
        {u"cyr", u"Заказ №1"},
        {u"nul", u""},
    };
    TUniQuery& query = Query();
    for (const auto& c : cases) {
        Memo(query, c.field);
    }
    RunQuery(query, u"select * from memo_kinds");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(memos[i]->Text(), cases[i].text) << platform::Utf16ToUtf8(cases[i].field);
    }
    query.Close();
    for (const auto& memo : memos) {
        EXPECT_EQ(memo->Text(), u"");
    }
}

TEST_F(UniComponents, AMemoOfAFieldTheResultLacksFailsWhenTheQueryOpens) {
    TUniQuery& query = Query();
    Memo(query, u"id");
    Memo(query, u"missing");
    EXPECT_EQ(RaisedMessage([&] { RunQuery(query, u"select 5 as id"); }),
              "DBMemo2: Field 'missing' not found");
    EXPECT_EQ(memos[0]->Text(), u"5");
}

TEST_F(UniComponents, EmptyResultsNullsAndMissingRowsAllReadEmpty) {
    Execute(u"drop table if exists empty_table");
    Execute(u"create table empty_table (id int, name varchar(10))");
    TUniQuery& query = Query();
    TDBMemo& id = Memo(query, u"id");
    RunQuery(query, u"select * from empty_table");
    EXPECT_TRUE(query.Active());
    EXPECT_EQ(id.Text(), u"");
    Execute(u"insert into empty_table values (null, 'x')");
    RunQuery(query, u"select * from empty_table where name='x'");
    EXPECT_EQ(id.Text(), u"");
    RunQuery(query, u"select * from empty_table where name='y'");
    EXPECT_EQ(id.Text(), u"");
}

TEST_F(UniComponents, ReaddingTheSameTextRunsTheStatementAgain) {
    Execute(u"drop table if exists rerun");
    Execute(u"create table rerun (id int, status varchar(5))");
    Execute(u"insert into rerun values (1, 'no')");
    TUniQuery& query = Query();
    TDBMemo& status = Memo(query, u"status");
    RunQuery(query, u"select * from rerun where id=1");
    EXPECT_EQ(status.Text(), u"no");
    Execute(u"update rerun set status='yes' where id=1");
    RunQuery(query, u"select * from rerun where id=1");
    EXPECT_EQ(status.Text(), u"yes");
}

TEST_F(UniComponents, TheFinalTextLosesTrailingBlanksAndLineEnds) {
    TUniQuery& query = Query();
    TDBMemo& memo = Memo(query, u"x");
    query.SQL().Add(u"select 'a  ' as x  ");
    query.SQL().Add(u"  \t");
    query.SQL().Add(u"");
    EXPECT_EQ(query.FinalSQL(), u"select 'a  ' as x");
    query.Open();
    EXPECT_EQ(memo.Text(), u"a  ");
}

TEST_F(UniComponents, BraceConstructsReachTheServerInMySQLForm) {
    const struct {
        const char16_t* sql;
        const char16_t* text;
    } cases[] = {
        {u"select {fn CONCAT('ab', 'c')} as x", u"abc"},
        {u"select {if MYSQL}'mysql'{else}'other'{endif} as x", u"mysql"},
        {u"select {date '2024-03-05'} as x", u"05.03.2024"},
        {u"select {PROVIDER} as x from (select 'MySQL' as MySQL) t", u"MySQL"},
        {u"select \"x\" from (select 'quoted' as x) t", u"quoted"},
    };
    TUniQuery& query = Query();
    TDBMemo& memo = Memo(query, u"x");
    for (const auto& c : cases) {
        RunQuery(query, c.sql);
        EXPECT_EQ(memo.Text(), c.text) << platform::Utf16ToUtf8(c.sql);
    }
}

TEST_F(UniComponents, MacrosOfTheTextAreExpandedBeforeItRuns) {
    TUniQuery& query = Query();
    TDBMemo& memo = Memo(query, u"x");
    query.SQL().Add(u"select &value as x, '&value' as y &tail");
    ASSERT_EQ(query.Macros().Count(), 2);
    query.Macros().MacroByName(u"VALUE").Value = u"'макрос'";
    query.Macros().MacroByName(u"tail").Active = false;
    // Trailing blanks go before the macros are expanded.
    EXPECT_EQ(query.FinalSQL(), u"select 'макрос' as x, '&value' as y ");
    query.Open();
    EXPECT_EQ(memo.Text(), u"макрос");
}

// --- the command -----------------------------------------------------------------------------

TEST_F(UniComponents, TheCommandRunsStatementsAndCountsRows) {
    Execute(u"drop table if exists print");
    Execute(u"create table print (id int, status varchar(5))");
    Execute(u"insert into print values (1, 'no'), (2, 'no'), (3, 'yes')");
    TUniSQL command;
    command.SetConnection(&connection);
    command.SQL().Add(u"UPDATE `print` SET status='yes' WHERE status='no'");
    command.Execute();
    EXPECT_EQ(command.RowsAffected(), 2);
    command.SQL().Clear();
    command.SQL().Add(u"SELECT * FROM `print` limit 1");
    command.Execute();
    TUniQuery& query = Query();
    TDBMemo& count = Memo(query, u"n");
    RunQuery(query, u"select count(*) as n from print where status='yes'");
    EXPECT_EQ(count.Text(), u"3");
}

// --- a lost connection ---------------------------------------------------------------------

TEST_F(UniComponents, ALostConnectionFailsOnceClosesEverythingAndReconnects) {
    TUniQuery& first = Query();
    TDBMemo& firstMemo = Memo(first, u"id");
    RunQuery(first, u"select connection_id() as id");
    const String victim = firstMemo.Text();
    TUniQuery& second = Query();
    TDBMemo& secondMemo = Memo(second, u"x");
    RunQuery(second, u"select 'open' as x");
    int disconnects = 0;
    connection.AfterDisconnect = [&] { ++disconnects; };

    TUniConnection killer;
    Configure(killer);
    TUniSQL kill;
    kill.SetConnection(&killer);
    kill.SQL().Add(u"kill " + victim);
    kill.Execute();

    TUniQuery& third = Query();
    try {
        RunQuery(third, u"select 1 as x");
        FAIL() << "the killed connection answered";
    } catch (const EUniError& error) {
        EXPECT_TRUE(error.IsFatalError()) << error.what();
        EXPECT_TRUE(error.ErrorCode() == 2013 || error.ErrorCode() == 2006) << error.ErrorCode();
    }
    EXPECT_EQ(disconnects, 1);
    EXPECT_FALSE(connection.Connected());
    EXPECT_FALSE(first.Active());
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(firstMemo.Text(), u"");
    EXPECT_EQ(secondMemo.Text(), u"");

    RunQuery(first, u"select connection_id() as id");
    EXPECT_TRUE(connection.Connected());
    EXPECT_NE(firstMemo.Text(), victim);
}

}  // namespace
