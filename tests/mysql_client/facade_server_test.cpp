#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mysql_client/mysql_api.h"
#include "mysql_client/mysql_errors.h"
#include "tests/support/server_test.h"

namespace {

using namespace mysql_client;

using Row = std::vector<std::optional<std::string>>;
using Rows = std::vector<Row>;

constexpr std::uint32_t ServiceFlags = CLIENT_FOUND_ROWS | CLIENT_MULTI_STATEMENTS;

// Sessions on the throwaway server through the direct facade, closed after each test.
class Facade : public test_support::ServerTest {
protected:
    void TearDown() override {
        for (PMYSQL s : sessions) {
            api.mysql_close(s);
        }
    }

    PMYSQL NewSession(const std::string& charset = "utf8") {
        PMYSQL s = api.mysql_init();
        sessions.push_back(s);
        api.mysql_options(s, MYSQL_SET_CHARSET_NAME, charset);
        api.mysql_options(s, MYSQL_OPT_CONNECT_TIMEOUT, 10);
        api.SetTimeout(s, 30);
        return s;
    }

    // A session logged in as root to the test database, or a failed test.
    PMYSQL Connect(std::uint32_t flags = ServiceFlags) {
        PMYSQL s = NewSession();
        EXPECT_EQ(api.mysql_real_connect(s, server.host, server.user, "", server.database,
                                         server.port, "", flags),
                  s)
            << api.mysql_error(s);
        return s;
    }

    int Run(PMYSQL s, const std::string& sql) {
        return api.mysql_real_query(s, sql.data(), sql.size());
    }

    // Every row of the current result, values as text.
    Rows Fetch(PMYSQL s) {
        Rows rows;
        PMYSQL_RES r = api.mysql_use_result(s);
        if (!r) {
            return rows;
        }
        while (PMYSQL_ROW w = api.mysql_fetch_row(r)) {
            Row row;
            for (unsigned i = 0; i < api.mysql_num_fields(r); ++i) {
                if (api._mysql_fetch_value_is_null(w, i)) {
                    row.push_back(std::nullopt);
                } else {
                    row.push_back(api._mysql_fetch_value_str(w, i));
                }
            }
            rows.push_back(std::move(row));
        }
        EXPECT_EQ(api.mysql_errno(s), 0u) << api.mysql_error(s);
        api.mysql_free_result(r);
        return rows;
    }

    Rows Query(PMYSQL s, const std::string& sql) {
        EXPECT_EQ(Run(s, sql), 0) << api.mysql_error(s);
        return Fetch(s);
    }

    TMySQLAPIDirect& api = MyAPIDirect();
    std::vector<PMYSQL> sessions;
};

TEST_F(Facade, LogsInWithAndWithoutPassword) {
    const struct {
        std::string user;
        std::string password;
    } accounts[] = {{server.user, ""}, {server.passwordUser, server.password}};
    for (const auto& account : accounts) {
        PMYSQL s = NewSession();
        ASSERT_EQ(api.mysql_real_connect(s, server.host, account.user, account.password,
                                         server.database, server.port, "", ServiceFlags),
                  s)
            << account.user << ": " << api.mysql_error(s);
        EXPECT_EQ(Query(s, "SELECT SUBSTRING_INDEX(CURRENT_USER(), '@', 1), DATABASE()"),
                  (Rows{{account.user, server.database}}));
        EXPECT_EQ(api.mysql_get_host_info(s), server.host + " via TCP/IP");
        EXPECT_NE(api.mysql_thread_id(s), 0u);
        EXPECT_FALSE(api.mysql_get_server_info(s).empty());
    }
}

TEST_F(Facade, RefusedLoginsReportTheServerError) {
    const struct {
        const char* name;
        std::string user;
        std::string password;
        std::string database;
        unsigned code;
        const char* start;
    } cases[] = {
        {"wrong password", server.passwordUser, "wrong", server.database, 1045,
         "\r\n#28000Access denied for user"},
        {"unknown database", server.user, "", "no_such_database", 1049,
         "\r\n#42000Unknown database 'no_such_database'"},
    };
    for (const auto& c : cases) {
        PMYSQL s = NewSession();
        EXPECT_EQ(api.mysql_real_connect(s, server.host, c.user, c.password, c.database,
                                         server.port, "", ServiceFlags),
                  nullptr)
            << c.name;
        EXPECT_EQ(api.mysql_errno(s), c.code) << c.name;
        EXPECT_EQ(api.mysql_error(s).rfind(c.start, 0), 0u) << c.name << ": " << api.mysql_error(s);
    }
}

TEST_F(Facade, ClosedPortIsError2003WithTheTransportText) {
    PMYSQL s = NewSession();
    EXPECT_EQ(api.mysql_real_connect(s, "127.0.0.1", "root", "", "", 1, "", 0), nullptr);
    EXPECT_EQ(api.mysql_errno(s), 2003u);
    EXPECT_EQ(api.mysql_error(s).rfind("Cannot connect to server on host '127.0.0.1':\r\n", 0), 0u)
        << api.mysql_error(s);
}

TEST_F(Facade, CyrillicTextTravelsBothWaysInUtf8) {
    PMYSQL s = Connect();
    ASSERT_EQ(Run(s, "CREATE TEMPORARY TABLE dishes (name VARCHAR(40)) CHARACTER SET utf8mb4"), 0)
        << api.mysql_error(s);
    ASSERT_EQ(Run(s, "INSERT INTO dishes VALUES ('Борщ'), ('Плов с бараниной')"), 0)
        << api.mysql_error(s);
    EXPECT_EQ(api.mysql_affected_rows(s), 2);
    EXPECT_EQ(Query(s, "SELECT name, CHAR_LENGTH(name) FROM dishes ORDER BY name"),
              (Rows{{"Борщ", "4"}, {"Плов с бараниной", "16"}}));
}

TEST_F(Facade, CompressionGivesIdenticalResults) {
    const std::string sql =
        "SELECT seq, REPEAT(CONCAT('строка ', seq), seq % 40), IF(seq % 7 = 0, NULL, seq * 1.5) "
        "FROM seq_1_to_3000";
    const Rows plain = Query(Connect(), sql);
    const Rows compressed = Query(Connect(ServiceFlags | CLIENT_COMPRESS), sql);
    EXPECT_EQ(plain.size(), 3000u);
    EXPECT_TRUE(plain == compressed);
}

TEST_F(Facade, StatementsAndRowsLargerThanAPacket) {
    constexpr std::size_t size = 17 * 1024 * 1024;
    for (const std::uint32_t flags : {ServiceFlags, ServiceFlags | CLIENT_COMPRESS}) {
        PMYSQL s = Connect(flags);
        const std::string literal(size, 'x');
        EXPECT_EQ(Query(s, "SELECT LENGTH('" + literal + "')"), (Rows{{std::to_string(size)}}));
        const Rows rows = Query(s, "SELECT REPEAT('y', " + std::to_string(size) + "), 'end'");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_TRUE(rows[0][0] == std::string(size, 'y'));
        EXPECT_EQ(rows[0][1], "end");
    }
}

TEST_F(Facade, MultiStatementTextsGiveOneResultAfterAnother) {
    PMYSQL s = Connect();
    ASSERT_EQ(Run(s, "CREATE TEMPORARY TABLE t (a INT)"), 0) << api.mysql_error(s);
    ASSERT_EQ(Run(s, "SELECT 1; INSERT INTO t VALUES (1), (2); SELECT 'two', NULL"), 0)
        << api.mysql_error(s);
    EXPECT_EQ(Fetch(s), (Rows{{"1"}}));
    EXPECT_TRUE(api.mysql_more_results(s));
    EXPECT_EQ(api.mysql_next_result(s), 0);
    EXPECT_EQ(api.mysql_affected_rows(s), 2);
    EXPECT_EQ(api.mysql_use_result(s), nullptr);
    EXPECT_EQ(api.mysql_errno(s), 0u);
    EXPECT_EQ(api.mysql_next_result(s), 0);
    EXPECT_EQ(Fetch(s), (Rows{{"two", std::nullopt}}));
    EXPECT_FALSE(api.mysql_more_results(s));
    EXPECT_EQ(api.mysql_next_result(s), -1);
}

TEST_F(Facade, CommandsOutOfSyncWhileRowsAreUnread) {
    PMYSQL s = Connect();
    ASSERT_EQ(Run(s, "SELECT seq FROM seq_1_to_5"), 0);
    EXPECT_EQ(Run(s, "SELECT 2"), 2014);
    EXPECT_EQ(api.mysql_error(s), "Commands out of sync;  You can't run this command now");
    EXPECT_EQ(api.mysql_next_result(s), 2014);
    EXPECT_EQ(api.mysql_error(s),
              "Commands out of sync;  You can't run this command now\r\nmysql.status = 1");
    // Nothing was sent: the first result is still there, whole.
    EXPECT_EQ(Fetch(s).size(), 5u);
    EXPECT_EQ(Query(s, "SELECT 2"), (Rows{{"2"}}));
}

TEST_F(Facade, FreeingAResultEarlyDiscardsTheRest) {
    PMYSQL s = Connect();
    ASSERT_EQ(Run(s, "SELECT seq, REPEAT('z', 300) FROM seq_1_to_1000"), 0);
    PMYSQL_RES r = api.mysql_use_result(s);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(api.mysql_fetch_row(r), nullptr);
    ASSERT_NE(api.mysql_fetch_row(r), nullptr);
    api.mysql_free_result(r);
    EXPECT_EQ(Query(s, "SELECT 'next'"), (Rows{{"next"}}));
}

TEST_F(Facade, ErrorsAndEndsOfResults) {
    PMYSQL s = Connect();
    EXPECT_EQ(Run(s, "SELEC 1"), 1064);
    EXPECT_EQ(api.mysql_error(s).rfind("\r\n#42000You have an error in your SQL syntax", 0), 0u)
        << api.mysql_error(s);

    ASSERT_EQ(Run(s, "DO 1"), 0);
    EXPECT_EQ(api.mysql_use_result(s), nullptr);
    EXPECT_EQ(api.mysql_errno(s), 0u);

    ASSERT_EQ(Run(s, "SELECT 1"), 0);
    PMYSQL_RES r = api.mysql_use_result(s);
    ASSERT_NE(api.mysql_fetch_row(r), nullptr);
    EXPECT_EQ(api.mysql_fetch_row(r), nullptr);
    EXPECT_EQ(api.mysql_errno(s), 0u);
    api.mysql_free_result(r);

    EXPECT_EQ(api.mysql_ping(s), 0);
    EXPECT_EQ(api.mysql_select_db(s, "no_such_database"), 1049);
    EXPECT_EQ(api.mysql_select_db(s, "mysql"), 0);
    EXPECT_EQ(Query(s, "SELECT DATABASE()"), (Rows{{"mysql"}}));
}

TEST_F(Facade, KilledSessionGetsAFatalError) {
    PMYSQL victim = Connect();
    PMYSQL killer = Connect();
    ASSERT_EQ(api.mysql_kill(killer, api.mysql_thread_id(victim)), 0) << api.mysql_error(killer);
    const int first = Run(victim, "SELECT 1");
    EXPECT_TRUE(first == 2013 || first == 2006) << first << ": " << api.mysql_error(victim);
    const int second = Run(victim, "SELECT 1");
    EXPECT_TRUE(second == 2013 || second == 2006) << second << ": " << api.mysql_error(victim);
    // The failed session has closed its end: nothing answers there any more.
    EXPECT_EQ(api.mysql_ping(victim), 2006);
    EXPECT_EQ(Query(killer, "SELECT 'alive'"), (Rows{{"alive"}}));
}

TEST_F(Facade, DescribesColumnsForTheRecordSet) {
    PMYSQL s = Connect();
    ASSERT_EQ(Run(s,
                  "CREATE TEMPORARY TABLE c (id INT NOT NULL, txt LONGTEXT, d DECIMAL(12,2), "
                  "ts TIMESTAMP NULL)"),
              0);
    ASSERT_EQ(Run(s, "SELECT id AS ident, txt, d, ts FROM c"), 0);
    PMYSQL_RES r = api.mysql_use_result(s);
    ASSERT_NE(r, nullptr);
    const struct {
        const char* name;
        const char* orgName;
        std::uint8_t type;
        std::uint32_t length;
        bool numeric;
    } expected[] = {
        {"ident", "id", MYSQL_TYPE_LONG, 11, true},
        {"txt", "txt", MYSQL_TYPE_BLOB, 65535, false},
        {"d", "d", MYSQL_TYPE_NEWDECIMAL, 14, false},
        {"ts", "ts", MYSQL_TYPE_TIMESTAMP, 19, false},
    };
    ASSERT_EQ(api.mysql_num_fields(r), 4u);
    for (unsigned i = 0; i < 4; ++i) {
        TMYSQL_FIELD field;
        api._mysql_fetch_field_direct(r, i, field, true);
        EXPECT_EQ(field.Name, expected[i].name);
        EXPECT_EQ(field.OrgName, expected[i].orgName);
        EXPECT_EQ(field.Table, "c");
        EXPECT_EQ(field.MyType, expected[i].type) << field.Name;
        EXPECT_EQ(field.LengthInBytes, expected[i].length) << field.Name;
        EXPECT_EQ((field.Flags & NUM_FLAG) != 0, expected[i].numeric) << field.Name;
    }
    EXPECT_EQ(api.mysql_fetch_row(r), nullptr);
    api.mysql_free_result(r);
}

TEST_F(Facade, RowHelpersAddressValuesInPlace) {
    PMYSQL s = Connect();
    ASSERT_EQ(Run(s, "SELECT 'abc', NULL, ''"), 0);
    PMYSQL_RES r = api.mysql_use_result(s);
    PMYSQL_ROW w = api._mysql_fetch_row(r);
    ASSERT_NE(w, nullptr);

    std::uint32_t lengths[3];
    api._mysql_fetch_lengths(r, lengths);
    EXPECT_EQ(lengths[0], 3u);
    EXPECT_EQ(lengths[1], 0u);
    EXPECT_EQ(lengths[2], 0u);
    std::uint32_t tooFew[2];
    try {
        api._mysql_fetch_lengths(r, tooFew);
        ADD_FAILURE() << "a short array was accepted";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid fields count");
    }

    EXPECT_EQ(api._mysql_fetch_value_ptr(r, w, 1), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(api._mysql_fetch_value_ptr(r, w, 0)), 3),
              "abc");
    std::uint32_t offset = 0;
    EXPECT_EQ(api._mysql_fetch_value_arr(w, 0, offset), w->Buffer);
    EXPECT_EQ(offset, w->Binds[0].Offset);

    char text[8];
    std::fill(std::begin(text), std::end(text), '#');
    api._mysql_fetch_value_to_str(w, 0, text, 2, 3);
    EXPECT_EQ(std::string(text, 6), "##abc" + std::string(1, '\0'));
    api._mysql_fetch_value_to_str(w, 1, text, 0, 3);  // NULL: the terminator alone
    EXPECT_EQ(text[0], '\0');
    text[0] = '#';
    api._mysql_fetch_value_to_str(w, 2, text, 3);  // empty, no offset: nothing at all
    EXPECT_EQ(text[0], '#');
    std::uint8_t bytes[4] = {9, 9, 9, 9};
    api._mysql_fetch_value_to_buff(w, 0, bytes, 10);  // never more than the value has
    EXPECT_EQ(bytes[2], 'c');
    EXPECT_EQ(bytes[3], 9);
    api.mysql_free_result(r);
}

TEST_F(Facade, OptionsAndTimeouts) {
    PMYSQL s = api.mysql_init();
    sessions.push_back(s);
    api.SetTimeout(s, 0);
    EXPECT_EQ(s->commandTimeout, CLIENT_NET_READ_TIMEOUT);
    api.SetTimeout(s, 15);
    EXPECT_EQ(s->commandTimeout, 15);
    EXPECT_EQ(api.mysql_options(s, MYSQL_OPT_PROTOCOL, MYSQL_PROTOCOL_MEMORY), 0);
    EXPECT_EQ(api.mysql_options(s, MYSQL_INIT_COMMAND, "ignored"), 0);
    EXPECT_EQ(api.mysql_real_connect(s, server.host, "root", "", "", server.port, "", 0), nullptr);
    EXPECT_EQ(api.mysql_errno(s), 2046u);
    EXPECT_EQ(api.mysql_error(s), "Wrong or unknown protocol");

    api.CheckMySQLLib();
    EXPECT_EQ(api.FClientVer, "7.0.0 Direct");
    EXPECT_EQ(api.FClientStructVer, cvDirect);
    EXPECT_TRUE(api.IsClient41());
    EXPECT_THROW(api.mysql_character_set_name(s), platform::ENotSupportedException);
    api.mysql_close(nullptr);
    EXPECT_EQ(&SelectMySQLAPI(false, true), &api);
    EXPECT_THROW(SelectMySQLAPI(false, false), platform::ENotSupportedException);
    EXPECT_THROW(SelectMySQLAPI(true, true), platform::ENotSupportedException);
}

}  // namespace
