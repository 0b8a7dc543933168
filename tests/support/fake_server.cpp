#include "tests/support/fake_server.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace test_support {

namespace {

// How long the server waits for its client before giving up.
constexpr int AcceptTimeoutMs = 10000;

}  // namespace

std::size_t FakeConnection::SendRaw(const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(FSocket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += std::size_t(n);
    }
    return sent;
}

void FakeConnection::SendPacket(std::uint8_t sequence, const Bytes& payload) {
    const std::size_t n = payload.size();
    Bytes packet = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), sequence};
    packet.insert(packet.end(), payload.begin(), payload.end());
    SendRaw(packet);
}

bool FakeConnection::ReadExactly(std::uint8_t* buffer, std::size_t count) {
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = recv(FSocket, buffer + got, count - got, 0);
        if (n <= 0) {
            FClosed = true;
            return false;
        }
        got += std::size_t(n);
    }
    return true;
}

Bytes FakeConnection::ReceivePacket() {
    std::uint8_t header[4];
    if (!ReadExactly(header, sizeof header)) {
        return {};
    }
    FLastSequence = header[3];
    Bytes payload(std::size_t(header[0]) | std::size_t(header[1]) << 8 |
                  std::size_t(header[2]) << 16);
    if (!ReadExactly(payload.data(), payload.size())) {
        return {};
    }
    return payload;
}

bool FakeConnection::AwaitClose(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::uint8_t scratch[4096];
    while (!FClosed) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{FSocket, POLLIN, 0};
        if (left.count() <= 0 || poll(&entry, 1, int(left.count())) != 1) {
            return false;
        }
        if (recv(FSocket, scratch, sizeof scratch, 0) <= 0) {
            FClosed = true;
        }
    }
    return true;
}

FakeServer::FakeServer(Script script) : FakeServer(std::vector<Script>{std::move(script)}) {}

FakeServer::FakeServer(std::vector<Script> scripts) {
    FListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(FListener, 1);
    socklen_t length = sizeof address;
    getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length);
    FPort = ntohs(address.sin_port);

    FThread = std::thread([this, scripts = std::move(scripts)] {
        for (const Script& script : scripts) {
            pollfd entry{FListener, POLLIN, 0};
            if (poll(&entry, 1, AcceptTimeoutMs) != 1) {
                return;
            }
            const int connection = accept(FListener, nullptr, nullptr);
            if (connection == -1) {
                return;
            }
            FakeConnection peer(connection);
            script(peer);
            shutdown(connection, SHUT_RDWR);
            close(connection);
        }
    });
}

FakeServer::~FakeServer() {
    FThread.join();
    close(FListener);
}

Bytes Greeting(const GreetingFields& fields) {
    Bytes bytes = {fields.protocolVersion};
    bytes.insert(bytes.end(), fields.serverVersion,
                 fields.serverVersion + std::strlen(fields.serverVersion) + 1);
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(std::uint8_t(fields.threadId >> (8 * i)));
    }
    bytes.insert(bytes.end(), fields.scramble, fields.scramble + 8);
    bytes.push_back(0);  // filler
    bytes.push_back(std::uint8_t(fields.capabilities));
    bytes.push_back(std::uint8_t(fields.capabilities >> 8));
    bytes.push_back(fields.charset);
    bytes.push_back(std::uint8_t(fields.status));
    bytes.push_back(std::uint8_t(fields.status >> 8));
    bytes.insert(bytes.end(), {0, 0, 21});  // upper capabilities, scramble length
    bytes.insert(bytes.end(), 10, 0);       // reserved
    bytes.insert(bytes.end(), fields.scramble + 8, fields.scramble + 20);
    bytes.push_back(0);
    return bytes;
}

Bytes OkPacket() {
    return {0, 0, 0, 2, 0, 0, 0};
}

}  // namespace test_support
