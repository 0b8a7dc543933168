#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "mysql_client/mysql_api.h"
#include "mysql_client/mysql_errors.h"
#include "mysql_client/scramble.h"
#include "platform/exceptions.h"
#include "tests/mysql_client/packet_bytes.h"
#include "tests/support/fake_server.h"

namespace {

using namespace mysql_client;
using test_support::Append;
using test_support::Bytes;
using test_support::FakeConnection;
using test_support::FakeServer;
using test_support::Greeting;
using test_support::GreetingFields;
using test_support::OkPacket;
using test_support::Pattern;
using test_support::ToBytes;

// What every 4.1 login carries besides the caller's flags.
constexpr std::uint32_t BaseFlags = 0x3A285 | CLIENT_CONNECT_WITH_DB;
constexpr std::uint16_t AllCapabilities = 0xF7FF;  // everything but TLS
constexpr std::uint16_t NoSecureConnection = AllCapabilities & ~CLIENT_SECURE_CONNECTION;
constexpr std::uint8_t Utf8Number = 33;
constexpr std::uint8_t Latin1Number = 8;
constexpr std::uint32_t MaxPacketSize = 1073741824;
const Bytes EndPacket = {0xFE, 0, 0, 2, 0};
const std::string MalformedPrefix = "Malformed packet\r\n";

std::string Hex(const Bytes& bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += Digits[b >> 4];
        text += Digits[b & 15];
    }
    return text;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        Append(all, part);
    }
    return all;
}

Bytes Le(std::uint64_t value, std::size_t count) {
    Bytes bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(std::uint8_t(value >> (8 * i)));
    }
    return bytes;
}

Bytes Nul(std::string_view text) {
    Bytes bytes = ToBytes(text);
    bytes.push_back(0);
    return bytes;
}

// --- greetings and login responses ------------------------------------------------------------

GreetingFields Fields(std::uint16_t capabilities) {
    GreetingFields fields;
    fields.capabilities = capabilities;
    fields.status = 3;  // not the client's default, so that taking it over shows
    return fields;
}

// Where the greeting's first 8 scramble bytes end: the filler, then the capabilities.
std::size_t AfterScramble8(const GreetingFields& fields) {
    return 1 + std::strlen(fields.serverVersion) + 1 + 4 + 8;
}

// The greeting cut to its first length bytes.
Bytes CutGreeting(const GreetingFields& fields, std::size_t length) {
    Bytes bytes = Greeting(fields);
    bytes.resize(length);
    return bytes;
}

const std::uint8_t* Scramble20() {
    static const GreetingFields fields;
    return fields.scramble;
}

Bytes Part41(std::string_view password, const std::uint8_t* scramble20) {
    const Sha1Digest response = ComputeScramble41(password, scramble20);
    Bytes bytes = {20};
    bytes.insert(bytes.end(), response.begin(), response.end());
    return bytes;
}

Bytes Part323(std::string_view password, const std::uint8_t* scramble8) {
    const auto response = ComputeScramble323(password, scramble8);
    Bytes bytes(response.begin(), response.end());
    bytes.push_back(0);
    return bytes;
}

// Sent for a password when the greeting carried only the 8-byte scramble.
const Bytes PlaceholderPart = {0x78, 0x78, 0x78, 0x78, 0x78, 0x78, 0x78, 0x78, 0};
const Bytes EmptyPart = {0};

Bytes Response41(std::uint32_t flags, std::uint8_t charset, std::string_view user,
                 const Bytes& password, std::optional<std::string_view> db,
                 std::uint32_t maxPacket = MaxPacketSize) {
    Bytes bytes =
        Concat({Le(flags, 4), Le(maxPacket, 4), {charset}, Bytes(23, 0), Nul(user), password});
    if (db) {
        Append(bytes, Nul(*db));
    }
    return bytes;
}

Bytes ResponseOld(std::uint32_t flags, std::string_view user, const Bytes& password,
                  std::optional<std::string_view> db) {
    Bytes bytes = Concat({Le(flags, 2), Bytes(3, 0), Nul(user), password});
    if (db) {
        Append(bytes, Nul(*db));
    }
    return bytes;
}

// --- result sets ------------------------------------------------------------------------------

Bytes LenEnc(std::string_view text) {
    Bytes bytes = {std::uint8_t(text.size())};
    Append(bytes, ToBytes(text));
    return bytes;
}

// A 4.1 column definition whose fixed block keeps its first blockLength bytes.
Bytes ColumnDefinition(std::string_view name, std::uint8_t type, std::uint32_t length = 11,
                       std::uint16_t flags = 0, std::uint8_t decimals = 0,
                       std::uint16_t charset = 63, std::size_t blockLength = 12) {
    Bytes block = Concat({Le(charset, 2), Le(length, 4), {type}, Le(flags, 2), {decimals}, {0, 0}});
    block.resize(blockLength);
    return Concat({LenEnc("def"),
                   LenEnc("shop"),
                   LenEnc("t"),
                   LenEnc("orders"),
                   LenEnc(name),
                   LenEnc(std::string(name) + "_org"),
                   {std::uint8_t(blockLength)},
                   block});
}

// A result set of two text columns and these rows.
std::vector<Bytes> TwoColumnResult(std::initializer_list<Bytes> rows) {
    std::vector<Bytes> packets = {{2},
                                  ColumnDefinition("a", MYSQL_TYPE_VAR_STRING),
                                  ColumnDefinition("b", MYSQL_TYPE_VAR_STRING),
                                  EndPacket};
    packets.insert(packets.end(), rows.begin(), rows.end());
    packets.push_back(EndPacket);
    return packets;
}

// --- the server side --------------------------------------------------------------------------

// The client's next packet, which must carry this sequence number.
Bytes Expect(FakeConnection& connection, std::uint8_t sequence) {
    Bytes payload = connection.ReceivePacket();
    EXPECT_FALSE(connection.Closed())
        << "the client closed instead of sending packet " << int(sequence);
    EXPECT_EQ(connection.LastSequence(), sequence);
    return payload;
}

// The client has nothing left to say but the quit command.
void ExpectQuit(FakeConnection& connection) {
    const Bytes payload = connection.ReceivePacket();
    if (!connection.Closed()) {
        EXPECT_EQ(Hex(payload), "01") << "sequence " << int(connection.LastSequence());
        EXPECT_EQ(connection.LastSequence(), 0);
    }
    while (!connection.Closed()) {
        connection.ReceivePacket();
    }
}

// Waits for the client to close without reading its packets (compressed ones, for instance).
void DrainUntilClosed(FakeConnection& connection) {
    while (!connection.Closed()) {
        connection.ReceivePacket();
    }
}

void LogIn(FakeConnection& connection, const GreetingFields& fields = {}) {
    connection.SendPacket(0, Greeting(fields));
    Expect(connection, 1);
    connection.SendPacket(2, OkPacket());
}

// Sends a command's answer packets with sequence numbers from 1, in one write: packet by packet,
// the fake server's small writes would wait on the client's delayed acknowledgements.
void Answer(FakeConnection& connection, const std::vector<Bytes>& packets) {
    Bytes stream;
    std::uint8_t sequence = 1;
    for (const Bytes& packet : packets) {
        Append(stream, test_support::Packet(sequence++, packet));
    }
    connection.SendRaw(stream);
}

void ExpectQuery(FakeConnection& connection, std::string_view statement) {
    EXPECT_EQ(Hex(Expect(connection, 0)), Hex(Concat({{3}, ToBytes(statement)})));
}

// A file removed when the test ends.
class TempFile {
public:
    TempFile(std::string_view name, const Bytes& contents)
        : FPath(std::filesystem::temp_directory_path() /
                ("session_fake_server_" + std::to_string(getpid()) + "_" + std::string(name))) {
        std::ofstream(FPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                   std::streamsize(contents.size()));
    }
    ~TempFile() { std::filesystem::remove(FPath); }

    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    std::string Path() const { return FPath.string(); }

private:
    std::filesystem::path FPath;
};

// One facade session against one scripted server. Scripts capture by value: they may still run
// after the test body's locals are gone, until TearDown closes the session.
class FakeServerSession : public ::testing::Test {
protected:
    void SetUp() override {
        s = api.mysql_init();
        // A client waiting for a packet the script never sends fails instead of hanging.
        api.mysql_options(s, MYSQL_OPT_CONNECT_TIMEOUT, 2);
        api.mysql_options(s, MYSQL_OPT_READ_TIMEOUT, 2);
    }

    void TearDown() override {
        // Closing first ends scripts that wait for the client; then the server joins its thread.
        api.mysql_close(s);
        server.reset();
    }

    void Serve(FakeServer::Script script) {
        server = std::make_unique<FakeServer>(std::move(script));
    }

    PMYSQL Connect(std::string_view password = "", std::uint32_t flags = 0,
                   std::string_view user = "app", std::string_view db = "shop") {
        return api.mysql_real_connect(s, "127.0.0.1", user, password, db, server->Port(), "",
                                      flags);
    }

    int Query(std::string_view statement) {
        return api.mysql_real_query(s, statement.data(), statement.size());
    }

    std::string Error() { return api.mysql_error(s); }

    // The session's error is code with a message that starts with prefix and names part.
    void ExpectError(unsigned code, const std::string& prefix, const std::string& part = {}) {
        EXPECT_EQ(api.mysql_errno(s), code);
        const std::string message = Error();
        EXPECT_EQ(message.substr(0, prefix.size()), prefix) << message;
        EXPECT_NE(message.find(part), std::string::npos) << message;
    }

    TMySQLAPIDirect& api = MyAPIDirect();
    PMYSQL s = nullptr;
    std::unique_ptr<FakeServer> server;
};

// --- the login response -----------------------------------------------------------------------

enum class GreetingEnd { Whole, AfterCapabilities };

struct ResponseCase {
    const char* name;
    std::uint16_t capabilities;
    GreetingEnd end;
    std::string charset;  // MYSQL_SET_CHARSET_NAME; not set when empty
    std::string user;
    std::string password;
    std::uint32_t clientflag;
    Bytes expected;
    std::uint32_t serverStatus;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const ResponseCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<ResponseCase> ResponseCases() {
    const std::uint8_t* scramble = Scramble20();
    constexpr std::uint16_t Old = AllCapabilities & ~CLIENT_PROTOCOL_41 & ~CLIENT_SECURE_CONNECTION;
    constexpr std::uint16_t NoDb = AllCapabilities & ~CLIENT_CONNECT_WITH_DB;
    constexpr auto Whole = GreetingEnd::Whole;
    constexpr auto Cut = GreetingEnd::AfterCapabilities;
    return {
        {"EmptyPasswordUtf8", AllCapabilities, Whole, "utf8", "app", "", 0,
         Response41(BaseFlags, Utf8Number, "app", EmptyPart, "shop"), 3},
        {"Scramble41Latin1", AllCapabilities, Whole, "latin1", "app", "secret", 0,
         Response41(BaseFlags, Latin1Number, "app", Part41("secret", scramble), "shop"), 3},
        {"CharsetNameOtherThanUtf8", AllCapabilities, Whole, "utf8mb4", "app", "", 0,
         Response41(BaseFlags, Latin1Number, "app", EmptyPart, "shop"), 3},
        {"CharsetNameInCapitals", AllCapabilities, Whole, "UTF8", "app", "", 0,
         Response41(BaseFlags, Latin1Number, "app", EmptyPart, "shop"), 3},
        {"CharsetNotSet", AllCapabilities, Whole, "", "app", "", 0,
         Response41(BaseFlags, Latin1Number, "app", EmptyPart, "shop"), 3},
        {"EightBitUserAndPassword", AllCapabilities, Whole, "utf8", "\xC3\xBCser",
         "p\xC3\xA4ss word", 0,
         Response41(BaseFlags, Utf8Number, "\xC3\xBCser", Part41("p\xC3\xA4ss word", scramble),
                    "shop"),
         3},
        {"NoDatabaseWithoutConnectWithDb", NoDb, Whole, "utf8", "app", "secret", 0,
         Response41(BaseFlags, Utf8Number, "app", Part41("secret", scramble), std::nullopt), 3},
        {"RequestedFlagsAdded", AllCapabilities, Whole, "utf8", "app", "",
         CLIENT_FOUND_ROWS | CLIENT_INTERACTIVE,
         Response41(0x3A68F, Utf8Number, "app", EmptyPart, "shop"), 3},
        {"CompressionKeptWhenOffered", AllCapabilities, Whole, "utf8", "app", "", CLIENT_COMPRESS,
         Response41(0x3A2AD, Utf8Number, "app", EmptyPart, "shop"), 3},
        {"CompressionDroppedWhenNotOffered", AllCapabilities & ~CLIENT_COMPRESS, Whole, "utf8",
         "app", "", CLIENT_COMPRESS, Response41(0x3A28D, Utf8Number, "app", EmptyPart, "shop"), 3},
        {"PreSecureServerGetsOldScramble", NoSecureConnection, Whole, "utf8", "app", "secret", 0,
         Response41(BaseFlags, Utf8Number, "app", Part323("secret", scramble), "shop"), 3},
        {"PreSecureServerEmptyPassword", NoSecureConnection, Whole, "utf8", "app", "", 0,
         Response41(BaseFlags, Utf8Number, "app", EmptyPart, "shop"), 3},
        {"GreetingEndingAfterCapabilities", AllCapabilities, Cut, "utf8", "app", "secret", 0,
         Response41(BaseFlags, Utf8Number, "app", PlaceholderPart, "shop"), 2},
        {"GreetingEndingAfterCapabilitiesEmptyPassword", AllCapabilities, Cut, "utf8", "app", "", 0,
         Response41(BaseFlags, Utf8Number, "app", EmptyPart, "shop"), 2},
        {"GreetingEndingAfterCapabilitiesPreSecure", NoSecureConnection, Cut, "utf8", "app",
         "secret", 0, Response41(BaseFlags, Utf8Number, "app", Part323("secret", scramble), "shop"),
         2},
        {"Pre41ServerOldLayout", Old, Whole, "utf8", "app", "secret", 0,
         ResponseOld(0xA08D, "app", Part323("secret", scramble), "shop"), 3},
        {"Pre41ServerOldLayoutEmptyPassword", Old, Whole, "utf8", "app", "", 0,
         ResponseOld(0xA08D, "app", EmptyPart, "shop"), 3},
        {"Pre41ServerOldLayoutNoDatabase", Old & ~CLIENT_CONNECT_WITH_DB, Whole, "utf8", "app",
         "secret", 0, ResponseOld(0xA08D, "app", Part323("secret", scramble), std::nullopt), 3},
        {"Pre41ServerWithSecureConnection", AllCapabilities & ~CLIENT_PROTOCOL_41, Whole, "utf8",
         "app", "secret", 0, ResponseOld(0xA08D, "app", Part41("secret", scramble), "shop"), 3},
        // Flags above the lower 16 bits have no room in the old layout.
        {"Pre41ServerDropsHighFlags", Old, Whole, "utf8", "app", "", CLIENT_MULTI_STATEMENTS,
         ResponseOld(0xA08D, "app", EmptyPart, "shop"), 3},
    };
}

class HandshakeResponse : public FakeServerSession,
                          public ::testing::WithParamInterface<ResponseCase> {};

TEST_P(HandshakeResponse, CarriesFlagsCharsetUserPasswordAndDatabase) {
    const ResponseCase c = GetParam();
    Serve([c](FakeConnection& connection) {
        const GreetingFields fields = Fields(c.capabilities);
        connection.SendPacket(0, c.end == GreetingEnd::Whole
                                     ? Greeting(fields)
                                     : CutGreeting(fields, AfterScramble8(fields) + 3));
        EXPECT_EQ(Hex(Expect(connection, 1)), Hex(c.expected));
        connection.SendPacket(2, OkPacket());
        if ((c.clientflag & c.capabilities & CLIENT_COMPRESS) != 0) {
            DrainUntilClosed(connection);
        } else {
            ExpectQuit(connection);
        }
    });
    if (!c.charset.empty()) {
        api.mysql_options(s, MYSQL_SET_CHARSET_NAME, c.charset);
    }
    ASSERT_EQ(Connect(c.password, c.clientflag, c.user), s) << Error();
    EXPECT_EQ(api.mysql_errno(s), 0u);
    EXPECT_EQ(s->serverCapabilities, c.capabilities);
    EXPECT_EQ(s->serverStatus, c.serverStatus);
    EXPECT_EQ(api.mysql_thread_id(s), 42u);
    EXPECT_EQ(api.mysql_get_server_info(s), "10.11.0-fake");
}

INSTANTIATE_TEST_SUITE_P(Greetings, HandshakeResponse, ::testing::ValuesIn(ResponseCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The second part of the scramble counts only when all its 12 bytes arrived; a greeting cut
// inside it must not lend the client bytes the server never sent.
struct SecondPartCase {
    const char* name;
    std::size_t secondPartBytes;  // of the 12, before the greeting ends
    bool scramble41;              // the 20-byte scramble is complete
};

void PrintTo(const SecondPartCase& c, std::ostream* os) {
    *os << c.name;
}

class SecondScramblePart : public FakeServerSession,
                           public ::testing::WithParamInterface<SecondPartCase> {};

TEST_P(SecondScramblePart, IsUsedOnlyWhenComplete) {
    const SecondPartCase c = GetParam();
    Serve([c](FakeConnection& connection) {
        const GreetingFields fields = Fields(AllCapabilities);
        // filler, capabilities 2, charset, status 2, upper capabilities 2, length, reserved 10
        connection.SendPacket(0,
                              CutGreeting(fields, AfterScramble8(fields) + 19 + c.secondPartBytes));
        const Bytes part = c.scramble41 ? Part41("secret", Scramble20()) : PlaceholderPart;
        EXPECT_EQ(Hex(Expect(connection, 1)),
                  Hex(Response41(BaseFlags, Latin1Number, "app", part, "shop")));
        connection.SendPacket(2, OkPacket());
        ExpectQuit(connection);
    });
    EXPECT_EQ(Connect("secret"), s) << Error();
}

INSTANTIATE_TEST_SUITE_P(Lengths, SecondScramblePart,
                         ::testing::Values(SecondPartCase{"None", 0, false},
                                           SecondPartCase{"Half", 6, false},
                                           SecondPartCase{"AllButOne", 11, false},
                                           SecondPartCase{"AllWithoutNul", 12, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- greetings the client refuses -------------------------------------------------------------

struct BadGreetingCase {
    const char* name;
    Bytes greeting;
    unsigned code;
    std::string message;  // exact, or for 2027 the start
};

void PrintTo(const BadGreetingCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<BadGreetingCase> BadGreetingCases() {
    GreetingFields version9;
    version9.protocolVersion = 9;
    GreetingFields version11;
    version11.protocolVersion = 11;
    const GreetingFields fields;
    const std::size_t p = AfterScramble8(fields);
    return {
        {"ProtocolVersion9", Greeting(version9), 2007,
         "Protocol mismatch. Server Version = 9 Client Version = 10"},
        {"ProtocolVersion11", Greeting(version11), 2007,
         "Protocol mismatch. Server Version = 11 Client Version = 10"},
        {"CutInsideScramble", CutGreeting(fields, p - 3), 2027, MalformedPrefix},
        {"CutBeforeScramble", CutGreeting(fields, p - 8), 2027, MalformedPrefix},
        {"CutInsideThreadId", CutGreeting(fields, p - 10), 2027, MalformedPrefix},
        {"VersionByteOnly", {10}, 2027, MalformedPrefix},
        {"Empty", {}, 2027, MalformedPrefix},
    };
}

class BadGreeting : public FakeServerSession,
                    public ::testing::WithParamInterface<BadGreetingCase> {};

TEST_P(BadGreeting, FailsTheConnectWithoutALoginResponse) {
    const BadGreetingCase c = GetParam();
    Serve([c](FakeConnection& connection) {
        connection.SendPacket(0, c.greeting);
        ExpectQuit(connection);
    });
    EXPECT_EQ(Connect("secret"), nullptr);
    EXPECT_EQ(api.mysql_errno(s), c.code);
    if (c.code == CR_MALFORMED_PACKET) {
        ExpectError(c.code, c.message);
        EXPECT_GT(Error().size(), c.message.size()) << "no detail";
    } else {
        EXPECT_EQ(Error(), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(Greetings, BadGreeting, ::testing::ValuesIn(BadGreetingCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// --- a server that stops answering during the login -------------------------------------------

enum class StopsAt { Greeting, LoginResponse };

struct SilentLoginCase {
    const char* name;
    StopsAt stopsAt;
};

class SilentLogin : public FakeServerSession,
                    public ::testing::WithParamInterface<SilentLoginCase> {};

TEST_P(SilentLogin, FailsAsALostConnectionWithinTheConnectTimeout) {
    const StopsAt stopsAt = GetParam().stopsAt;
    auto clientGaveUp = std::make_shared<std::atomic<bool>>(false);
    Serve([stopsAt, clientGaveUp](FakeConnection& connection) {
        if (stopsAt == StopsAt::LoginResponse) {
            connection.SendPacket(0, Greeting());
            Expect(connection, 1);
        }
        // Ten times the client's limit: a client without one would outwait this server.
        *clientGaveUp = connection.AwaitClose(std::chrono::seconds(10));
    });
    api.mysql_options(s, MYSQL_OPT_CONNECT_TIMEOUT, 1);
    EXPECT_EQ(Connect(), nullptr);
    ExpectError(CR_SERVER_LOST, "Lost connection to MySQL server during query");
    server.reset();
    EXPECT_TRUE(*clientGaveUp) << "the client waited until the server closed the connection";
}

INSTANTIATE_TEST_SUITE_P(Stops, SilentLogin,
                         ::testing::Values(SilentLoginCase{"BeforeTheGreeting", StopsAt::Greeting},
                                           SilentLoginCase{"AfterTheLoginResponse",
                                                           StopsAt::LoginResponse}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- the packet limit -------------------------------------------------------------------------

TEST_F(FakeServerSession, LoginAnnouncesTheSessionsPacketLimit) {
    constexpr std::uint32_t Limit = 64 * 1024 * 1024;
    Serve([](FakeConnection& connection) {
        connection.SendPacket(0, Greeting());
        EXPECT_EQ(Hex(Expect(connection, 1)),
                  Hex(Response41(BaseFlags, Latin1Number, "app", EmptyPart, "shop", Limit)));
        connection.SendPacket(2, OkPacket());
        ExpectQuit(connection);
    });
    EXPECT_NE(api.mysql_options(s, MYSQL_OPT_MAX_ALLOWED_PACKET, 0), 0);
    EXPECT_NE(api.mysql_options(s, MYSQL_OPT_MAX_ALLOWED_PACKET, -1), 0);
    EXPECT_EQ(s->net.GetMaxAllowedPacket(), TMySqlNet::MaxAllowedPacket);
    EXPECT_EQ(api.mysql_options(s, MYSQL_OPT_MAX_ALLOWED_PACKET, int(Limit)), 0);
    EXPECT_EQ(Connect(), s) << Error();
}

class EndlessGreeting : public FakeServerSession,
                        public ::testing::WithParamInterface<std::size_t> {};

// The server streams continuation packets instead of a greeting, up to this much before it
// gives up: far more than a limited client takes in.
constexpr std::size_t EndlessStreamCap = 256 * 1024 * 1024;
// What the socket buffers of both ends may hold besides what the client read.
constexpr std::size_t SocketBuffers = 40 * 1024 * 1024;

TEST_P(EndlessGreeting, StopsAtThePacketLimitAndCloses) {
    const std::size_t limit = GetParam();
    auto sent = std::make_shared<std::atomic<std::size_t>>(0);
    Serve([sent](FakeConnection& connection) {
        Bytes packet(4 + TMySqlNet::MaxPacketLength, 0);
        packet[0] = packet[1] = packet[2] = 0xFF;
        for (std::uint8_t sequence = 0; *sent < EndlessStreamCap; ++sequence) {
            packet[3] = sequence;
            const std::size_t taken = connection.SendRaw(packet);
            *sent += taken;
            if (taken < packet.size()) {
                break;
            }
        }
    });
    api.mysql_options(s, MYSQL_OPT_MAX_ALLOWED_PACKET, int(limit));
    EXPECT_EQ(Connect(), nullptr);
    ExpectError(CR_NET_PACKET_TOO_LARGE, "Got packet bigger than 'max_allowed_packet'");
    EXPECT_EQ(s->net.GetVio(), nullptr);
    EXPECT_EQ(api.mysql_ping(s), CR_SERVER_GONE_ERROR);
    server.reset();
    EXPECT_LE(*sent, limit + 4 + TMySqlNet::MaxPacketLength + SocketBuffers);
}

INSTANTIATE_TEST_SUITE_P(Limits, EndlessGreeting,
                         ::testing::Values(std::size_t(1024 * 1024), std::size_t(20 * 1024 * 1024)),
                         [](const auto& info) { return std::to_string(info.param); });

// --- what the server asks for after the login response ----------------------------------------

Bytes NativeSwitch(const Bytes& challenge, bool trailingNul) {
    Bytes bytes = Concat({{0xFE}, Nul("mysql_native_password"), challenge});
    if (trailingNul) {
        bytes.push_back(0);
    }
    return bytes;
}

const Bytes NewScramble = {0xA0, 0x91, 0x82, 0x73, 0x64, 0x55, 0x46, 0x37, 0x28, 0x19,
                           0x0A, 0xFB, 0xEC, 0xDD, 0xCE, 0xBF, 0xB0, 0xA1, 0x92, 0x83};

Bytes ReChallenge(std::uint8_t first) {
    return Concat({{first, 0x5A, 0x6B, 0x7C}, NewScramble});
}

// The answer to a 24-byte re-challenge that is not the pre-4.1 one: the stage-1 hash xor the
// new scramble, which the challenge carries xor'ed with the stage-2 hash of its first 4 bytes.
Bytes HashedReply(std::string_view password, const Bytes& challenge) {
    const Sha1Digest stage1 = PasswordHashStage1(password);
    const Sha1Digest stage2 = PasswordHashStage2(stage1, challenge.data());
    Bytes reply(20);
    for (std::size_t i = 0; i < 20; ++i) {
        reply[i] = stage1[i] ^ std::uint8_t(challenge[4 + i] ^ stage2[i]);
    }
    return reply;
}

Bytes Digest(const Sha1Digest& digest) {
    return Bytes(digest.begin(), digest.end());
}

struct ExchangeCase {
    const char* name;
    std::string password;
    Bytes answer;                // the server's answer to the login response
    std::optional<Bytes> reply;  // the client's reply to it; none when the answer ends the login
};

void PrintTo(const ExchangeCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<ExchangeCase> ExchangeCases() {
    const std::uint8_t* scramble = Scramble20();
    const Bytes challenge = Pattern(20, 0x41);
    const Bytes longOk = Concat({OkPacket(), ToBytes("seventeen chars..")});
    return {
        {"OldScrambleRequest", "secret", {0xFE}, Part323("secret", scramble)},
        {"OldScrambleRequestEmptyPassword", "", {0xFE}, EmptyPart},
        {"PreviousScrambleReChallenge", "secret", ReChallenge(0x2A),
         Part323("secret", NewScramble.data())},
        {"PreviousScrambleReChallengeEmptyPassword", "", ReChallenge(0x2A), EmptyPart},
        {"HashedReChallenge", "secret", ReChallenge(0x17),
         HashedReply("secret", ReChallenge(0x17))},
        {"HashedReChallengeHighFirstByte", "sec ret", ReChallenge(0xC4),
         HashedReply("sec ret", ReChallenge(0xC4))},
        {"NativePasswordSwitch", "secret", NativeSwitch(challenge, true),
         Digest(ComputeScramble41("secret", challenge.data()))},
        {"NativePasswordSwitchWithoutTrailingNul", "secret", NativeSwitch(challenge, false),
         Digest(ComputeScramble41("secret", challenge.data()))},
        {"NativePasswordSwitchEmptyPassword", "", NativeSwitch(challenge, true), Bytes{}},
        // An OK packet is never a challenge, whatever its length.
        {"OkPacketOf24Bytes", "secret", longOk, std::nullopt},
    };
}

class LoginExchange : public FakeServerSession,
                      public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(LoginExchange, ClientAnswersThenAcceptsTheOkPacket) {
    const ExchangeCase c = GetParam();
    Serve([c](FakeConnection& connection) {
        connection.SendPacket(0, Greeting(Fields(AllCapabilities)));
        Expect(connection, 1);
        connection.SendPacket(2, c.answer);
        if (c.reply) {
            EXPECT_EQ(Hex(Expect(connection, 3)), Hex(*c.reply));
            connection.SendPacket(4, OkPacket());
        }
        ExpectQuit(connection);
    });
    EXPECT_EQ(Connect(c.password), s) << Error();
    EXPECT_EQ(api.mysql_errno(s), 0u);
}

INSTANTIATE_TEST_SUITE_P(Answers, LoginExchange, ::testing::ValuesIn(ExchangeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct LoginFailureCase {
    const char* name;
    std::uint16_t capabilities;
    std::vector<Bytes> answers;  // the client replies to each but the last
    unsigned code;
    std::string prefix;
    std::string part;  // a text the message must contain
};

void PrintTo(const LoginFailureCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<LoginFailureCase> LoginFailureCases() {
    const Bytes challenge = Pattern(20, 0x41);
    const Bytes notOk = {0x01, 'x'};
    const std::string handshake = "Error in server handshake";
    auto plugin = [](const char* name) {
        return Concat({{0xFE}, Nul(name), Pattern(20, 0x41), {0}});
    };
    auto withLength = [](std::size_t length) {
        Bytes bytes = ReChallenge(0x2A);
        bytes.resize(length, 0x33);
        return bytes;
    };
    return {
        {"NotOkFinalAnswer", AllCapabilities, {notOk}, 2012, handshake, ""},
        {"EmptyFinalAnswer", AllCapabilities, {Bytes{}}, 2012, handshake, ""},
        {"ReChallengeOf23Bytes", AllCapabilities, {withLength(23)}, 2012, handshake, ""},
        {"ReChallengeOf25Bytes", AllCapabilities, {withLength(25)}, 2012, handshake, ""},
        // Without secure connections the server's extra requests are not understood.
        {"OldScrambleRequestFromPreSecureServer",
         NoSecureConnection,
         {{0xFE}},
         2012,
         handshake,
         ""},
        {"ReChallengeFromPreSecureServer",
         NoSecureConnection,
         {ReChallenge(0x2A)},
         2012,
         handshake,
         ""},
        {"SwitchFromPreSecureServer",
         NoSecureConnection,
         {NativeSwitch(challenge, true)},
         2012,
         handshake,
         ""},
        {"NotOkAfterOldScramble", AllCapabilities, {{0xFE}, notOk}, 2012, handshake, ""},
        {"NotOkAfterPreviousScrambleReChallenge",
         AllCapabilities,
         {ReChallenge(0x2A), notOk},
         2012,
         handshake,
         ""},
        {"NotOkAfterHashedReChallenge",
         AllCapabilities,
         {ReChallenge(0x17), notOk},
         2012,
         handshake,
         ""},
        {"NotOkAfterNativeSwitch",
         AllCapabilities,
         {NativeSwitch(challenge, true), notOk},
         2012,
         handshake,
         ""},
        {"SecondOldScrambleRequest", AllCapabilities, {{0xFE}, {0xFE}}, 2012, handshake, ""},
        {"SwitchToCachingSha2",
         AllCapabilities,
         {plugin("caching_sha2_password")},
         2059,
         "",
         "'caching_sha2_password'"},
        {"SwitchToSha256",
         AllCapabilities,
         {plugin("sha256_password")},
         2059,
         "",
         "'sha256_password'"},
        {"SwitchToOldPassword",
         AllCapabilities,
         {plugin("mysql_old_password")},
         2059,
         "",
         "'mysql_old_password'"},
        {"SwitchToClearPassword",
         AllCapabilities,
         {plugin("mysql_clear_password")},
         2059,
         "",
         "'mysql_clear_password'"},
        {"NativeSwitchWithShortChallenge",
         AllCapabilities,
         {NativeSwitch(Pattern(10), false)},
         2027,
         MalformedPrefix,
         ""},
        {"NativeSwitchWithoutChallenge",
         AllCapabilities,
         {Concat({{0xFE}, ToBytes("mysql_native_password")})},
         2027,
         MalformedPrefix,
         ""},
    };
}

class LoginFailure : public FakeServerSession,
                     public ::testing::WithParamInterface<LoginFailureCase> {};

TEST_P(LoginFailure, FailsTheConnectAndSaysNoMore) {
    const LoginFailureCase c = GetParam();
    Serve([c](FakeConnection& connection) {
        connection.SendPacket(0, Greeting(Fields(c.capabilities)));
        Expect(connection, 1);
        std::uint8_t sequence = 2;
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            connection.SendPacket(sequence, c.answers[i]);
            if (i + 1 < c.answers.size()) {
                Expect(connection, std::uint8_t(sequence + 1));
            }
            sequence += 2;
        }
        ExpectQuit(connection);
    });
    EXPECT_EQ(Connect("secret"), nullptr);
    ExpectError(c.code, c.prefix, c.part);
}

INSTANTIATE_TEST_SUITE_P(Answers, LoginFailure, ::testing::ValuesIn(LoginFailureCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// --- queries and result sets ------------------------------------------------------------------

struct WireValue {
    const char* name;
    Bytes wire;
    std::optional<Bytes> value;  // none for NULL
};

std::vector<WireValue> WireValues() {
    return {
        {"null", {0xFB}, std::nullopt},
        {"empty", {0}, Bytes{}},
        {"one byte length", Concat({{3}, ToBytes("abc")}), ToBytes("abc")},
        {"one byte length 250", Concat({{250}, Pattern(250, 1)}), Pattern(250, 1)},
        {"two byte length 251", Concat({{0xFC, 0xFB, 0x00}, Pattern(251, 2)}), Pattern(251, 2)},
        {"two byte length 65535", Concat({{0xFC, 0xFF, 0xFF}, Pattern(65535, 3)}),
         Pattern(65535, 3)},
        {"three byte length 65536", Concat({{0xFD, 0x00, 0x00, 0x01}, Pattern(65536, 4)}),
         Pattern(65536, 4)},
        {"eight byte length 300", Concat({{0xFE}, Le(300, 8), Pattern(300, 5)}), Pattern(300, 5)},
        {"two byte length of a short value", Concat({{0xFC, 2, 0}, ToBytes("xy")}), ToBytes("xy")},
        {"value made of 0xFB", Concat({{1}, {0xFB}}), Bytes{0xFB}},
    };
}

TEST_F(FakeServerSession, QueryIsSentVerbatimAndRowsDecodeEveryLengthEncoding) {
    const std::string statement("SELECT '\0\xE9'", 12);
    const std::vector<WireValue> values = WireValues();
    Serve([statement, values](FakeConnection& connection) {
        LogIn(connection);
        ExpectQuery(connection, statement);
        std::vector<Bytes> packets = {
            {2},
            ColumnDefinition("id", MYSQL_TYPE_LONG, 11, 3, 0, 63),
            ColumnDefinition("note", MYSQL_TYPE_VAR_STRING, 765, 0, 2, 33),
            EndPacket,
        };
        for (std::size_t i = 0; i < values.size(); ++i) {
            packets.push_back(Concat({LenEnc(std::to_string(i)), values[i].wire}));
        }
        packets.push_back(EndPacket);
        Answer(connection, packets);
        ExpectQuery(connection, "DO 1");
        Answer(connection, {OkPacket()});
        ExpectQuit(connection);
    });
    ASSERT_EQ(Connect(), s) << Error();
    ASSERT_EQ(Query(statement), 0) << Error();
    EXPECT_EQ(api.mysql_field_count(s), 2u);
    PMYSQL_RES r = api.mysql_use_result(s);
    ASSERT_NE(r, nullptr) << Error();
    ASSERT_EQ(api.mysql_num_fields(r), 2u);

    TMYSQL_FIELD field;
    api._mysql_fetch_field_direct(r, 0, field, false);
    EXPECT_EQ(field.Name, "id");
    EXPECT_EQ(field.OrgName, "id_org");
    EXPECT_EQ(field.Table, "t");
    EXPECT_EQ(field.OrgTable, "orders");
    EXPECT_EQ(field.MyType, MYSQL_TYPE_LONG);
    EXPECT_EQ(field.LengthInBytes, 11u);
    EXPECT_EQ(field.Flags & 0xFFFF & ~NUM_FLAG, 3u);
    EXPECT_EQ(field.CharsetNr, 63);
    api._mysql_fetch_field_direct(r, 1, field, false);
    EXPECT_EQ(field.Name, "note");
    EXPECT_EQ(field.MyType, MYSQL_TYPE_VAR_STRING);
    EXPECT_EQ(field.LengthInBytes, 765u);
    EXPECT_EQ(field.Decimals, 2u);
    EXPECT_EQ(field.CharsetNr, 33);

    for (std::size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(values[i].name);
        PMYSQL_ROW w = api.mysql_fetch_row(r);
        ASSERT_NE(w, nullptr) << Error();
        EXPECT_EQ(api._mysql_fetch_value_str(w, 0), std::to_string(i));
        std::uint32_t lengths[2] = {};
        api._mysql_fetch_lengths(r, lengths);
        EXPECT_EQ(api._mysql_fetch_value_is_null(w, 1), !values[i].value.has_value());
        if (values[i].value) {
            const std::string text = api._mysql_fetch_value_str(w, 1);
            EXPECT_EQ(Hex(Bytes(text.begin(), text.end())), Hex(*values[i].value));
            EXPECT_EQ(lengths[1], values[i].value->size());
        } else {
            EXPECT_EQ(lengths[1], 0u);
        }
    }
    EXPECT_EQ(api.mysql_fetch_row(r), nullptr);
    EXPECT_EQ(api.mysql_errno(s), 0u) << Error();
    api.mysql_free_result(r);
    EXPECT_EQ(Query("DO 1"), 0) << Error();
}

struct OkCase {
    const char* name;
    Bytes packet;
    std::int64_t affectedRows;
    std::int64_t insertId;
    std::string info;
};

void PrintTo(const OkCase& c, std::ostream* os) {
    *os << c.name;
}

class OkPacketAnswer : public FakeServerSession, public ::testing::WithParamInterface<OkCase> {};

TEST_P(OkPacketAnswer, GivesAffectedRowsInsertIdAndInfo) {
    const OkCase c = GetParam();
    Serve([c](FakeConnection& connection) {
        LogIn(connection);
        ExpectQuery(connection, "UPDATE t SET a = 1");
        Answer(connection, {c.packet});
        ExpectQuit(connection);
    });
    ASSERT_EQ(Connect(), s) << Error();
    ASSERT_EQ(Query("UPDATE t SET a = 1"), 0) << Error();
    EXPECT_EQ(api.mysql_field_count(s), 0u);
    EXPECT_EQ(api.mysql_affected_rows(s), c.affectedRows);
    EXPECT_EQ(api.mysql_insert_id(s), c.insertId);
    EXPECT_EQ(api.mysql_info(s), c.info);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, OkPacketAnswer,
    ::testing::Values(OkCase{"OneByteLengths", {0, 1, 2, 2, 0, 0, 0}, 1, 2, ""},
                      OkCase{"TwoAndThreeByteLengthsWithInfo",
                             Concat({{0, 0xFC, 0x2C, 0x01, 0xFD, 0x01, 0x00, 0x01, 2, 0, 1, 0},
                                     ToBytes("Rows matched: 300")}),
                             300, 65537, "Rows matched: 300"},
                      OkCase{"EightByteLength",
                             Concat({{0, 0xFE}, Le(std::uint64_t(1) << 33, 8), {7, 2, 0, 0, 0}}),
                             std::int64_t(1) << 33, 7, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// --- malformed answers ------------------------------------------------------------------------

enum class FailsAt { Query, SecondRow };

struct MalformedCase {
    const char* name;
    std::vector<Bytes> answer;
    FailsAt failsAt;
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
    *os << c.name;
}

// A two-column result whose first row is sound and whose second is this one.
std::vector<Bytes> SecondRow(const Bytes& row) {
    return TwoColumnResult({Concat({LenEnc("1"), LenEnc("ok")}), row});
}

// A one-column result set header with this definition.
std::vector<Bytes> Definition(const Bytes& definition) {
    return {{1}, definition, EndPacket, EndPacket};
}

std::vector<MalformedCase> MalformedCases() {
    const Bytes a = LenEnc("a");
    const Bytes column = ColumnDefinition("a", MYSQL_TYPE_VAR_STRING);
    const Bytes shortBlock = ColumnDefinition("a", MYSQL_TYPE_VAR_STRING, 11, 0, 0, 33, 9);
    Bytes noBlock = column;
    noBlock.resize(noBlock.size() - 13);
    Bytes nameRunsPast = Concat({LenEnc("def"), LenEnc("shop"), LenEnc("t"), {9}, ToBytes("or")});
    constexpr auto Query = FailsAt::Query;
    constexpr auto Row = FailsAt::SecondRow;
    return {
        {"HeaderAnnouncesMoreColumnsThanDefined", {{2}, column, EndPacket, EndPacket}, Query},
        {"HeaderAnnouncesFewerColumnsThanDefined",
         {{1}, column, column, EndPacket, EndPacket},
         Query},
        {"HeaderColumnCountCut", {{0xFC, 0x02}}, Query},
        {"DefinitionBlockTooShort", Definition(shortBlock), Query},
        {"DefinitionWithoutBlock", Definition(noBlock), Query},
        {"DefinitionStringRunsPast", Definition(nameRunsPast), Query},
        {"DefinitionWithLengthMarker0xFF", Definition(Concat({LenEnc("def"), {0xFF, 1, 2}})),
         Query},
        {"ValueRunsPastRow", SecondRow(Concat({a, {5, 'b', 'c'}})), Row},
        {"LengthMarker0xFF", SecondRow(Concat({a, {0xFF, 'b'}})), Row},
        {"TwoByteLengthCut", SecondRow(Concat({a, {0xFC, 0x01}})), Row},
        {"ThreeByteLengthCut", SecondRow(Concat({a, {0xFD, 0x01, 0x00}})), Row},
        {"EightByteLengthCut", SecondRow(Concat({a, {0xFE, 1, 0, 0, 0, 0, 0, 0}})), Row},
        {"ThreeByteLengthRunsPastRow", SecondRow(Concat({a, {0xFD, 0, 0, 1}, ToBytes("bc")})), Row},
        {"EightByteLengthRunsPastRow", SecondRow(Concat({a, {0xFE}, Le(16, 8), ToBytes("b")})),
         Row},
        // 2^32 + 1 bytes announced: cutting the length to 32 bits would fit it in the row.
        {"EightByteLengthBeyond32BitsRunsPastRow",
         SecondRow(Concat({a, {0xFE}, Le((std::uint64_t(1) << 32) + 1, 8), ToBytes("b")})), Row},
        {"RowWithoutItsSecondValue", SecondRow(a), Row},
        {"EndPacketCut", TwoColumnResult({Concat({LenEnc("1"), LenEnc("ok")}), {0xFE, 0, 0}}), Row},
        {"OkPacketCutInAffectedRows", {{0x00, 0xFC, 0x01}}, Query},
        {"OkPacketWithoutAffectedRows", {{0x00}}, Query},
        {"OkPacketCutInInsertId", {{0x00, 0x05, 0xFD, 0x01}}, Query},
        {"OkPacketWithLengthMarker0xFF", {{0x00, 0xFF, 0x01}}, Query},
        {"OkPacketCutInStatus", {{0x00, 0x00, 0x00, 0x02}}, Query},
    };
}

class MalformedAnswer : public FakeServerSession,
                        public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedAnswer, IsError2027ThroughTheFacade) {
    const MalformedCase c = GetParam();
    Serve([c](FakeConnection& connection) {
        LogIn(connection);
        ExpectQuery(connection, "SELECT a, b FROM t");
        Answer(connection, c.answer);
        ExpectQuit(connection);
    });
    ASSERT_EQ(Connect(), s) << Error();
    const int code = Query("SELECT a, b FROM t");
    if (c.failsAt == FailsAt::SecondRow) {
        ASSERT_EQ(code, 0) << Error();
        PMYSQL_RES r = api.mysql_use_result(s);
        ASSERT_NE(r, nullptr) << Error();
        PMYSQL_ROW first = api.mysql_fetch_row(r);
        EXPECT_NE(first, nullptr) << Error();
        EXPECT_EQ(api.mysql_fetch_row(r), nullptr);
        api.mysql_free_result(r);
    } else {
        EXPECT_EQ(code, CR_MALFORMED_PACKET);
    }
    ExpectError(CR_MALFORMED_PACKET, MalformedPrefix);
    EXPECT_GT(Error().size(), MalformedPrefix.size()) << "no detail";
}

INSTANTIATE_TEST_SUITE_P(Answers, MalformedAnswer, ::testing::ValuesIn(MalformedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// --- local files ------------------------------------------------------------------------------

Bytes LocalFileRequest(const std::string& name) {
    return Concat({{0xFB}, ToBytes(name)});
}

struct RefusalCase {
    const char* name;
    std::vector<int> localInfileOptions;  // values given to MYSQL_OPT_LOCAL_INFILE in turn
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class LocalFileRefusal : public FakeServerSession,
                         public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(LocalFileRefusal, SendsNothingOfTheFileAndKeepsTheConnection) {
    const TempFile file("refused.csv", ToBytes("1,secret\n"));
    const std::string name = file.Path();
    Serve([name](FakeConnection& connection) {
        LogIn(connection);
        ExpectQuery(connection, "LOAD DATA LOCAL INFILE 'x' INTO TABLE t");
        connection.SendPacket(1, LocalFileRequest(name));
        EXPECT_EQ(Hex(Expect(connection, 2)), "");
        connection.SendPacket(3, OkPacket());
        ExpectQuery(connection, "SELECT 2");
        Answer(connection, {OkPacket()});
        ExpectQuit(connection);
    });
    for (const int value : GetParam().localInfileOptions) {
        api.mysql_options(s, MYSQL_OPT_LOCAL_INFILE, value);
    }
    ASSERT_EQ(Connect(), s) << Error();
    EXPECT_EQ(Query("LOAD DATA LOCAL INFILE 'x' INTO TABLE t"), CR_LOCAL_FILE_REFUSED);
    ExpectError(CR_LOCAL_FILE_REFUSED, "", name);
    EXPECT_EQ(Query("SELECT 2"), 0) << Error();
}

INSTANTIATE_TEST_SUITE_P(Options, LocalFileRefusal,
                         ::testing::Values(RefusalCase{"Default", {}},
                                           RefusalCase{"EnabledThenDisabled", {1, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TransferCase {
    std::size_t size;
    std::vector<std::size_t> packets;  // payload lengths before the closing empty packet
};

void PrintTo(const TransferCase& c, std::ostream* os) {
    *os << c.size << " bytes";
}

class LocalFileTransfer : public FakeServerSession,
                          public ::testing::WithParamInterface<TransferCase> {};

TEST_P(LocalFileTransfer, SendsTheFileInPacketsThenAnEmptyOne) {
    const TransferCase c = GetParam();
    const Bytes contents = Pattern(c.size, 9);
    const TempFile file("sent_" + std::to_string(c.size) + ".csv", contents);
    const std::string name = file.Path();
    Serve([c, contents, name](FakeConnection& connection) {
        LogIn(connection);
        ExpectQuery(connection, "LOAD DATA LOCAL INFILE 'x' INTO TABLE t");
        connection.SendPacket(1, LocalFileRequest(name));
        std::uint8_t sequence = 2;
        std::size_t offset = 0;
        for (const std::size_t length : c.packets) {
            const Bytes packet = Expect(connection, sequence++);
            EXPECT_EQ(packet.size(), length);
            const std::size_t end = std::min(offset + length, contents.size());
            EXPECT_TRUE(packet == Bytes(contents.begin() + offset, contents.begin() + end))
                << "packet " << int(sequence - 1);
            offset = end;
        }
        EXPECT_EQ(Hex(Expect(connection, sequence++)), "") << "the closing empty packet";
        connection.SendPacket(sequence, {0, 5, 0, 2, 0, 0, 0});
        ExpectQuery(connection, "SELECT 2");
        Answer(connection, {OkPacket()});
        ExpectQuit(connection);
    });
    api.mysql_options(s, MYSQL_OPT_LOCAL_INFILE, 1);
    ASSERT_EQ(Connect(), s) << Error();
    EXPECT_EQ(Query("LOAD DATA LOCAL INFILE 'x' INTO TABLE t"), 0) << Error();
    EXPECT_EQ(api.mysql_affected_rows(s), 5);
    EXPECT_EQ(Query("SELECT 2"), 0) << Error();
}

INSTANTIATE_TEST_SUITE_P(Sizes, LocalFileTransfer,
                         ::testing::Values(TransferCase{0, {}}, TransferCase{1, {1}},
                                           TransferCase{8192, {8192}},
                                           TransferCase{8193, {8192, 1}},
                                           TransferCase{20000, {8192, 8192, 3616}}),
                         [](const auto& info) { return std::to_string(info.param.size); });

TEST_F(FakeServerSession, MissingLocalFileStillEndsTheTransferAndKeepsTheConnection) {
    const std::string name = "/nonexistent-dir/session_fake_server/missing.csv";
    Serve([name](FakeConnection& connection) {
        LogIn(connection);
        ExpectQuery(connection, "LOAD DATA LOCAL INFILE 'x' INTO TABLE t");
        connection.SendPacket(1, LocalFileRequest(name));
        EXPECT_EQ(Hex(Expect(connection, 2)), "");
        connection.SendPacket(3, OkPacket());
        ExpectQuery(connection, "SELECT 2");
        Answer(connection, {OkPacket()});
        ExpectQuit(connection);
    });
    api.mysql_options(s, MYSQL_OPT_LOCAL_INFILE, 1);
    ASSERT_EQ(Connect(), s) << Error();
    // How the failure surfaces is the facade's choice; that it names the file is not.
    std::string failure;
    try {
        if (Query("LOAD DATA LOCAL INFILE 'x' INTO TABLE t") != 0) {
            failure = Error();
        }
    } catch (const platform::Exception& e) {
        failure = e.Message();
    }
    EXPECT_NE(failure.find(name), std::string::npos) << "failure: " << failure;
    EXPECT_EQ(Query("SELECT 2"), 0) << Error();
}

// --- compression ------------------------------------------------------------------------------

TEST_F(FakeServerSession, CompressionNotOfferedConnectsUncompressed) {
    Serve([](FakeConnection& connection) {
        connection.SendPacket(0, Greeting(Fields(AllCapabilities & ~CLIENT_COMPRESS)));
        const Bytes response = Expect(connection, 1);
        ASSERT_GE(response.size(), 4u);
        EXPECT_EQ(response[0] & CLIENT_COMPRESS, 0u);
        connection.SendPacket(2, OkPacket());
        ExpectQuery(connection, "SELECT 1");
        Answer(connection, {OkPacket()});
        ExpectQuit(connection);
    });
    ASSERT_EQ(Connect("", CLIENT_COMPRESS), s) << Error();
    EXPECT_FALSE(s->net.GetCompress());
    EXPECT_EQ(Query("SELECT 1"), 0) << Error();
}

}  // namespace
