#pragma once

#include <netinet/in.h>

#include <string>

#include "mysql_client/vio.h"
#include "platform/exceptions.h"

namespace mysql_client {

// Raised by the TCP transport from Connect, WaitForData, SetHost and SetPort only.
class SocketException : public platform::Exception {
public:
    using Exception::Exception;
};

// A blocking IPv4 TCP connection with a connect time limit, socket send and receive timeouts,
// no Nagle delay and TCP keep-alive.
class TCRVioTcp : public TCRVio {
public:
    static constexpr int DefaultTimeOut = 30;
    // Stands for the local machine when no host is given.
    static constexpr const char* LocalHostName = "localhost";

    TCRVioTcp() = default;
    TCRVioTcp(std::string hostname, int port);
    ~TCRVioTcp() override;

    const std::string& GetHost() const noexcept { return FHostname; }
    int GetPort() const noexcept { return FPort; }
    void SetHost(std::string value);
    void SetPort(int value);

    // The receive timeout; setting it also sets the connect time limit.
    int GetTimeout() const override { return FReceiveTimeout; }
    void SetTimeout(int seconds) override;

    void SetConnectionTimeout(int seconds) { FConnectionTimeout = seconds; }
    void SetReceiveTimeout(int seconds);
    void SetSendTimeout(int seconds);

    void Connect() override;
    void Close() override;

    std::size_t ReadNoWait(std::uint8_t* buffer, std::size_t count) override;
    std::size_t WriteNoWait(const std::uint8_t* buffer, std::size_t count) override;
    std::size_t Write(const std::uint8_t* buffer, std::size_t count) override;
    bool WaitForData(int timeoutSeconds) override;

    bool IsActive() const noexcept { return FSd != -1; }
    int GetSocket() const noexcept { return FSd; }

protected:
    // The first IPv4 address of a host name; returns 0, or the resolver's error code when the
    // name does not resolve.
    virtual int LookupHost(const std::string& name, in_addr& address);

private:
    void InternalConnect();
    void ConnectWithinLimit(const sockaddr_in& destination);
    void RecordSocketError(const std::string& what, int code);
    // One receive or send, resumed after signals; a failure is recorded and moves nothing.
    template <typename SocketCall>
    std::size_t TransferOnce(const char* failure, SocketCall call);
    void ApplySocketTimeout(int option, int seconds);
    void ApplyKeepAlive() noexcept;

    std::string FHostname;
    int FPort = 0;
    int FConnectionTimeout = 0;
    int FSendTimeout = 0;
    int FReceiveTimeout = DefaultTimeOut;
    int FSd = -1;
};

}  // namespace mysql_client
