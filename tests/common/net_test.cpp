// Sockets over loopback: listen, connect, exchange, close, and the Winsock error numbers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/net.h"

namespace {
class Net : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, NetStartup()); }
    void TearDown() override { NetCleanup(); }

    // A listener on an ephemeral loopback port.
    NetSocket Listen(std::uint16_t* port) {
        NetSocket s = NetTcpSocket();
        EXPECT_NE(0u, s);
        EXPECT_TRUE(NetBind(s, 0x7F000001, 0));
        EXPECT_TRUE(NetListen(s, 5));
        NetAddress local;
        EXPECT_TRUE(NetLocalAddress(s, &local));
        *port = local.port;
        return s;
    }
};

TEST_F(Net, ExchangesDataAndSeesTheOrderlyClose) {
    std::uint16_t port = 0;
    NetSocket listener = Listen(&port);
    ASSERT_NE(0, port);
    EXPECT_EQ(0, NetWaitReadable(listener, 0, 50000));  // nobody connecting yet

    NetSocket client = NetTcpSocket();
    ASSERT_TRUE(NetConnect(client, 0x7F000001, port));
    ASSERT_EQ(1, NetWaitReadable(listener, 5, 0));
    NetAddress peer;
    NetSocket server = NetAccept(listener, &peer);
    ASSERT_NE(0u, server);
    EXPECT_EQ(0x7F000001u, peer.ip);
    EXPECT_EQ("127.0.0.1", NetAddressText(peer.ip));
    EXPECT_TRUE(NetSetNoDelay(server, true));

    const char msg[] = "+100 Authorization required";
    EXPECT_EQ(1, NetWaitWritable(client, 1, 0));
    ASSERT_EQ(static_cast<long>(sizeof msg), NetSend(client, msg, sizeof msg));
    ASSERT_EQ(1, NetWaitReadable(server, 5, 0));
    char buffer[64] = {};
    std::size_t got = 0;
    while (got < sizeof msg) {
        long n = NetRecv(server, buffer + got, sizeof buffer - got);
        ASSERT_GT(n, 0);
        got += static_cast<std::size_t>(n);
    }
    EXPECT_STREQ(msg, buffer);

    NetShutdown(client);
    NetClose(client);
    ASSERT_EQ(1, NetWaitReadable(server, 5, 0));
    EXPECT_EQ(0, NetRecv(server, buffer, sizeof buffer));
    NetClose(server);
    NetClose(listener);
}

TEST_F(Net, NonBlockingListenerAndWhatItAccepts) {
    std::uint16_t port = 0;
    NetSocket listener = Listen(&port);
    ASSERT_TRUE(NetSetNonBlocking(listener, true));
    EXPECT_EQ(0u, NetAccept(listener, nullptr));
    EXPECT_EQ(NET_EWOULDBLOCK, NetLastError());

    // The accepted socket is non-blocking like its listener: an empty read does not wait.
    NetSocket client = NetTcpSocket();
    ASSERT_TRUE(NetConnect(client, 0x7F000001, port));
    ASSERT_EQ(1, NetWaitReadable(listener, 5, 0));
    NetSocket server = NetAccept(listener, nullptr);
    ASSERT_NE(0u, server);
    char byte;
    EXPECT_EQ(-1, NetRecv(server, &byte, 1));
    EXPECT_EQ(NET_EWOULDBLOCK, NetLastError());
    ASSERT_TRUE(NetSetNonBlocking(server, false));
    ASSERT_EQ(1L, NetSend(client, "x", 1));
    EXPECT_EQ(1L, NetRecv(server, &byte, 1));
    NetClose(server);
    NetClose(client);
    NetClose(listener);
}

TEST_F(Net, ErrorsUseWinsockNumbers) {
    std::uint16_t port = 0;
    NetSocket listener = Listen(&port);
    NetSocket second = NetTcpSocket();
    EXPECT_FALSE(NetBind(second, 0x7F000001, port));
    EXPECT_EQ(NET_EADDRINUSE, NetLastError());
    NetClose(second);
    NetClose(listener);  // the port is free now, so a connection is refused

    NetSocket client = NetTcpSocket();
    EXPECT_FALSE(NetConnect(client, 0x7F000001, port));
    EXPECT_EQ(NET_ECONNREFUSED, NetLastError());
    NetClose(client);
}

TEST(NetAddressTextTest, ParsesDottedFormAndLocalhost) {
    std::uint32_t ip = 0;
    EXPECT_TRUE(NetParseAddress("192.168.1.20", &ip));
    EXPECT_EQ(0xC0A80114u, ip);
    EXPECT_EQ("192.168.1.20", NetAddressText(ip));
    EXPECT_TRUE(NetParseAddress("localhost", &ip));
    EXPECT_EQ(0x7F000001u, ip);
    for (const char* bad : {"", "1.2.3", "256.1.1.1", "host.example", "1.2.3.4 "})
        EXPECT_FALSE(NetParseAddress(bad, &ip)) << bad;
    EXPECT_FALSE(NetParseAddress(nullptr, &ip));
}
}  // namespace
