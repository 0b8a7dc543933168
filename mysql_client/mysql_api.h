#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "mysql_client/mysql_result_set.h"
#include "mysql_client/mysql_session.h"

namespace mysql_client {

// Option numbers of mysql_options.
enum TMySqlOption {
    MYSQL_OPT_CONNECT_TIMEOUT = 0,
    MYSQL_OPT_COMPRESS = 1,
    MYSQL_OPT_NAMED_PIPE = 2,
    MYSQL_INIT_COMMAND = 3,
    MYSQL_READ_DEFAULT_FILE = 4,
    MYSQL_READ_DEFAULT_GROUP = 5,
    MYSQL_SET_CHARSET_DIR = 6,
    MYSQL_SET_CHARSET_NAME = 7,
    MYSQL_OPT_LOCAL_INFILE = 8,
    MYSQL_OPT_PROTOCOL = 9,
    MYSQL_SHARED_MEMORY_BASE_NAME = 10,
    MYSQL_OPT_READ_TIMEOUT = 11,
    MYSQL_OPT_WRITE_TIMEOUT = 12,
    // The session's packet limit in bytes, 1 or more; announced at the login.
    MYSQL_OPT_MAX_ALLOWED_PACKET = 13,
};

// Which client generation a facade serves.
enum TClientStructVer { cvDirect = 0, cv3 = 1, cv4 = 2, cv410 = 3, cv411 = 4 };

// The column description handed to the record set.
struct TMYSQL_FIELD {
    std::string Name;
    std::string OrgName;
    std::string Table;
    std::string OrgTable;
    std::uint32_t Flags = 0;
    std::uint8_t MyType = 0;
    std::uint32_t LengthInBytes = 0;
    std::int32_t CharsetNr = 0;
    std::uint32_t Decimals = 0;
};

// Handles are opaque to the callers.
using PMYSQL = TMySqlSession*;
using PMYSQL_RES = TMySqlResultSet*;
using PMYSQL_ROW = TMySqlBinds*;

// One year: the timeout that stands for none.
constexpr int CLIENT_NET_READ_TIMEOUT = 31536000;

// The calls the MySQL provider makes, shaped like the MySQL C client interface: operations that
// talk to the server return 0 or an error code and leave the code and message for mysql_errno
// and mysql_error; handles are created by mysql_init and mysql_use_result and freed by
// mysql_close and mysql_free_result.
class TMySQLAPI {
public:
    virtual ~TMySQLAPI() = default;

    virtual unsigned mysql_num_fields(PMYSQL_RES r) = 0;
    virtual unsigned mysql_field_count(PMYSQL s) = 0;
    virtual std::int64_t mysql_affected_rows(PMYSQL s) = 0;
    virtual std::int64_t mysql_insert_id(PMYSQL s) = 0;
    virtual unsigned mysql_errno(PMYSQL s) = 0;
    virtual std::string mysql_error(PMYSQL s) = 0;
    virtual std::string mysql_info(PMYSQL s) = 0;
    virtual std::uint32_t mysql_thread_id(PMYSQL s) = 0;
    virtual std::string mysql_character_set_name(PMYSQL s) = 0;
    virtual PMYSQL mysql_init() = 0;
    virtual int mysql_ssl_set(PMYSQL s, std::string key, std::string cert, std::string ca,
                              std::string capath, std::string cipher) = 0;
    virtual PMYSQL mysql_real_connect(PMYSQL s, std::string_view host, std::string_view user,
                                      std::string_view passwd, std::string_view db, int port,
                                      std::string_view unix_socket, std::uint32_t clientflag) = 0;
    virtual void mysql_close(PMYSQL s) = 0;
    virtual int mysql_select_db(PMYSQL s, std::string_view db) = 0;
    virtual int mysql_real_query(PMYSQL s, const char* query, std::size_t length) = 0;
    virtual int mysql_kill(PMYSQL s, std::uint32_t id) = 0;
    virtual int mysql_ping(PMYSQL s) = 0;
    virtual std::string mysql_get_server_info(PMYSQL s) = 0;
    virtual std::string mysql_get_client_info() = 0;
    virtual std::string mysql_get_host_info(PMYSQL s) = 0;
    virtual PMYSQL_RES mysql_use_result(PMYSQL s) = 0;
    virtual int mysql_options(PMYSQL s, TMySqlOption option, int value) = 0;
    virtual int mysql_options(PMYSQL s, TMySqlOption option, const std::string& value) = 0;
    virtual void mysql_free_result(PMYSQL_RES r) = 0;
    virtual PMYSQL_ROW mysql_fetch_row(PMYSQL_RES r) = 0;
    virtual bool mysql_more_results(PMYSQL s) = 0;
    virtual int mysql_next_result(PMYSQL s) = 0;

    virtual bool LoadedMySQLLib() { return true; }
    virtual void LoadMySQLLib() {}
    virtual void FreeMySQLLib() {}
    virtual void CheckMySQLLib() = 0;

    // Row and column helpers; n is a column index from 0.
    virtual void _mysql_fetch_field_direct(PMYSQL_RES r, unsigned n, TMYSQL_FIELD& field,
                                           bool unicode) = 0;
    PMYSQL_ROW _mysql_fetch_row(PMYSQL_RES r) { return mysql_fetch_row(r); }
    virtual void _mysql_fetch_lengths(PMYSQL_RES r, std::span<std::uint32_t> lengths) = 0;
    virtual bool _mysql_fetch_value_is_null(PMYSQL_ROW w, unsigned n) = 0;
    virtual const std::uint8_t* _mysql_fetch_value_ptr(PMYSQL_RES r, PMYSQL_ROW w, unsigned n) = 0;
    // Copies up to count bytes of the value (never more than it has); nothing for NULL or empty.
    virtual void _mysql_fetch_value_to_buff(PMYSQL_ROW w, unsigned n, std::uint8_t* dest,
                                            std::size_t destOffset, std::size_t count) = 0;
    virtual void _mysql_fetch_value_to_buff(PMYSQL_ROW w, unsigned n, std::uint8_t* dest,
                                            std::size_t count) = 0;
    // As the copy with offset, then a NUL after the copied bytes, also for NULL values.
    virtual void _mysql_fetch_value_to_str(PMYSQL_ROW w, unsigned n, char* dest,
                                           std::size_t destOffset, std::size_t count) = 0;
    // The copy and its NUL, both only for a non-NULL value that is not empty.
    virtual void _mysql_fetch_value_to_str(PMYSQL_ROW w, unsigned n, char* dest,
                                           std::size_t count) = 0;
    virtual const std::uint8_t* _mysql_fetch_value_arr(PMYSQL_ROW w, unsigned n,
                                                       std::uint32_t& offset) = 0;
    virtual std::string _mysql_fetch_value_str(PMYSQL_ROW w, unsigned n) = 0;

    // Sets the session's read and write timeouts; for a 4.1 client 0 stands for one year.
    void SetTimeout(PMYSQL s, int seconds);
    bool IsClient41() const noexcept;

    std::string FClientVer;
    TClientStructVer FClientStructVer = cvDirect;
};

// The facade over the built-in protocol client; one serves every connection of the process.
class TMySQLAPIDirect final : public TMySQLAPI {
public:
    unsigned mysql_num_fields(PMYSQL_RES r) override;
    unsigned mysql_field_count(PMYSQL s) override;
    std::int64_t mysql_affected_rows(PMYSQL s) override;
    std::int64_t mysql_insert_id(PMYSQL s) override;
    unsigned mysql_errno(PMYSQL s) override;
    std::string mysql_error(PMYSQL s) override;
    std::string mysql_info(PMYSQL s) override;
    std::uint32_t mysql_thread_id(PMYSQL s) override;
    std::string mysql_character_set_name(PMYSQL s) override;
    PMYSQL mysql_init() override;
    int mysql_ssl_set(PMYSQL s, std::string key, std::string cert, std::string ca,
                      std::string capath, std::string cipher) override;
    PMYSQL mysql_real_connect(PMYSQL s, std::string_view host, std::string_view user,
                              std::string_view passwd, std::string_view db, int port,
                              std::string_view unix_socket, std::uint32_t clientflag) override;
    void mysql_close(PMYSQL s) override;
    int mysql_select_db(PMYSQL s, std::string_view db) override;
    int mysql_real_query(PMYSQL s, const char* query, std::size_t length) override;
    int mysql_kill(PMYSQL s, std::uint32_t id) override;
    int mysql_ping(PMYSQL s) override;
    std::string mysql_get_server_info(PMYSQL s) override;
    std::string mysql_get_client_info() override;
    std::string mysql_get_host_info(PMYSQL s) override;
    PMYSQL_RES mysql_use_result(PMYSQL s) override;
    int mysql_options(PMYSQL s, TMySqlOption option, int value) override;
    int mysql_options(PMYSQL s, TMySqlOption option, const std::string& value) override;
    void mysql_free_result(PMYSQL_RES r) override;
    PMYSQL_ROW mysql_fetch_row(PMYSQL_RES r) override;
    bool mysql_more_results(PMYSQL s) override;
    int mysql_next_result(PMYSQL s) override;
    void CheckMySQLLib() override;

    void _mysql_fetch_field_direct(PMYSQL_RES r, unsigned n, TMYSQL_FIELD& field,
                                   bool unicode) override;
    void _mysql_fetch_lengths(PMYSQL_RES r, std::span<std::uint32_t> lengths) override;
    bool _mysql_fetch_value_is_null(PMYSQL_ROW w, unsigned n) override;
    const std::uint8_t* _mysql_fetch_value_ptr(PMYSQL_RES r, PMYSQL_ROW w, unsigned n) override;
    void _mysql_fetch_value_to_buff(PMYSQL_ROW w, unsigned n, std::uint8_t* dest,
                                    std::size_t destOffset, std::size_t count) override;
    void _mysql_fetch_value_to_buff(PMYSQL_ROW w, unsigned n, std::uint8_t* dest,
                                    std::size_t count) override;
    void _mysql_fetch_value_to_str(PMYSQL_ROW w, unsigned n, char* dest, std::size_t destOffset,
                                   std::size_t count) override;
    void _mysql_fetch_value_to_str(PMYSQL_ROW w, unsigned n, char* dest,
                                   std::size_t count) override;
    const std::uint8_t* _mysql_fetch_value_arr(PMYSQL_ROW w, unsigned n,
                                               std::uint32_t& offset) override;
    std::string _mysql_fetch_value_str(PMYSQL_ROW w, unsigned n) override;

private:
    // Held while a query's packets are written, so that concurrent queries on different
    // sessions never interleave inside the facade.
    std::mutex FQueryBufferCS;
};

// The process's direct facade.
TMySQLAPIDirect& MyAPIDirect();

// The facade a connection uses: the embedded one when asked for, else the direct one when
// Direct is on, else the client-library one. Only the direct facade is built; asking for another
// raises a clear error.
TMySQLAPI& SelectMySQLAPI(bool embedded, bool direct);

}  // namespace mysql_client
