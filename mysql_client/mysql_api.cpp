#include "mysql_client/mysql_api.h"

#include <algorithm>
#include <cstring>

#include "mysql_client/mysql_errors.h"
#include "platform/exceptions.h"
#include "platform/format.h"

namespace mysql_client {

namespace {

// Runs an operation that talks to the server, turning a protocol error into the session's
// error code and message; other exceptions pass through.
template <typename Operation>
int Capture(PMYSQL s, Operation&& operation) {
    s->Ferrno = 0;
    s->Ferror.clear();
    try {
        return operation();
    } catch (const EMySqlException& e) {
        s->Ferrno = std::uint32_t(e.ErrorCode());
        s->Ferror = e.Message();
        return e.ErrorCode();
    }
}

PMYSQL CheckedSession(PMYSQL s) {
    platform::Assert(s != nullptr, "No MySQL session handle");
    return s;
}

PMYSQL_RES CheckedResult(PMYSQL_RES r) {
    platform::Assert(r != nullptr, "No MySQL result handle");
    return r;
}

const TMySqlBind& ColumnOf(PMYSQL_ROW w, unsigned n) {
    platform::Assert(w != nullptr && n < w->Binds.size(), "Column index out of range");
    return w->Binds[n];
}

EMySqlException OutOfSync(const TMySqlSession& session) {
    return EMySqlException(CR_COMMANDS_OUT_OF_SYNC,
                           platform::Format("mysql.status = %d", int(session.status)));
}

// Types whose length the server counts in characters under the older protocol.
bool IsCharacterType(std::uint8_t type) {
    return type == MYSQL_TYPE_VARCHAR || type == MYSQL_TYPE_ENUM || type == MYSQL_TYPE_SET ||
           type == MYSQL_TYPE_VAR_STRING || type == MYSQL_TYPE_STRING;
}

}  // namespace

void TMySQLAPI::SetTimeout(PMYSQL s, int seconds) {
    if (!IsClient41()) {
        return;
    }
    const int timeout = seconds == 0 ? CLIENT_NET_READ_TIMEOUT : seconds;
    mysql_options(s, MYSQL_OPT_READ_TIMEOUT, timeout);
    mysql_options(s, MYSQL_OPT_WRITE_TIMEOUT, timeout);
}

bool TMySQLAPI::IsClient41() const noexcept {
    return FClientStructVer == cvDirect || FClientStructVer == cv410 || FClientStructVer == cv411;
}

// --- sessions ---------------------------------------------------------------------------------

PMYSQL TMySQLAPIDirect::mysql_init() {
    return new TMySqlSession();
}

int TMySQLAPIDirect::mysql_options(PMYSQL s, TMySqlOption option, int value) {
    CheckedSession(s);
    switch (option) {
        case MYSQL_OPT_CONNECT_TIMEOUT:
            s->connectTimeout = value;
            break;
        case MYSQL_OPT_NAMED_PIPE:
            s->protocolType = MYSQL_PROTOCOL_PIPE;
            break;
        case MYSQL_OPT_LOCAL_INFILE:
            s->allowLocalFiles = value != 0;
            break;
        case MYSQL_OPT_PROTOCOL:
            s->protocolType = value;
            break;
        case MYSQL_OPT_READ_TIMEOUT:
        case MYSQL_OPT_WRITE_TIMEOUT:
            s->commandTimeout = value;
            break;
        case MYSQL_OPT_MAX_ALLOWED_PACKET:
            if (value < 1) {
                return 1;
            }
            s->net.SetMaxAllowedPacket(std::size_t(value));
            break;
        default:
            break;
    }
    return 0;
}

int TMySQLAPIDirect::mysql_options(PMYSQL s, TMySqlOption option, const std::string& value) {
    CheckedSession(s);
    if (option == MYSQL_SET_CHARSET_NAME) {
        s->charset = value;
    }
    return 0;
}

int TMySQLAPIDirect::mysql_ssl_set(PMYSQL s, std::string key, std::string cert, std::string ca,
                                   std::string capath, std::string cipher) {
    CheckedSession(s);
    s->SSL_key = std::move(key);
    s->SSL_cert = std::move(cert);
    s->SSL_ca = std::move(ca);
    s->SSL_capath = std::move(capath);
    s->SSL_cipher = std::move(cipher);
    s->protocolType = MYSQL_PROTOCOL_SSL;
    return 0;
}

PMYSQL TMySQLAPIDirect::mysql_real_connect(PMYSQL s, std::string_view host, std::string_view user,
                                           std::string_view passwd, std::string_view db, int port,
                                           std::string_view unix_socket, std::uint32_t clientflag) {
    const int code = Capture(CheckedSession(s), [&] {
        s->Connect(std::string(host), user, passwd, db, port, unix_socket, clientflag);
        return 0;
    });
    return code == 0 ? s : nullptr;
}

void TMySQLAPIDirect::mysql_close(PMYSQL s) {
    if (!s) {
        return;
    }
    try {
        s->Close();
    } catch (const EMySqlException&) {
        // The connection is released all the same.
    }
    // A result still attached must not reach back into the freed session.
    if (s->FResultSet) {
        s->FResultSet->Detach();
    }
    delete s;
}

int TMySQLAPIDirect::mysql_select_db(PMYSQL s, std::string_view db) {
    return Capture(CheckedSession(s), [&] {
        s->SelectDb(db);
        return 0;
    });
}

int TMySQLAPIDirect::mysql_real_query(PMYSQL s, const char* query, std::size_t length) {
    return Capture(CheckedSession(s), [&] {
        {
            std::lock_guard lock(FQueryBufferCS);
            s->SimpleCommand(scQuery, reinterpret_cast<const std::uint8_t*>(query), length, true);
        }
        s->ReadQueryResult();
        return 0;
    });
}

int TMySQLAPIDirect::mysql_kill(PMYSQL s, std::uint32_t id) {
    return Capture(CheckedSession(s), [&] {
        s->Kill(id);
        return 0;
    });
}

int TMySQLAPIDirect::mysql_ping(PMYSQL s) {
    return Capture(CheckedSession(s), [&] {
        s->Ping();
        return 0;
    });
}

bool TMySQLAPIDirect::mysql_more_results(PMYSQL s) {
    return CheckedSession(s)->serverStatus & SERVER_MORE_RESULTS_EXISTS;
}

int TMySQLAPIDirect::mysql_next_result(PMYSQL s) {
    return Capture(CheckedSession(s), [&] {
        if (s->status != msReady) {
            throw OutOfSync(*s);
        }
        s->affectedRows = -1;
        if (!mysql_more_results(s)) {
            return -1;
        }
        s->ReadQueryResult();
        return 0;
    });
}

unsigned TMySQLAPIDirect::mysql_field_count(PMYSQL s) {
    return CheckedSession(s)->fieldCount;
}

std::int64_t TMySQLAPIDirect::mysql_affected_rows(PMYSQL s) {
    return CheckedSession(s)->affectedRows;
}

std::int64_t TMySQLAPIDirect::mysql_insert_id(PMYSQL s) {
    return CheckedSession(s)->insertId;
}

unsigned TMySQLAPIDirect::mysql_errno(PMYSQL s) {
    return CheckedSession(s)->Ferrno;
}

std::string TMySQLAPIDirect::mysql_error(PMYSQL s) {
    return CheckedSession(s)->Ferror;
}

std::string TMySQLAPIDirect::mysql_info(PMYSQL s) {
    return CheckedSession(s)->info;
}

std::uint32_t TMySQLAPIDirect::mysql_thread_id(PMYSQL s) {
    return CheckedSession(s)->threadId;
}

std::string TMySQLAPIDirect::mysql_character_set_name(PMYSQL) {
    throw platform::ENotSupportedException("mysql_character_set_name is not supported");
}

std::string TMySQLAPIDirect::mysql_get_server_info(PMYSQL s) {
    return CheckedSession(s)->serverVersion;
}

std::string TMySQLAPIDirect::mysql_get_client_info() {
    return "7.0.0 Direct";
}

std::string TMySQLAPIDirect::mysql_get_host_info(PMYSQL s) {
    return CheckedSession(s)->hostInfo;
}

void TMySQLAPIDirect::CheckMySQLLib() {
    FClientStructVer = cvDirect;
    FClientVer = mysql_get_client_info();
}

// --- results ----------------------------------------------------------------------------------

PMYSQL_RES TMySQLAPIDirect::mysql_use_result(PMYSQL s) {
    PMYSQL_RES result = nullptr;
    Capture(CheckedSession(s), [&] {
        if (s->fields.empty()) {
            return 0;
        }
        if (s->status != msGetResult) {
            throw OutOfSync(*s);
        }
        result = new TMySqlResultSet(*s);
        s->FResultSet = result;
        s->fields.clear();
        s->status = msUseResult;
        return 0;
    });
    return result;
}

PMYSQL_ROW TMySQLAPIDirect::mysql_fetch_row(PMYSQL_RES r) {
    PMYSQL s = CheckedResult(r)->Session();
    platform::Assert(s != nullptr, "The result is no longer attached to a session");
    PMYSQL_ROW row = nullptr;
    const int code = Capture(s, [&] {
        if (r->Read(&r->Bind())) {
            row = &r->Bind();
        }
        return 0;
    });
    // Unless another result follows, the failed one is over: let the next command through.
    if (code != 0 && !(s->serverStatus & SERVER_MORE_RESULTS_EXISTS)) {
        s->status = msReady;
    }
    return row;
}

void TMySQLAPIDirect::mysql_free_result(PMYSQL_RES r) {
    if (!r) {
        return;
    }
    PMYSQL s = r->Session();
    try {
        r->Clear();
    } catch (const EMySqlException&) {
        // Whatever was left of the result is gone with it.
    }
    if (s) {
        s->FResultSet = nullptr;
    }
    delete r;
}

unsigned TMySQLAPIDirect::mysql_num_fields(PMYSQL_RES r) {
    return CheckedResult(r)->FieldCount();
}

// --- row and column helpers -------------------------------------------------------------------

void TMySQLAPIDirect::_mysql_fetch_field_direct(PMYSQL_RES r, unsigned n, TMYSQL_FIELD& field,
                                                bool unicode) {
    platform::Assert(n < CheckedResult(r)->Fields().size(), "Column index out of range");
    const TMySqlFieldInfo& info = r->Fields()[n];
    field.Name = info.Name;
    field.OrgName = info.OrgName.empty() ? info.Name : info.OrgName;
    field.Table = info.Table;
    field.OrgTable = info.OrgTable;
    field.Flags = info.Flags;
    field.MyType = info.MyType;
    field.Decimals = std::uint32_t(info.Scale);
    field.CharsetNr = info.CharsetNr;
    field.LengthInBytes = std::min<std::uint32_t>(std::uint32_t(info.Length), 65535);
    const bool protocol41 = r->Session() && r->Session()->Getprotocol41();
    if (unicode && !field.Table.empty() && !protocol41 && IsCharacterType(field.MyType)) {
        field.LengthInBytes *= 3;
    }
}

void TMySQLAPIDirect::_mysql_fetch_lengths(PMYSQL_RES r, std::span<std::uint32_t> lengths) {
    const std::vector<TMySqlBind>& binds = CheckedResult(r)->Bind().Binds;
    if (lengths.size() != binds.size()) {
        throw platform::Exception("Invalid fields count");
    }
    for (std::size_t i = 0; i < binds.size(); ++i) {
        lengths[i] = binds[i].Length;
    }
}

bool TMySQLAPIDirect::_mysql_fetch_value_is_null(PMYSQL_ROW w, unsigned n) {
    return ColumnOf(w, n).IsNull;
}

const std::uint8_t* TMySQLAPIDirect::_mysql_fetch_value_ptr(PMYSQL_RES, PMYSQL_ROW w, unsigned n) {
    const TMySqlBind& bind = ColumnOf(w, n);
    return bind.Offset == 0 ? nullptr : w->Buffer + bind.Offset;
}

void TMySQLAPIDirect::_mysql_fetch_value_to_buff(PMYSQL_ROW w, unsigned n, std::uint8_t* dest,
                                                 std::size_t destOffset, std::size_t count) {
    const TMySqlBind& bind = ColumnOf(w, n);
    const std::size_t copied = std::min<std::size_t>(count, bind.Length);
    if (!bind.IsNull && copied > 0) {
        std::memcpy(dest + destOffset, w->Buffer + bind.Offset, copied);
    }
}

void TMySQLAPIDirect::_mysql_fetch_value_to_buff(PMYSQL_ROW w, unsigned n, std::uint8_t* dest,
                                                 std::size_t count) {
    _mysql_fetch_value_to_buff(w, n, dest, 0, count);
}

void TMySQLAPIDirect::_mysql_fetch_value_to_str(PMYSQL_ROW w, unsigned n, char* dest,
                                                std::size_t destOffset, std::size_t count) {
    const TMySqlBind& bind = ColumnOf(w, n);
    const std::size_t copied = bind.IsNull ? 0 : std::min<std::size_t>(count, bind.Length);
    _mysql_fetch_value_to_buff(w, n, reinterpret_cast<std::uint8_t*>(dest), destOffset, copied);
    dest[destOffset + copied] = '\0';
}

void TMySQLAPIDirect::_mysql_fetch_value_to_str(PMYSQL_ROW w, unsigned n, char* dest,
                                                std::size_t count) {
    const TMySqlBind& bind = ColumnOf(w, n);
    if (!bind.IsNull && bind.Length > 0) {
        _mysql_fetch_value_to_str(w, n, dest, 0, count);
    }
}

const std::uint8_t* TMySQLAPIDirect::_mysql_fetch_value_arr(PMYSQL_ROW w, unsigned n,
                                                            std::uint32_t& offset) {
    offset = ColumnOf(w, n).Offset;
    return w->Buffer;
}

std::string TMySQLAPIDirect::_mysql_fetch_value_str(PMYSQL_ROW w, unsigned n) {
    const TMySqlBind& bind = ColumnOf(w, n);
    return std::string(reinterpret_cast<const char*>(w->Buffer) + bind.Offset, bind.Length);
}

// --- choosing a facade ------------------------------------------------------------------------

TMySQLAPIDirect& MyAPIDirect() {
    static TMySQLAPIDirect facade;
    return facade;
}

TMySQLAPI& SelectMySQLAPI(bool embedded, bool direct) {
    if (embedded) {
        throw platform::ENotSupportedException(
            "The embedded MySQL server is not available in this build: switch the Embedded "
            "option off");
    }
    if (!direct) {
        throw platform::ENotSupportedException(
            "A separately installed MySQL client library is not used by this build: switch the "
            "Direct option on");
    }
    return MyAPIDirect();
}

}  // namespace mysql_client
