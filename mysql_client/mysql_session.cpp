#include "mysql_client/mysql_session.h"

#include <algorithm>
#include <fstream>
#include <memory>

#include "mysql_client/mysql_errors.h"
#include "mysql_client/mysql_result_set.h"
#include "mysql_client/scramble.h"
#include "mysql_client/vio_tcp.h"
#include "platform/format.h"

namespace mysql_client {

namespace {

constexpr std::uint8_t OkPacketMarker = 0x00;
constexpr std::uint8_t SwitchRequestMarker = 0xFE;
constexpr std::size_t ReChallengeLength = 24;
constexpr std::size_t FillerLength = 23;
// Character set numbers sent in the handshake.
constexpr std::uint8_t CharsetUtf8 = 33;
constexpr std::uint8_t CharsetLatin1 = 8;
constexpr const char* NativePasswordPlugin = "mysql_native_password";
constexpr const char* NoTlsText = "TLS connections are not available: connect over TCP/IP";
// The code the 2003 text carries when the transport gave no message of its own.
constexpr int ConnectionRefusedCode = 10061;
// Local files travel in chunks of the packet buffer size less 16, rounded up to the I/O size.
constexpr std::size_t IO_SIZE = 4096;
constexpr std::size_t LocalFileChunk =
    (TMySqlNet::BufferLength - 16 + IO_SIZE - 1) / IO_SIZE * IO_SIZE;

std::uint32_t LE16(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8;
}

}  // namespace

TMySqlSession::TMySqlSession() = default;

TMySqlSession::~TMySqlSession() = default;

bool TMySqlSession::Getprotocol41() const noexcept {
    return (serverCapabilities & CLIENT_PROTOCOL_41) && (FclientFlag & CLIENT_PROTOCOL_41);
}

// --- connect and authenticate -----------------------------------------------------------------

void TMySqlSession::Connect(std::string host, std::string_view user, std::string_view passwd,
                            std::string_view db, int port, std::string_view,
                            std::uint32_t clientflag) {
    if (host.empty()) {
        host = TCRVioTcp::LocalHostName;
    }
    if (port == 0) {
        port = MYSQL_PORT;
    }
    if (clientflag & CLIENT_SSL) {
        // Never fall back to an unencrypted connection the caller did not ask for.
        throw EMySqlException(CR_SSL_CONNECTION_ERROR, NoTlsText);
    }
    serverStatus = SERVER_STATUS_AUTOCOMMIT;
    this->host = std::move(host);
    this->port = port;

    OpenTransport();
    Handshake(user, passwd, db, clientflag);
}

void TMySqlSession::Handshake(std::string_view user, std::string_view passwd, std::string_view db,
                              std::uint32_t clientflag) {
    ReadGreeting();
    net.Clear();
    const std::uint32_t flags = NegotiateFlags(clientflag);
    WriteHandshakeResponse(flags, user, passwd, db);
    FclientFlag = flags;
    net.Send();

    Authenticate(passwd);
    net.SetCompress(flags & CLIENT_COMPRESS);
}

void TMySqlSession::OpenTransport() {
    switch (protocolType) {
        case MYSQL_PROTOCOL_DEFAULT:
        case MYSQL_PROTOCOL_TCP:
            break;
        case MYSQL_PROTOCOL_PIPE:
            throw EMySqlException(CR_UNKNOWN_PROTOCOL,
                                  "Named pipes are not available: connect over TCP/IP");
        case MYSQL_PROTOCOL_SSL:
            throw EMySqlException(CR_SSL_CONNECTION_ERROR, NoTlsText);
        default:
            throw EMySqlException(CR_UNKNOWN_PROTOCOL);
    }
    auto vio = std::make_unique<TCRVioTcp>(host, port);
    TCRVioTcp& transport = *vio;
    hostInfo = host + " via TCP/IP";
    net.SetVio(std::move(vio));
    try {
        transport.SetTimeout(connectTimeout);
        transport.Connect();
    } catch (const platform::Exception&) {
        if (!transport.LastError().empty()) {
            throw EMySqlException(CR_CONN_HOST_ERROR, transport.LastError());
        }
        throw EMySqlException(CR_CONN_HOST_ERROR,
                              platform::Format(ClientErrorText(CR_CONN_HOST_ERROR).data(),
                                               host.c_str(), ConnectionRefusedCode));
    }
}

void TMySqlSession::ReadGreeting() {
    net.NewCommand();
    net.Receive();
    const int version = net.ReadByte();
    if (version != PROTOCOL_VERSION) {
        throw EMySqlException::Formatted(CR_VERSION_ERROR, {}, version, PROTOCOL_VERSION);
    }
    serverVersion = net.ReadString();
    threadId = std::uint32_t(net.ReadInt32());
    net.ReadBytes(FscrambleBuff, ScrambleLength);
    FHaveScramble41 = false;

    // The rest depends on how much the server sent: older servers stop early.
    const std::size_t p = net.GetPosition();
    const std::size_t length = net.GetLength();
    const std::uint8_t* greeting = net.GetBuffer();
    serverCapabilities = 0;
    if (length > p + 2) {
        serverCapabilities = LE16(greeting + p + 1);
    }
    if (length >= p + 18) {
        FserverLanguage = greeting[p + 3];
        serverStatus = std::uint32_t(std::int16_t(LE16(greeting + p + 4)));
    }
    // Twelve bytes from p + 19 must all be there.
    if (length >= p + 31) {
        std::copy_n(greeting + p + 19, Scramble41Length - ScrambleLength,
                    FscrambleBuff + ScrambleLength);
        FHaveScramble41 = true;
    }
}

std::uint32_t TMySqlSession::NegotiateFlags(std::uint32_t clientflag) const {
    if (clientflag & CLIENT_MULTI_STATEMENTS) {
        clientflag |= CLIENT_MULTI_RESULTS;
    }
    std::uint32_t flags = FclientFlag | clientflag | CLIENT_CAPABILITIES | CLIENT_CONNECT_WITH_DB;
    // What the server must offer to be used; everything else is sent as asked.
    constexpr std::uint32_t negotiated = CLIENT_COMPRESS | CLIENT_PROTOCOL_41;
    return flags & (~negotiated | serverCapabilities);
}

void TMySqlSession::WriteHandshakeResponse(std::uint32_t flags, std::string_view user,
                                           std::string_view passwd, std::string_view db) {
    if (flags & CLIENT_PROTOCOL_41) {
        net.WriteInt32(flags);
        net.WriteInt32(std::uint32_t(net.GetMaxAllowedPacket()));
        net.WriteByte(charset == "utf8" ? CharsetUtf8 : CharsetLatin1);
        net.Fill(0, FillerLength);
    } else {
        net.WriteInt16(std::uint16_t(flags));
        net.WriteInt24(std::uint32_t(net.GetMaxAllowedPacket() & 0xFFFF));
    }
    net.WriteString(user);
    WritePasswordPart(passwd);
    if (serverCapabilities & CLIENT_CONNECT_WITH_DB) {
        net.WriteString(db);
        database = db;
    }
}

void TMySqlSession::WritePasswordPart(std::string_view passwd) {
    if (passwd.empty()) {
        net.WriteByte(0);
    } else if (!(serverCapabilities & CLIENT_SECURE_CONNECTION)) {
        scramble(passwd);
    } else if (FHaveScramble41) {
        net.WriteByte(Scramble41Length);
        scramble41(passwd);
    } else {
        net.Fill(0x78, ScrambleLength);
        net.WriteByte(0);
    }
}

void TMySqlSession::scramble41(std::string_view passwd) {
    const Sha1Digest response = ComputeScramble41(passwd, FscrambleBuff);
    net.WriteBytes(response.data(), response.size());
}

void TMySqlSession::scramble(std::string_view passwd) {
    if (!passwd.empty()) {
        const auto response = ComputeScramble323(passwd, FscrambleBuff);
        net.WriteBytes(response.data(), response.size());
    }
    net.WriteByte(0);
}

void TMySqlSession::Authenticate(std::string_view passwd) {
    net.Receive();
    if (serverCapabilities & CLIENT_SECURE_CONNECTION) {
        const std::size_t length = net.GetLength();
        const std::uint8_t* answer = net.GetBuffer();
        if (length == 1 && answer[0] == SwitchRequestMarker) {
            // The server wants the pre-4.1 scramble.
            net.Clear();
            scramble(passwd);
            net.Send();
            net.Receive();
        } else if (length > 1 && answer[0] == SwitchRequestMarker) {
            AnswerAuthSwitch(passwd);
        } else if (length == ReChallengeLength && answer[0] != 0) {
            AnswerReChallenge(passwd);
        }
    }
    // Only an OK packet lets the client in.
    if (net.GetLength() == 0 || net.GetBuffer()[0] != OkPacketMarker) {
        throw EMySqlException(
            CR_SERVER_HANDSHAKE_ERR,
            platform::Format("Unexpected answer to the login: %zu bytes starting with 0x%02X",
                             net.GetLength(), net.GetLength() ? net.GetBuffer()[0] : 0));
    }
}

void TMySqlSession::AnswerAuthSwitch(std::string_view passwd) {
    net.SetPosition(1);
    const std::string plugin = net.ReadString();
    if (plugin != NativePasswordPlugin) {
        throw EMySqlException(
            CR_AUTH_PLUGIN_NOT_SUPPORTED,
            platform::Format("The server asks for the authentication plugin '%s', which this "
                             "client does not support (only %s)",
                             plugin.c_str(), NativePasswordPlugin));
    }
    net.ReadBytes(FscrambleBuff, Scramble41Length);
    FHaveScramble41 = true;
    net.Clear();
    if (passwd.empty()) {
        net.SendEmpty();  // an empty password answers with an empty packet
    } else {
        scramble41(passwd);
        net.Send();
    }
    net.Receive();
}

void TMySqlSession::AnswerReChallenge(std::string_view passwd) {
    std::uint8_t answer[ReChallengeLength];
    std::copy_n(net.GetBuffer(), ReChallengeLength, answer);
    net.Clear();
    if (answer[0] == 0x2A) {
        std::copy_n(answer + 4, Scramble41Length, FscrambleBuff);
        scramble(passwd);
    } else {
        Sha1Digest stage1 = PasswordHashStage1(passwd);
        const Sha1Digest stage2 = PasswordHashStage2(stage1, answer);
        PasswordCrypt(answer + 4, FscrambleBuff, stage2.data(), Scramble41Length);
        PasswordCrypt(FscrambleBuff, stage1.data(), stage1.data(), Scramble41Length);
        net.WriteBytes(stage1.data(), stage1.size());
    }
    net.Send();
    net.Receive();
}

// --- commands ---------------------------------------------------------------------------------

void TMySqlSession::WriteCommand(TServerCommand command) {
    if (status != msReady) {
        throw EMySqlException(CR_COMMANDS_OUT_OF_SYNC);
    }
    info.clear();
    affectedRows = 0;
    net.NewCommand();
    net.WriteByte(command);
}

void TMySqlSession::SimpleCommand(TServerCommand command, const std::uint8_t* args,
                                  std::size_t length, bool skipCheck) {
    if (!net.GetVio()) {
        throw EMySqlException(CR_SERVER_GONE_ERROR);
    }
    net.GetVio()->SetTimeout(commandTimeout);
    WriteCommand(command);
    if (args) {
        net.WriteOrSendBytes(args, length);
    }
    net.Send();
    if (!skipCheck) {
        net.Receive();
    }
}

void TMySqlSession::SelectDb(std::string_view name) {
    SimpleCommand(scInitDb, reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), false);
    database = name;
}

void TMySqlSession::Ping() {
    SimpleCommand(scPing, nullptr, 0, false);
}

void TMySqlSession::Kill(std::uint32_t id) {
    const std::uint8_t args[] = {std::uint8_t(id), std::uint8_t(id >> 8), std::uint8_t(id >> 16),
                                 std::uint8_t(id >> 24)};
    SimpleCommand(scProcessKill, args, sizeof args, false);
}

void TMySqlSession::Close() {
    if (FIsClosed) {
        return;
    }
    FIsClosed = true;
    status = msReady;
    if (!net.GetVio()) {
        // Never connected, or closed after a failure: there is nobody to say goodbye to.
        net.Close();
        return;
    }
    try {
        SimpleCommand(scQuit, nullptr, 0, true);
    } catch (...) {
        net.Close();
        throw;
    }
    net.Close();
}

void TMySqlSession::ReadQueryResult() {
    serverStatus = SERVER_STATUS_AUTOCOMMIT;
    net.Receive();
    for (;;) {
        const std::int64_t count = net.ReadFieldLength();
        if (count == 0) {
            fieldCount = 0;
            ReadOkPacket();
            return;
        }
        if (count != TMySqlNet::NullLength) {
            fieldCount = std::uint32_t(count);
            ReadResultSetHeader();
            return;
        }
        const std::string name = net.ReadString();
        if (allowLocalFiles) {
            SendFileToServer(name);
        } else {
            RefuseLocalFile(name);
        }
        net.SetPosition(0);
    }
}

void TMySqlSession::ReadOkPacket() {
    affectedRows = net.ReadFieldLength();
    insertId = net.ReadFieldLength();
    const bool protocol41 = Getprotocol41();
    if (protocol41 || (serverCapabilities & CLIENT_TRANSACTIONS)) {
        serverStatus = net.ReadUInt16();
    }
    if (protocol41) {
        warningCount = net.ReadUInt16();
    }
    info = net.ReadString();
}

void TMySqlSession::ReadResultSetHeader() {
    if (net.GetPosition() < net.GetLength()) {
        extraInfo = net.ReadFieldLength();
    }
    fields = TMySqlResultSet::ReadColumnDefinitions(*this, fieldCount);
    status = msGetResult;
    warningCount = 0;
}

void TMySqlSession::SendFileToServer(const std::string& name) {
    net.Clear();
    std::ifstream file(name, std::ios::binary);
    std::string failure;
    if (!file) {
        failure = "Cannot open local file '" + name + "'";
    } else {
        std::vector<char> chunk(LocalFileChunk);
        while (file.read(chunk.data(), std::streamsize(chunk.size())) || file.gcount() > 0) {
            net.WriteBytes(reinterpret_cast<const std::uint8_t*>(chunk.data()),
                           std::size_t(file.gcount()));
            net.Send();
        }
        if (file.bad()) {
            failure = "Cannot read local file '" + name + "'";
        }
    }
    file.close();
    net.SendEmpty();
    net.Receive();  // a server error replaces the file's
    if (!failure.empty()) {
        throw platform::EInOutError(failure);
    }
}

void TMySqlSession::RefuseLocalFile(const std::string& name) {
    net.Clear();
    net.SendEmpty();
    net.Receive();  // the server's answer keeps the connection in step
    throw EMySqlException(
        CR_LOCAL_FILE_REFUSED,
        platform::Format("The server asked for the local file '%s'; transfer of local files is "
                         "off for this connection",
                         name.c_str()));
}

// --- discarding a result ----------------------------------------------------------------------

void TMySqlSession::FreeQuery() {
    if (status == msReady) {
        return;
    }
    try {
        constexpr std::size_t pieceSize = 65536;
        std::vector<std::uint8_t> piece(pieceSize);
        bool firstPacket = true;
        for (;;) {
            const std::size_t length = net.SkipBuffer(piece.data(), pieceSize, firstPacket);
            if (firstPacket && length > 0 && length <= 8 && piece[0] == 0xFE) {
                break;
            }
            // After a full packet the next one continues the same row.
            firstPacket = length != TMySqlNet::MaxPacketLength;
        }
    } catch (...) {
        status = msReady;
        FSkipPacket = false;
        throw;
    }
    status = msReady;
    if (FSkipPacket) {
        FSkipPacket = false;
        net.ReceiveBuffer();
    }
}

}  // namespace mysql_client
