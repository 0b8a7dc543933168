#include <gtest/gtest.h>

#include <memory>

#include "mysql_client/mysql_errors.h"
#include "mysql_client/mysql_net.h"
#include "mysql_client/vio_tcp.h"
#include "tests/support/server_test.h"

namespace {

using mysql_client::EMySqlException;
using mysql_client::TCRVioTcp;
using mysql_client::TMySqlNet;

class ServerPackets : public test_support::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        auto vio = std::make_unique<TCRVioTcp>(server.host, server.port);
        vio->SetTimeout(10);
        vio->Connect();
        net.SetVio(std::move(vio));
        net.NewCommand();
    }

    TMySqlNet net;
};

TEST_F(ServerPackets, ReadsTheGreeting) {
    net.Receive();
    EXPECT_EQ(net.ReadByte(), 10);  // protocol version
    const std::string version = net.ReadString();
    EXPECT_FALSE(version.empty());
    EXPECT_TRUE(version[0] >= '1' && version[0] <= '9') << version;
    EXPECT_GT(net.ReadInt32(), 0);            // connection id
    EXPECT_EQ(net.ReadString(8).size(), 8u);  // first part of the scramble
    EXPECT_EQ(net.ReadByte(), 0);
}

TEST_F(ServerPackets, ServerErrorPacketRaisesItsCodeThenTheConnectionIsLost) {
    net.Receive();
    // A 4.1 handshake response for an account that does not exist.
    net.Clear();
    constexpr std::uint32_t CLIENT_PROTOCOL_41 = 0x200;
    constexpr std::uint32_t CLIENT_SECURE_CONNECTION = 0x8000;
    net.WriteInt32(CLIENT_PROTOCOL_41 | CLIENT_SECURE_CONNECTION);
    net.WriteInt32(TMySqlNet::MaxAllowedPacket);
    net.WriteByte(33);  // utf8
    net.Fill(0, 23);
    net.WriteString("nobody");
    net.WriteByte(0);  // no scramble
    net.Send();
    try {
        net.Receive();
        ADD_FAILURE() << "the server let an unknown account in";
    } catch (const EMySqlException& e) {
        // Access denied; without a password the server may use its more specific code.
        EXPECT_TRUE(e.ErrorCode() == 1045 || e.ErrorCode() == 1698) << e.ErrorCode();
        EXPECT_EQ(e.Message().rfind("\r\n#28000Access denied for user 'nobody'@", 0), 0u)
            << e.Message();
    }
    try {
        net.Receive();
        ADD_FAILURE() << "the server kept a failed login open";
    } catch (const EMySqlException& e) {
        EXPECT_EQ(e.ErrorCode(), 2013);
    }
}

}  // namespace
