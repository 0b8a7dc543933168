#include "data_access/mysql/my_connection.h"

#include <algorithm>

#include "data_access/cr_errors.h"
#include "data_access/mysql/my_command.h"
#include "data_access/mysql/my_error.h"
#include "platform/exceptions.h"
#include "platform/format_settings.h"
#include "platform/text_encoding.h"

namespace data_access::mysql {

using namespace mysql_client;

namespace {

constexpr const char* LocalHost = "localhost";

// The end of the run of digits that starts at from.
std::size_t DigitsEnd(platform::StringView text, std::size_t from) {
    while (from < text.size() && text[from] >= u'0' && text[from] <= u'9') {
        ++from;
    }
    return from;
}

}  // namespace

TMySQLConnection::~TMySQLConnection() {
    Disconnect();
}

std::unique_ptr<TCRCommand> TMySQLConnection::CreateCommand() {
    return std::make_unique<TMySQLCommand>();
}

void TMySQLConnection::SetMySQLAPI() {
    FMySQLAPI = &SelectMySQLAPI(FEmbedded, FDirect);
}

bool TMySQLConnection::GetIsClient41() const {
    platform::Assert(FMySQLAPI != nullptr, "No MySQL client facade");
    return FMySQLAPI->IsClient41();
}

bool TMySQLConnection::GetIsServer41() const {
    platform::Assert(FMySQLAPI != nullptr, "No MySQL client facade");
    return FServerPrimaryVer > 4 || (FServerPrimaryVer == 4 && FServerMinorVer > 0);
}

std::string TMySQLConnection::EncodeName(platform::StringView text, bool utf8) const {
    return utf8 ? platform::Utf16ToUtf8(text) : platform::Utf16ToAnsi(text);
}

void TMySQLConnection::Connect(platform::StringView) {
    if (FConnected) {
        return;
    }
    FServerVer.clear();
    FServerPrimaryVer = 0;
    FServerMinorVer = 0;
    try {
        FMySQLAPI->CheckMySQLLib();
        if (FMySQL) {
            Disconnect();
            platform::Assert(FMySQL == nullptr, "MySQL handle left after disconnect");
        }
        FMySQL = FMySQLAPI->mysql_init();
        Check(FMySQL);

        const bool utf8 = FUseUnicode || platform::AsciiSameText(FCharset, u"utf8");
        SetConnectOptions(utf8);

        std::uint32_t flags = CLIENT_FOUND_ROWS;
        if (FCompress) {
            flags |= CLIENT_COMPRESS;
        }
        if (GetIsClient41()) {
            flags |= CLIENT_MULTI_STATEMENTS;
        }
        if (FInteractive) {
            flags |= CLIENT_INTERACTIVE;
        }
        const platform::StringView server = FServer;
        const std::string host = server.empty()
                                     ? std::string(LocalHost)
                                     : EncodeName(server.substr(0, server.find(u',')), false);
        Check(FMySQLAPI->mysql_real_connect(FMySQL, host, EncodeName(FUsername, utf8),
                                            EncodeName(FPassword, utf8),
                                            EncodeName(FDatabase, utf8), FPort, {}, flags));
        FConnected = true;
        FNativeConnection = true;
        FConnectionTime = TickCount();
        FIsValid = true;
        // Until a command sets its own, what the connection asks the server itself (the SQL
        // mode, a database change, a ping) waits no longer than the login did.
        FMySQLAPI->SetTimeout(FMySQL, FConnectionTimeout);

        FServerVer = platform::AnsiToUtf16(FMySQLAPI->mysql_get_server_info(FMySQL));
        ParseServerVersion();
        TryToApplyUseUnicode();
        CheckNoBackslashEscapesMode();
    } catch (const EFailOver&) {
        throw;
    } catch (...) {
        try {
            Disconnect();
        } catch (const platform::Exception&) {
            // The first error is the one to report.
        }
        throw;
    }
}

void TMySQLConnection::SetConnectOptions(bool utf8) {
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_CONNECT_TIMEOUT, FConnectionTimeout));
    Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_MAX_ALLOWED_PACKET, FMaxAllowedPacket));
    if (utf8) {
        Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_SET_CHARSET_NAME, std::string("utf8")));
    }
    switch (FProtocol) {
        case mpDefault:
            break;
        case mpSSL: {
            auto path = [](platform::String name) {
                std::replace(name.begin(), name.end(), u'\\', u'/');
                return platform::Utf16ToAnsi(name);
            };
            Check(FMySQLAPI->mysql_ssl_set(FMySQL, path(FSSL_Key), path(FSSL_Cert), path(FSSL_CA),
                                           {}, platform::Utf16ToAnsi(FSSL_Cipher)));
            break;
        }
        case mpHttp:
            // The HTTP tunnel is not part of this client.
            throw platform::EDatabaseError("Wrong protocol");
        case mpTCP:
        case mpSocket:
        case mpPipe:
        case mpMemory:
            if (GetIsClient41()) {
                Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_PROTOCOL, int(FProtocol)));
                const std::size_t comma = FServer.find(u',');
                if (FProtocol == mpMemory && comma != platform::String::npos) {
                    Check(
                        FMySQLAPI->mysql_options(FMySQL, MYSQL_SHARED_MEMORY_BASE_NAME,
                                                 platform::Utf16ToAnsi(FServer.substr(comma + 1))));
                }
            } else if (FProtocol == mpPipe) {
                Check(FMySQLAPI->mysql_options(FMySQL, MYSQL_OPT_NAMED_PIPE, 0));
            }
            break;
        default:
            if (GetIsClient41()) {
                throw platform::EDatabaseError("Wrong protocol");
            }
    }
}

// "5.5.40-log" gives 5, 5 and 40: the text before the first ".", the digits after it, and the
// digits that start one character later. An empty part raises EConvertError.
void TMySQLConnection::ParseServerVersion() {
    const platform::StringView version = FServerVer;
    const std::size_t dot = std::min(version.find(u'.'), version.size());
    const std::size_t minorStart = std::min(dot + 1, version.size());
    const std::size_t minorEnd = DigitsEnd(version, minorStart);
    const std::size_t releaseStart = std::min(minorEnd + 1, version.size());
    const std::size_t releaseEnd = DigitsEnd(version, releaseStart);
    FServerPrimaryVer = platform::StrToInt(version.substr(0, dot));
    FServerMinorVer = platform::StrToInt(version.substr(minorStart, minorEnd - minorStart));
    FServerReleaseVer = platform::StrToInt(version.substr(releaseStart, releaseEnd - releaseStart));
}

void TMySQLConnection::TryToApplyUseUnicode() {
    if (FServerPrimaryVer < 4 || (FServerPrimaryVer == 4 && FServerMinorVer == 0)) {
        FUseUnicode = false;
    } else if (FUseUnicode) {
        ExecStatement(u"SET NAMES utf8");
    } else if (!FCharset.empty()) {
        ExecStatement(u"SET NAMES " + FCharset);
    }
}

void TMySQLConnection::CheckNoBackslashEscapesMode() {
    if (!FCheckBackslashes) {
        FNeedBackslashes = true;
        return;
    }
    static constexpr std::string_view query = "SELECT @@session.sql_mode";
    Check(FMySQLAPI->mysql_real_query(FMySQL, query.data(), query.size()));
    PMYSQL_RES result = FMySQLAPI->mysql_use_result(FMySQL);
    Check(result);
    std::string mode;
    if (PMYSQL_ROW row = FMySQLAPI->mysql_fetch_row(result)) {
        if (!FMySQLAPI->_mysql_fetch_value_is_null(row, 0)) {
            mode = FMySQLAPI->_mysql_fetch_value_str(row, 0);
        }
    }
    FMySQLAPI->mysql_free_result(result);
    Check();
    std::transform(mode.begin(), mode.end(), mode.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    FNeedBackslashes = mode.find("NO_BACKSLASH_ESCAPES") == std::string::npos;
}

void TMySQLConnection::Disconnect() {
    if (FMySQL && FNativeConnection) {
        FMySQLAPI->mysql_close(FMySQL);
    }
    FMySQL = nullptr;
    FConnected = false;
}

void TMySQLConnection::Assign(const TCRConnection& source) {
    TCRConnection::Assign(source);
    const auto* my = dynamic_cast<const TMySQLConnection*>(&source);
    if (!my) {
        return;
    }
    FConnectionTimeout = my->FConnectionTimeout;
    FMaxAllowedPacket = my->FMaxAllowedPacket;
    FDatabase = my->FDatabase;
    FPort = my->FPort;
    FCompress = my->FCompress;
    FUseUnicode = my->FUseUnicode;
    FCharset = my->FCharset;
    FProtocol = my->FProtocol;
    FMySQLAPI = my->FMySQLAPI;
    FDirect = my->FDirect;
    FEmbedded = my->FEmbedded;
    FOptimizedBigInt = my->FOptimizedBigInt;
    FNullForZeroDelphiDate = my->FNullForZeroDelphiDate;
    FCheckPrecision = my->FCheckPrecision;
    FInteractive = my->FInteractive;
}

void TMySQLConnection::AssignConnect(TCRConnection* source) {
    if (source == this || source == nullptr) {
        return;
    }
    auto& my = dynamic_cast<TMySQLConnection&>(*source);
    Disconnect();
    Assign(my);
    FMySQL = my.FMySQL;
    FServerVer = my.FServerVer;
    FServerPrimaryVer = my.FServerPrimaryVer;
    FServerMinorVer = my.FServerMinorVer;
    FServerReleaseVer = my.FServerReleaseVer;
    FNeedBackslashes = my.FNeedBackslashes;
    FConnected = true;
    FNativeConnection = false;
}

bool TMySQLConnection::CheckIsValid() {
    FIsValid = FMySQLAPI && FMySQL && FMySQLAPI->mysql_ping(FMySQL) == 0 &&
               FMySQLAPI->mysql_ping(FMySQL) == 0;
    return FIsValid;
}

platform::String TMySQLConnection::GetServerVersion() {
    return platform::IntToStr(FServerPrimaryVer) + u"." + platform::IntToStr(FServerMinorVer) +
           u"." + platform::IntToStr(FServerReleaseVer);
}

platform::String TMySQLConnection::GetServerVersionFull() {
    return FServerVer;
}

platform::String TMySQLConnection::GetClientVersion() {
    const bool loaded = FMySQLAPI->LoadedMySQLLib();
    if (!loaded) {
        FMySQLAPI->LoadMySQLLib();
    }
    const platform::String version = platform::AnsiToUtf16(FMySQLAPI->mysql_get_client_info());
    if (!loaded) {
        FMySQLAPI->FreeMySQLLib();
    }
    return version;
}

std::uint32_t TMySQLConnection::GetThreadId() {
    Check(FMySQL);
    return FMySQLAPI->mysql_thread_id(FMySQL);
}

void TMySQLConnection::SetDatabase(platform::StringView name) {
    if (name == FDatabase) {
        return;
    }
    FDatabase = name;
    if (FConnected && !FDatabase.empty()) {
        const bool utf8 = FUseUnicode || platform::AsciiSameText(FCharset, u"utf8");
        Check(FMySQLAPI->mysql_select_db(FMySQL, EncodeName(FDatabase, utf8)));
    }
}

void TMySQLConnection::ExecStatement(platform::StringView sql) {
    TMySQLCommand command;
    command.SetComponent(FComponent);
    command.SetCommandTimeout(FConnectionTimeout);
    command.SetConnection(this);
    command.SetSQL(sql);
    command.Execute();
}

bool TMySQLConnection::SetProp(int prop, const TPropValue& value) {
    switch (prop) {
        case prDatabase:
            SetDatabase(value.AsString());
            return true;
        case prPort:
            FPort = value.AsInteger();
            return true;
        case prHttpUrl:
        case prHttpUsername:
        case prHttpPassword:
        case prProxyHostname:
        case prProxyPort:
        case prProxyUsername:
        case prProxyPassword:
            // Settings of the HTTP tunnel, which this client does not have: asking for that
            // protocol fails at connect.
            return true;
        case prConnectionTimeout:
            FConnectionTimeout = value.AsInteger();
            return true;
        case prMaxAllowedPacket:
            if (value.AsInteger() < 1) {
                throw platform::EDatabaseError(
                    "Invalid value: " + std::to_string(value.AsInteger()) +
                    " for option MaxAllowedPacket");
            }
            FMaxAllowedPacket = value.AsInteger();
            return true;
        case prCompress:
            FCompress = value.AsBoolean();
            return true;
        case prCharset: {
            const platform::String charset = value.AsString();
            if (charset != FCharset) {
                FCharset = charset;
                if (FConnected && !FUseUnicode) {
                    TryToApplyUseUnicode();
                }
            }
            return true;
        }
        case prProtocol:
            FProtocol = TMyProtocol(value.AsInteger());
            return true;
        case prUseUnicode: {
            const bool useUnicode = value.AsBoolean();
            if (useUnicode != FUseUnicode) {
                FUseUnicode = useUnicode;
                if (FConnected) {
                    TryToApplyUseUnicode();
                }
            }
            return true;
        }
        case prEmbParams:
            FEmbParams = value.AsString();
            return true;
        case prSSL_Cipher:
            FSSL_Cipher = value.AsString();
            return true;
        case prSSL_CA:
            FSSL_CA = value.AsString();
            return true;
        case prSSL_Key:
            FSSL_Key = value.AsString();
            return true;
        case prSSL_Cert:
            FSSL_Cert = value.AsString();
            return true;
        case prEmbedded:
            FEmbedded = value.AsBoolean();
            SetMySQLAPI();
            return true;
        case prDirect:
            FDirect = value.AsBoolean();
            SetMySQLAPI();
            return true;
        case prCheckPrecision:
            FCheckPrecision = value.AsBoolean();
            return true;
        case prOptimizedBigInt:
            FOptimizedBigInt = value.AsBoolean();
            return true;
        case prCheckBackslashes: {
            const bool check = value.AsBoolean();
            if (check != FCheckBackslashes) {
                FCheckBackslashes = check;
                if (FConnected) {
                    CheckNoBackslashEscapesMode();
                }
            }
            return true;
        }
        case prNullForZeroDelphiDate:
            FNullForZeroDelphiDate = value.AsBoolean();
            return true;
        case prInteractive:
            FInteractive = value.AsBoolean();
            return true;
        default:
            return TCRConnection::SetProp(prop, value);
    }
}

bool TMySQLConnection::GetProp(int prop, TPropValue& value) {
    switch (prop) {
        case prDatabase:
            value = FDatabase;
            return true;
        case prPort:
            value = FPort;
            return true;
        case prLastInsertId:
            Check(FMySQL);
            value = FMySQLAPI->mysql_insert_id(FMySQL);
            return true;
        case prConnectionTimeout:
            value = FConnectionTimeout;
            return true;
        case prMaxAllowedPacket:
            value = FMaxAllowedPacket;
            return true;
        case prCompress:
            value = FCompress;
            return true;
        case prCharset:
            value = FCharset;
            return true;
        case prUseUnicode:
            value = FUseUnicode;
            return true;
        case prCheckBackslashes:
            value = FCheckBackslashes;
            return true;
        case prNeedBackslashes:
            value = FNeedBackslashes;
            return true;
        case prInteractive:
            value = FInteractive;
            return true;
        default:
            return TCRConnection::GetProp(prop, value);
    }
}

void TMySQLConnection::Check(const void* handle) {
    if (handle == nullptr) {
        MySQLError();
    }
}

void TMySQLConnection::Check(int status) {
    if (status != 0) {
        MySQLError();
    }
}

void TMySQLConnection::Check() {
    if (FMySQLAPI->mysql_errno(FMySQL) != 0) {
        MySQLError();
    }
}

void TMySQLConnection::MySQLError() {
    const int code = int(FMySQLAPI->mysql_errno(FMySQL));
    const std::string raw = FMySQLAPI->mysql_error(FMySQL);
    const platform::String text =
        FUseUnicode ? platform::Utf8ToUtf16(raw) : platform::AnsiToUtf16(raw);
    EMyError error(code, platform::Utf16ToUtf8(text));
    error.SetComponent(FComponent);
    if (error.IsFatalError()) {
        FIsValid = false;
    }
    bool fail = true;
    if (OnError) {
        DoError(error, fail);
    }
    if (fail) {
        throw error;
    }
    throw EAbort();
}

void TMySQLConnection::DoError(const EDAError& error, bool& fail) {
    if (!FAdditional) {
        TCRConnection::DoError(error, fail);
        return;
    }
    bool reconnect = false;
    bool reexecute = false;
    OnError(error, fail, reconnect, reexecute, 0);
}

}  // namespace data_access::mysql
