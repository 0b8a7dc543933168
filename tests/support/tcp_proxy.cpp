#include "tests/support/tcp_proxy.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace test_support {

namespace {

// How often the proxy looks at its switches.
constexpr int PollMs = 20;

int ConnectTo(const std::string& host, int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    inet_pton(AF_INET, host.c_str(), &address.sin_addr);
    if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(socket);
        return -1;
    }
    return socket;
}

// Moves what one side has to the other; false when either side is done.
bool Pump(int from, int to) {
    char buffer[65536];
    const ssize_t n = recv(from, buffer, sizeof buffer, 0);
    if (n <= 0) {
        return false;
    }
    for (ssize_t sent = 0; sent < n;) {
        const ssize_t m = send(to, buffer + sent, std::size_t(n - sent), MSG_NOSIGNAL);
        if (m <= 0) {
            return false;
        }
        sent += m;
    }
    return true;
}

}  // namespace

TcpProxy::TcpProxy(std::string targetHost, int targetPort)
    : FTargetHost(std::move(targetHost)), FTargetPort(targetPort) {
    FListener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(FListener, 8) != 0 ||
        getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(FListener);
        throw std::runtime_error("TcpProxy: cannot listen on 127.0.0.1");
    }
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Run(); });
}

TcpProxy::~TcpProxy() {
    FStopping = true;
    FThread.join();
    close(FListener);
}

void TcpProxy::Run() {
    // Pairs of client and server sockets, in that order.
    std::vector<int> sockets;
    while (!FStopping) {
        std::vector<pollfd> entries{{FListener, POLLIN, 0}};
        if (FForwarding) {
            for (const int socket : sockets) {
                entries.push_back({socket, POLLIN, 0});
            }
        }
        if (poll(entries.data(), entries.size(), PollMs) <= 0) {
            continue;
        }
        if (entries[0].revents & POLLIN) {
            const int client = accept(FListener, nullptr, nullptr);
            const int server = client < 0 ? -1 : ConnectTo(FTargetHost, FTargetPort);
            if (server < 0) {
                close(client);
            } else {
                sockets.insert(sockets.end(), {client, server});
            }
        }
        // The pairs whose other side is gone are closed both ways.
        std::vector<std::size_t> ended;
        for (std::size_t i = 1; i < entries.size(); ++i) {
            if (!(entries[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                continue;
            }
            const std::size_t at = i - 1;
            const int peer = sockets[at ^ 1];
            if (!Pump(sockets[at], peer)) {
                ended.push_back(at & ~std::size_t(1));
            }
        }
        for (const std::size_t pair : ended) {
            if (sockets[pair] >= 0) {
                close(sockets[pair]);
                close(sockets[pair + 1]);
                sockets[pair] = sockets[pair + 1] = -1;
            }
        }
        std::erase(sockets, -1);
    }
    for (const int socket : sockets) {
        close(socket);
    }
}

}  // namespace test_support
