#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

// The server side of one scripted connection, in plain (uncompressed) framing.
class FakeConnection {
public:
    explicit FakeConnection(int socket) : FSocket(socket) {}

    // Returns how many of the bytes the connection took: fewer once the client has gone.
    std::size_t SendRaw(const Bytes& bytes);
    void SendPacket(std::uint8_t sequence, const Bytes& payload);
    // The payload of the next packet; LastSequence() tells its sequence number. Empty with
    // Closed() true when the client closed the connection.
    Bytes ReceivePacket();
    std::uint8_t LastSequence() const { return FLastSequence; }
    bool Closed() const { return FClosed; }
    // Discards what the client sends until it closes the connection; false when it has not
    // closed within the limit.
    bool AwaitClose(std::chrono::milliseconds limit);

private:
    bool ReadExactly(std::uint8_t* buffer, std::size_t count);

    int FSocket;
    std::uint8_t FLastSequence = 0;
    bool FClosed = false;
};

// A server for what a real one will not do: listens on 127.0.0.1 at a free port, accepts one
// connection and plays the script on it in a thread of its own, then closes the connection.
// Given several scripts, it accepts as many connections one after another, a script each.
class FakeServer {
public:
    using Script = std::function<void(FakeConnection&)>;

    explicit FakeServer(Script script);
    explicit FakeServer(std::vector<Script> scripts);
    ~FakeServer();

    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int Port() const { return FPort; }

private:
    int FListener = -1;
    int FPort = 0;
    std::thread FThread;
};

// A protocol 10 greeting; capabilities are the lower 16 bits the client reads.
struct GreetingFields {
    std::uint8_t protocolVersion = 10;
    const char* serverVersion = "10.11.0-fake";
    std::uint32_t threadId = 42;
    std::uint8_t scramble[20] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x08, 0x19, 0x2A,
                                 0x3B, 0x4C, 0x5D, 0x6E, 0x7F, 0x10, 0x21, 0x32, 0x43, 0x54};
    std::uint16_t capabilities = 0xF7FF;
    std::uint8_t charset = 33;
    std::uint16_t status = 2;
};

Bytes Greeting(const GreetingFields& fields = {});

// An OK packet with no rows affected.
Bytes OkPacket();

}  // namespace test_support
