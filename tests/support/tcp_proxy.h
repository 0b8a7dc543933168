#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace test_support {

// A TCP proxy on 127.0.0.1 at a free port that forwards every connection to a target, and can
// hold everything back while keeping the connections open: a server that stops answering
// without closing, as behind a broken link or a stuck firewall.
class TcpProxy {
public:
    TcpProxy(std::string targetHost, int targetPort);
    ~TcpProxy();

    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    int Port() const { return FPort; }
    // While off, nothing is read from either side; what was sent waits in the sockets.
    void SetForwarding(bool on) { FForwarding = on; }

private:
    void Run();

    std::string FTargetHost;
    int FTargetPort;
    int FListener = -1;
    int FPort = 0;
    std::atomic<bool> FForwarding{true};
    std::atomic<bool> FStopping{false};
    std::thread FThread;
};

}  // namespace test_support
