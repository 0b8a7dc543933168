#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mysql_client/mysql_field_info.h"
#include "mysql_client/mysql_net.h"

namespace mysql_client {

class TMySqlResultSet;

// Capability flags.
constexpr std::uint32_t CLIENT_LONG_PASSWORD = 1;
constexpr std::uint32_t CLIENT_FOUND_ROWS = 2;
constexpr std::uint32_t CLIENT_LONG_FLAG = 4;
constexpr std::uint32_t CLIENT_CONNECT_WITH_DB = 8;
constexpr std::uint32_t CLIENT_COMPRESS = 32;
constexpr std::uint32_t CLIENT_LOCAL_FILES = 128;
constexpr std::uint32_t CLIENT_PROTOCOL_41 = 512;
constexpr std::uint32_t CLIENT_INTERACTIVE = 1024;
constexpr std::uint32_t CLIENT_SSL = 2048;
constexpr std::uint32_t CLIENT_TRANSACTIONS = 8192;
constexpr std::uint32_t CLIENT_SECURE_CONNECTION = 32768;
constexpr std::uint32_t CLIENT_MULTI_STATEMENTS = 65536;
constexpr std::uint32_t CLIENT_MULTI_RESULTS = 131072;
constexpr std::uint32_t CLIENT_CAPABILITIES =
    CLIENT_LONG_PASSWORD | CLIENT_LONG_FLAG | CLIENT_LOCAL_FILES | CLIENT_PROTOCOL_41 |
    CLIENT_TRANSACTIONS | CLIENT_SECURE_CONNECTION | CLIENT_MULTI_STATEMENTS | CLIENT_MULTI_RESULTS;

// Server status flags.
constexpr std::uint32_t SERVER_STATUS_AUTOCOMMIT = 2;
constexpr std::uint32_t SERVER_MORE_RESULTS_EXISTS = 8;

constexpr int PROTOCOL_VERSION = 10;
constexpr int MYSQL_PORT = 3306;

enum MYSQL_PROTOCOL_TYPE {
    MYSQL_PROTOCOL_DEFAULT = 0,
    MYSQL_PROTOCOL_TCP = 1,
    MYSQL_PROTOCOL_SOCKET = 2,
    MYSQL_PROTOCOL_PIPE = 3,
    MYSQL_PROTOCOL_MEMORY = 4,
    MYSQL_PROTOCOL_SSL = 5,
};

// The first payload byte of a command packet.
enum TServerCommand : std::uint8_t {
    scSleep = 0,
    scQuit = 1,
    scInitDb = 2,
    scQuery = 3,
    scProcessKill = 12,
    scPing = 14,
};

enum TMySqlStatus {
    msReady = 0,      // no unread response
    msGetResult = 1,  // column definitions read, rows not yet requested
    msUseResult = 2,  // rows are being read
};

// One connection to a server: the handshake, commands and their responses. Its fields are the
// connection's state as the facade reports it. Texts are 8-bit: user, password, database and
// statements arrive already encoded (UTF-8 when the connection works in UTF-8).
class TMySqlSession {
public:
    TMySqlSession();
    ~TMySqlSession();

    TMySqlSession(const TMySqlSession&) = delete;
    TMySqlSession& operator=(const TMySqlSession&) = delete;

    // Connects and authenticates, or raises EMySqlException. On failure the transport stays in
    // the packet layer until Close.
    void Connect(std::string host, std::string_view user, std::string_view passwd,
                 std::string_view db, int port, std::string_view unix_socket,
                 std::uint32_t clientflag);

    // The greeting, the login and the switch to compression, over the transport already in net.
    void Handshake(std::string_view user, std::string_view passwd, std::string_view db,
                   std::uint32_t clientflag);

    // Both sides speak the 4.1 protocol.
    bool Getprotocol41() const noexcept;

    // Starts a command packet; raises 2014 while a result is unread.
    void WriteCommand(TServerCommand command);
    // Sends one command with optional argument bytes and, unless skipCheck, reads the answer.
    // Without a transport (never connected, or closed after a failure) raises 2006.
    void SimpleCommand(TServerCommand command, const std::uint8_t* args, std::size_t length,
                       bool skipCheck);
    // Reads and interprets the response to a query.
    void ReadQueryResult();
    void SelectDb(std::string_view name);
    void Ping();
    void Kill(std::uint32_t id);
    // Sends the quit command without waiting and releases the connection, also when sending
    // fails (the failure is raised afterwards).
    void Close();
    // Discards the unread rest of the pending result.
    void FreeQuery();

    TMySqlNet net;
    std::string host;
    int port = 0;
    std::string database;
    std::string charset;
    int connectTimeout = 0;
    int commandTimeout = 0;
    int protocolType = MYSQL_PROTOCOL_DEFAULT;
    std::string SSL_key, SSL_cert, SSL_ca, SSL_capath, SSL_cipher;
    // Answering the server's requests for local files is off unless the session enables it:
    // otherwise any server could read every file this process can read.
    bool allowLocalFiles = false;

    std::string serverVersion;
    std::uint32_t threadId = 0;
    std::uint8_t FscrambleBuff[20] = {};
    std::uint32_t serverCapabilities = 0;
    std::uint32_t FserverLanguage = 0;
    std::uint32_t serverStatus = SERVER_STATUS_AUTOCOMMIT;
    std::uint32_t FclientFlag = 0;
    std::string hostInfo;

    TMySqlStatus status = msReady;
    std::int64_t affectedRows = 0;
    std::int64_t insertId = 0;
    std::uint32_t warningCount = 0;
    std::string info;
    std::uint32_t fieldCount = 0;
    std::int64_t extraInfo = 0;
    std::vector<TMySqlFieldInfo> fields;
    TMySqlResultSet* FResultSet = nullptr;
    bool FSkipPacket = false;
    bool FIsClosed = false;
    std::uint32_t Ferrno = 0;
    std::string Ferror;

private:
    void OpenTransport();
    void ReadGreeting();
    std::uint32_t NegotiateFlags(std::uint32_t clientflag) const;
    void WriteHandshakeResponse(std::uint32_t flags, std::string_view user, std::string_view passwd,
                                std::string_view db);
    void WritePasswordPart(std::string_view passwd);
    void Authenticate(std::string_view passwd);
    void AnswerAuthSwitch(std::string_view passwd);
    void AnswerReChallenge(std::string_view passwd);
    void scramble41(std::string_view passwd);
    void scramble(std::string_view passwd);
    void ReadOkPacket();
    void ReadResultSetHeader();
    void SendFileToServer(const std::string& name);
    void RefuseLocalFile(const std::string& name);

    // The 20-byte scramble arrived in the greeting.
    bool FHaveScramble41 = false;
};

}  // namespace mysql_client
