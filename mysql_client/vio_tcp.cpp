#include "mysql_client/vio_tcp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "platform/format.h"
#include "platform/system_error_text.h"

namespace mysql_client {

namespace {

// Keep-alive timing: first probe after 15 s of idleness, then one probe a second.
constexpr int KeepAliveIdleSeconds = 15;
constexpr int KeepAliveIntervalSeconds = 1;

int SecondsToPollMs(int seconds) {
    return seconds < 0 ? -1 : static_cast<int>(std::min<long long>(seconds * 1000LL, INT_MAX));
}

std::string CodeLine(int code) {
    return platform::Format("Socket Error Code: %d($%X)", code, static_cast<unsigned>(code));
}

// Waits for one event on the socket, resuming after signals; returns poll's result.
int PollSocket(int socket, short events, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd entry{socket, events, 0};
    for (;;) {
        const int result = poll(&entry, 1, timeoutMs);
        if (result >= 0 || errno != EINTR) {
            return result;
        }
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
}

// The pending error of a socket whose connect has finished.
int PendingSocketError(int socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return errno;
    }
    return error;
}

}  // namespace

TCRVioTcp::TCRVioTcp(std::string hostname, int port)
    : FHostname(std::move(hostname)), FPort(port) {}

TCRVioTcp::~TCRVioTcp() {
    Close();
}

void TCRVioTcp::SetHost(std::string value) {
    if (IsActive()) {
        FLastErrorCode = 0;
        throw SocketException("Cannot change host for the active connection");
    }
    FHostname = std::move(value);
}

void TCRVioTcp::SetPort(int value) {
    if (IsActive()) {
        FLastErrorCode = 0;
        throw SocketException("Cannot change port for the active connection");
    }
    FPort = value;
}

void TCRVioTcp::SetTimeout(int seconds) {
    SetReceiveTimeout(seconds);
    FConnectionTimeout = seconds;
}

void TCRVioTcp::SetReceiveTimeout(int seconds) {
    if (seconds == FReceiveTimeout) {
        return;
    }
    FReceiveTimeout = seconds;
    if (IsActive()) {
        ApplySocketTimeout(SO_RCVTIMEO, seconds);
    }
}

void TCRVioTcp::SetSendTimeout(int seconds) {
    if (seconds == FSendTimeout) {
        return;
    }
    FSendTimeout = seconds;
    if (IsActive() && seconds >= 1) {
        ApplySocketTimeout(SO_SNDTIMEO, seconds);
    }
}

void TCRVioTcp::ApplySocketTimeout(int option, int seconds) {
    // Zero, and a negative value the system would refuse, mean no timeout.
    const timeval limit{seconds > 0 ? static_cast<time_t>(seconds) : 0, 0};
    if (setsockopt(FSd, SOL_SOCKET, option, &limit, sizeof limit) != 0) {
        throw platform::EOSError(errno);
    }
}

void TCRVioTcp::RecordSocketError(const std::string& what, int code) {
    SetError(what + ":\r\n" + platform::SystemErrorText(code) + ".\r\n" + CodeLine(code), code);
}

void TCRVioTcp::Connect() {
    platform::Assert(!IsActive(), "TCRVioTcp.Connect: already connected");
    TCRVio::Connect();
    if (FHostname.empty()) {
        FHostname = LocalHostName;
    }

    FSd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FSd == -1) {
        RecordSocketError("Cannot create TCP/IP socket", errno);
        throw SocketException(FLastError);
    }

    try {
        ClearError();
        InternalConnect();
        if (!FLastError.empty()) {
            throw SocketException(FLastError);
        }

        const int on = 1;
        setsockopt(FSd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ApplyKeepAlive();

        // Timeouts set before Connect reach the new socket now: the setters act only on change.
        const int receiveTimeout = FReceiveTimeout;
        FReceiveTimeout = -1;
        try {
            SetReceiveTimeout(receiveTimeout);
        } catch (...) {
            FReceiveTimeout = receiveTimeout;
            throw;
        }
        const int sendTimeout = FSendTimeout;
        FSendTimeout = -1;
        try {
            SetSendTimeout(sendTimeout);
        } catch (...) {
            FSendTimeout = sendTimeout;
            throw;
        }
    } catch (...) {
        Close();
        throw;
    }
}

void TCRVioTcp::ApplyKeepAlive() noexcept {
    const int on = 1;
    setsockopt(FSd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(FSd, IPPROTO_TCP, TCP_KEEPIDLE, &KeepAliveIdleSeconds, sizeof KeepAliveIdleSeconds);
    setsockopt(FSd, IPPROTO_TCP, TCP_KEEPINTVL, &KeepAliveIntervalSeconds,
               sizeof KeepAliveIntervalSeconds);
}

int TCRVioTcp::LookupHost(const std::string& name, in_addr& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        return result == EAI_SYSTEM ? errno : result;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return 0;
}

void TCRVioTcp::InternalConnect() {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(static_cast<std::uint16_t>(FPort));
    if (inet_pton(AF_INET, FHostname.c_str(), &destination.sin_addr) != 1) {
        const int code = LookupHost(FHostname, destination.sin_addr);
        if (code != 0) {
            SetError(platform::Format("Unknown host '%s'\r\n", FHostname.c_str()) + CodeLine(code),
                     code);
            return;
        }
    }

    if (FConnectionTimeout > 0) {
        ConnectWithinLimit(destination);
        return;
    }
    int error = 0;
    if (connect(FSd, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) != 0) {
        error = errno;
        // An interrupted connect goes on in the background: wait for its outcome.
        if (error == EINTR && PollSocket(FSd, POLLOUT, -1) == 1) {
            error = PendingSocketError(FSd);
        }
    }
    if (error != 0) {
        RecordSocketError(
            platform::Format("Cannot connect to server on host '%s'", FHostname.c_str()), error);
    }
}

void TCRVioTcp::ConnectWithinLimit(const sockaddr_in& destination) {
    const int flags = fcntl(FSd, F_GETFL);
    fcntl(FSd, F_SETFL, flags | O_NONBLOCK);
    int error = 0;
    if (connect(FSd, reinterpret_cast<const sockaddr*>(&destination), sizeof destination) != 0) {
        error = errno;
        if (error == EINPROGRESS || error == EINTR) {
            const int ready = PollSocket(FSd, POLLOUT, SecondsToPollMs(FConnectionTimeout));
            if (ready == 0) {
                SetError(
                    platform::Format("Cannot connect to server on host '%s': Connection timed out",
                                     FHostname.c_str()),
                    FLastErrorCode);
                return;
            }
            error = ready < 0 ? errno : PendingSocketError(FSd);
        }
    }
    fcntl(FSd, F_SETFL, flags);
    if (error != 0) {
        RecordSocketError(
            platform::Format("Cannot connect to server on host '%s'", FHostname.c_str()), error);
    }
}

void TCRVioTcp::Close() {
    if (!IsActive()) {
        return;
    }
    shutdown(FSd, SHUT_RDWR);
    close(FSd);
    FSd = -1;
}

std::size_t TCRVioTcp::ReadNoWait(std::uint8_t* buffer, std::size_t count) {
    return TransferOnce("Error on data reading from the connection",
                        [&] { return recv(FSd, buffer, count, 0); });
}

std::size_t TCRVioTcp::WriteNoWait(const std::uint8_t* buffer, std::size_t count) {
    // A peer that has gone must give an error here, not a signal that ends the process.
    return TransferOnce("Error on data writing to the connection",
                        [&] { return send(FSd, buffer, count, MSG_NOSIGNAL); });
}

template <typename SocketCall>
std::size_t TCRVioTcp::TransferOnce(const char* failure, SocketCall call) {
    ClearError();
    ssize_t moved;
    do {
        moved = call();
    } while (moved < 0 && errno == EINTR);
    if (moved < 0) {
        RecordSocketError(failure, errno);
        return 0;
    }
    return static_cast<std::size_t>(moved);
}

std::size_t TCRVioTcp::Write(const std::uint8_t* buffer, std::size_t count) {
    if (!IsActive()) {
        SetError("Error on data writing to the connection: Invalid socket", 0);
        return 0;
    }
    return TCRVio::Write(buffer, count);
}

bool TCRVioTcp::WaitForData(int timeoutSeconds) {
    const int ready = PollSocket(FSd, POLLIN, SecondsToPollMs(timeoutSeconds));
    if (ready < 0) {
        RecordSocketError("Error on data waiting from the connection", errno);
        throw SocketException(FLastError);
    }
    return ready == 1;
}

}  // namespace mysql_client
