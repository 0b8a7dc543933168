#pragma once

#include <cstdint>
#include <memory>

#include "data_access/cr_connection.h"
#include "data_access/mysql/my_props.h"
#include "mysql_client/mysql_api.h"
#include "platform/text.h"

namespace data_access::mysql {

class TMySQLCommand;

// One connection to a MySQL server through a protocol client facade. With UseUnicode every
// statement, name and message crosses as UTF-8; otherwise in the ANSI code page.
class TMySQLConnection : public TCRConnection {
public:
    TMySQLConnection() = default;
    ~TMySQLConnection() override;

    std::unique_ptr<TCRCommand> CreateCommand() override;

    // Logs in and applies the character set; nothing when connected. A failure leaves the
    // object disconnected without a handle.
    void Connect(platform::StringView connectString) override;
    // Closes the handle when this object opened it; never fails on a dead connection.
    void Disconnect() override;
    void Assign(const TCRConnection& source) override;
    void AssignConnect(TCRConnection* source) override;
    // Valid when two pings in a row succeed.
    bool CheckIsValid() override;
    platform::String GetServerVersion() override;
    platform::String GetServerVersionFull() override;
    platform::String GetClientVersion() override;
    std::uint32_t GetThreadId();

    bool SetProp(int prop, const TPropValue& value) override;
    bool GetProp(int prop, TPropValue& value) override;

    void SetDatabase(platform::StringView name);
    // Runs one statement on this connection with the connect timeout as its time limit.
    void ExecStatement(platform::StringView sql);

    // Raise the connection's error for a missing handle, a non-zero status, or (without an
    // argument) a non-zero error code.
    void Check(const void* handle);
    void Check(int status);
    void Check();
    // Raises the connection's last error as EMyError: code, message decoded from UTF-8 (UseUnicode)
    // or the ANSI code page, and the component. A fatal error marks the connection invalid.
    // When an error handler declines the error, a silent abort is raised instead.
    [[noreturn]] void MySQLError();

    mysql_client::TMySQLAPI& API() const noexcept { return *FMySQLAPI; }
    mysql_client::PMYSQL Handle() const noexcept { return FMySQL; }
    bool UseUnicode() const noexcept { return FUseUnicode; }
    bool NeedBackslashes() const noexcept { return FNeedBackslashes; }
    bool OptimizedBigInt() const noexcept { return FOptimizedBigInt; }
    bool NullForZeroDelphiDate() const noexcept { return FNullForZeroDelphiDate; }
    bool CheckPrecision() const noexcept { return FCheckPrecision; }
    int ConnectionTimeout() const noexcept { return FConnectionTimeout; }
    int ServerPrimaryVer() const noexcept { return FServerPrimaryVer; }
    int ServerMinorVer() const noexcept { return FServerMinorVer; }
    // A 4.1 client and server speak the same generation of the protocol.
    bool GetIsClient41() const;
    bool GetIsServer41() const;

    // An auxiliary connection (a cancel or swap connection): its errors start no reconnect.
    void SetAdditional(bool value) noexcept { FAdditional = value; }

protected:
    void DoError(const EDAError& error, bool& fail) override;

private:
    void SetMySQLAPI();
    void SetConnectOptions(bool utf8);
    void ParseServerVersion();
    void TryToApplyUseUnicode();
    void CheckNoBackslashEscapesMode();
    std::string EncodeName(platform::StringView text, bool utf8) const;

    mysql_client::TMySQLAPI* FMySQLAPI = &mysql_client::MyAPIDirect();
    mysql_client::PMYSQL FMySQL = nullptr;
    platform::String FDatabase;
    int FPort = 0;
    bool FCompress = false;
    bool FUseUnicode = false;
    platform::String FCharset;
    int FConnectionTimeout = 15;
    int FMaxAllowedPacket = int(mysql_client::TMySqlNet::MaxAllowedPacket);
    TMyProtocol FProtocol = mpDefault;
    bool FOptimizedBigInt = false;
    bool FNullForZeroDelphiDate = false;
    bool FEmbedded = false;
    bool FDirect = true;
    bool FCheckPrecision = false;
    bool FCheckBackslashes = false;
    bool FNeedBackslashes = true;
    bool FInteractive = false;
    bool FAdditional = false;
    platform::String FEmbParams;
    platform::String FSSL_Cipher;
    platform::String FSSL_CA;
    platform::String FSSL_Key;
    platform::String FSSL_Cert;
    platform::String FServerVer;
    int FServerPrimaryVer = 0;
    int FServerMinorVer = 0;
    int FServerReleaseVer = 0;
};

}  // namespace data_access::mysql
