#include "mysql_client/vio_tcp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/format.h"
#include "platform/system_error_text.h"
#include "tests/mysql_client/packet_bytes.h"

namespace {

using mysql_client::SocketException;
using mysql_client::TCRVioTcp;
using test_support::Bytes;
using test_support::Pattern;

// Owns one file descriptor.
class Fd {
public:
    explicit Fd(int fd = -1) : FFd(fd) {}
    Fd(Fd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(FFd, other.FFd);
        return *this;
    }
    ~Fd() {
        if (FFd != -1) {
            close(FFd);
        }
    }
    int get() const { return FFd; }

private:
    int FFd;
};

// A TCP listener on 127.0.0.1 at a port the system picks.
class Listener {
public:
    explicit Listener(int backlog = 8) : FSocket(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(bind(FSocket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(FSocket.get(), backlog), 0);
        socklen_t length = sizeof address;
        getsockname(FSocket.get(), reinterpret_cast<sockaddr*>(&address), &length);
        FPort = ntohs(address.sin_port);
    }

    int Port() const { return FPort; }
    Fd Accept() { return Fd(accept(FSocket.get(), nullptr, nullptr)); }

private:
    Fd FSocket;
    int FPort;
};

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
    return Listener().Port();
}

std::string SocketErrorLines(int code) {
    return platform::Format("%s.\r\nSocket Error Code: %d($%X)",
                            platform::SystemErrorText(code).c_str(), code, unsigned(code));
}

int IntOption(int socket, int level, int option) {
    int value = -1;
    socklen_t length = sizeof value;
    getsockopt(socket, level, option, &value, &length);
    return value;
}

long TimeoutOption(int socket, int option) {
    timeval value{};
    socklen_t length = sizeof value;
    getsockopt(socket, SOL_SOCKET, option, &value, &length);
    return value.tv_sec;
}

TEST(TcpConnect, ReachesTheListenerByAddressNameOrNoHost) {
    Listener listener;
    for (const char* host : {"127.0.0.1", "localhost", ""}) {
        TCRVioTcp vio(host, listener.Port());
        vio.Connect();
        EXPECT_TRUE(vio.IsActive()) << host;
        EXPECT_NE(listener.Accept().get(), -1) << host;
        vio.Close();
        EXPECT_FALSE(vio.IsActive());
    }
}

TEST(TcpConnect, RefusedConnectionReportsTheSystemError) {
    const int port = ClosedPort();
    for (const int timeout : {0, 5}) {
        TCRVioTcp vio("127.0.0.1", port);
        vio.SetConnectionTimeout(timeout);
        try {
            vio.Connect();
            ADD_FAILURE() << "connected to a closed port";
        } catch (const SocketException& e) {
            EXPECT_EQ(e.Message(), "Cannot connect to server on host '127.0.0.1':\r\n" +
                                       SocketErrorLines(ECONNREFUSED));
        }
        EXPECT_EQ(vio.LastErrorCode(), ECONNREFUSED);
        EXPECT_FALSE(vio.IsActive());
    }
}

// Name look-ups answered here, so no test depends on a resolver outside the machine.
class UnresolvableHosts : public TCRVioTcp {
public:
    using TCRVioTcp::TCRVioTcp;
    int lookups = 0;

protected:
    int LookupHost(const std::string&, in_addr&) override {
        ++lookups;
        return EAI_NONAME;
    }
};

TEST(TcpConnect, UnknownHostFailsWithoutConnecting) {
    UnresolvableHosts vio("db.example", 3306);
    try {
        vio.Connect();
        ADD_FAILURE() << "connected to an unknown host";
    } catch (const SocketException& e) {
        EXPECT_EQ(e.Message(),
                  platform::Format("Unknown host 'db.example'\r\nSocket Error Code: %d($%X)",
                                   EAI_NONAME, unsigned(EAI_NONAME)));
    }
    EXPECT_EQ(vio.lookups, 1);
    EXPECT_EQ(vio.LastErrorCode(), EAI_NONAME);
    EXPECT_FALSE(vio.IsActive());
}

TEST(TcpConnect, DottedAddressNeedsNoLookUp) {
    Listener listener;
    UnresolvableHosts vio("127.0.0.1", listener.Port());
    vio.Connect();
    EXPECT_EQ(vio.lookups, 0);
}

TEST(TcpConnect, TimeLimitEndsAConnectNobodyAnswers) {
    // A listener whose accept queue is full drops further connection requests unanswered.
    Listener listener(0);
    std::vector<Fd> queued;
    for (int i = 0; i < 16; ++i) {
        Fd client(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(std::uint16_t(listener.Port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd entry{client.get(), POLLOUT, 0};
        const bool answered = poll(&entry, 1, 200) == 1;
        queued.push_back(std::move(client));
        if (!answered) {
            break;
        }
    }

    TCRVioTcp vio("127.0.0.1", listener.Port());
    vio.SetConnectionTimeout(1);
    try {
        vio.Connect();
        ADD_FAILURE() << "connected through a full accept queue";
    } catch (const SocketException& e) {
        EXPECT_EQ(e.Message(),
                  "Cannot connect to server on host '127.0.0.1': Connection timed out");
    }
    EXPECT_EQ(vio.LastErrorCode(), 0);
    EXPECT_FALSE(vio.IsActive());
}

TEST(TcpOptions, StoredTimeoutsReachTheSocketAtConnect) {
    Listener listener;
    TCRVioTcp vio("127.0.0.1", listener.Port());
    vio.SetTimeout(15);
    vio.Connect();
    const int fd = vio.GetSocket();
    EXPECT_EQ(TimeoutOption(fd, SO_RCVTIMEO), 15);
    EXPECT_EQ(TimeoutOption(fd, SO_SNDTIMEO), 0);
    EXPECT_EQ(IntOption(fd, IPPROTO_TCP, TCP_NODELAY), 1);
    EXPECT_EQ(IntOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(IntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), 15);
    EXPECT_EQ(IntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), 1);

    vio.SetReceiveTimeout(7);
    vio.SetSendTimeout(3);
    EXPECT_EQ(TimeoutOption(fd, SO_RCVTIMEO), 7);
    EXPECT_EQ(TimeoutOption(fd, SO_SNDTIMEO), 3);
    vio.SetTimeout(0);
    EXPECT_EQ(TimeoutOption(fd, SO_RCVTIMEO), 0);
    EXPECT_EQ(vio.GetTimeout(), 0);
}

TEST(TcpOptions, HostAndPortAreFixedWhileConnected) {
    Listener listener;
    TCRVioTcp vio;
    vio.SetHost("127.0.0.1");
    vio.SetPort(listener.Port());
    vio.Connect();
    try {
        vio.SetHost("localhost");
        ADD_FAILURE() << "host changed";
    } catch (const SocketException& e) {
        EXPECT_EQ(e.Message(), "Cannot change host for the active connection");
    }
    try {
        vio.SetPort(1);
        ADD_FAILURE() << "port changed";
    } catch (const SocketException& e) {
        EXPECT_EQ(e.Message(), "Cannot change port for the active connection");
    }
    EXPECT_EQ(vio.GetHost(), "127.0.0.1");
    EXPECT_EQ(vio.GetPort(), listener.Port());
}

class TcpTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        vio.SetPort(listener.Port());
        vio.SetHost("127.0.0.1");
        vio.Connect();
        peer = listener.Accept();
        ASSERT_NE(peer.get(), -1);
    }

    Listener listener;
    TCRVioTcp vio;
    Fd peer;
};

TEST_F(TcpTransfer, MovesBytesBothWays) {
    const Bytes out = Pattern(100000);
    ASSERT_EQ(vio.Write(out.data(), out.size()), out.size());
    Bytes in(out.size());
    for (std::size_t got = 0; got < in.size();) {
        const ssize_t n = recv(peer.get(), in.data() + got, in.size() - got, 0);
        ASSERT_GT(n, 0);
        got += std::size_t(n);
    }
    EXPECT_EQ(in, out);

    ASSERT_EQ(send(peer.get(), out.data(), out.size(), 0), ssize_t(out.size()));
    Bytes back(out.size());
    EXPECT_EQ(vio.Read(back.data(), 3), 3u);
    EXPECT_EQ(vio.Read(back.data() + 3, back.size() - 3), back.size() - 3);
    EXPECT_EQ(back, out);
}

TEST_F(TcpTransfer, ReceiveTimeoutIsAReadError) {
    vio.SetTimeout(1);
    std::uint8_t header[4];
    EXPECT_EQ(vio.Read(header, sizeof header), 0u);
    EXPECT_EQ(vio.LastError(),
              "Error on data reading from the connection:\r\n" + SocketErrorLines(EAGAIN));
    EXPECT_EQ(vio.LastErrorCode(), EAGAIN);
}

TEST_F(TcpTransfer, PeerThatVanishedGivesAWriteErrorNotASignal) {
    const linger abort{1, 0};  // close with a reset
    setsockopt(peer.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    peer = Fd();
    const Bytes chunk = Pattern(65536);
    std::size_t written = chunk.size();
    for (int i = 0; i < 100 && written == chunk.size(); ++i) {
        written = vio.Write(chunk.data(), chunk.size());
    }
    EXPECT_LT(written, chunk.size());
    EXPECT_EQ(vio.LastError().rfind("Error on data writing to the connection:\r\n", 0), 0u)
        << vio.LastError();
    EXPECT_TRUE(vio.LastErrorCode() == EPIPE || vio.LastErrorCode() == ECONNRESET);
}

TEST_F(TcpTransfer, WaitForDataTellsWhetherBytesArrived) {
    EXPECT_FALSE(vio.WaitForData(0));
    ASSERT_EQ(send(peer.get(), "x", 1, 0), 1);
    EXPECT_TRUE(vio.WaitForData(5));
}

TEST(TcpWrite, WithoutSocketIsRecordedNotRaised) {
    TCRVioTcp vio("127.0.0.1", 1);
    const std::uint8_t byte = 0;
    EXPECT_EQ(vio.Write(&byte, 1), 0u);
    EXPECT_EQ(vio.LastError(), "Error on data writing to the connection: Invalid socket");
    EXPECT_EQ(vio.LastErrorCode(), 0);
}

}  // namespace
