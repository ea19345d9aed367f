// The reader/writer, framing and block transfer of CProtocol over a real socket pair.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "host/connection.h"
#include "platform/files.h"
#include "protocol/device_sessions.h"
#include "protocol/crc32.h"
#include "protocol/frames.h"
#include "protocol/protocol.h"
#include "support.h"

namespace {
typedef std::chrono::steady_clock Clock;

// A protocol object on one end of a socket pair; the test talks raw bytes on the other end.
struct Wire {
    SocketPair pair;
    CConnection connection;
    std::unique_ptr<CServerRdWr> rdwr;
    Wire(int timeoutMs = 2000) {
        connection.SetSocket(pair.b);
        pair.b = 0;  // the connection closes it
        connection.SetTimeout(timeoutMs);
        rdwr.reset(new CServerRdWr(&connection));
    }
    void Send(const std::string& bytes) {
        ResultCode s = Ok;
        SendAll(bytes.data(), bytes.size(), s, pair.a, 5);
        ASSERT_EQ(s, Ok);
    }
    std::string Receive(std::size_t n) {
        std::string out(n, '\0');
        ResultCode s = Ok;
        std::size_t got = ReceiveAll(&out[0], n, s, pair.a, 5);
        out.resize(got);
        return out;
    }
};

struct Recorder : CProtocol {
    std::vector<std::uint32_t> sent, received;
    Recorder(CRdWr* r) : CProtocol(r, "test") {}
    void OnBlockSent(std::uint32_t, std::uint32_t number, std::uint32_t) override { sent.push_back(number); }
    void OnBlockReceived(std::uint32_t, std::uint32_t number, std::uint32_t) override {
        received.push_back(number);
    }
};

std::string Header(std::uint32_t n, std::uint32_t len, std::uint32_t crc) {
    char h[31];
    FormatBlockHeader(n, len, crc, h);
    return std::string(h, 30);
}

std::string DataBlock(std::uint32_t n, const std::string& data) {
    return Header(n, static_cast<std::uint32_t>(data.size()), Crc32(data.data(), data.size())) + data;
}
}  // namespace

TEST(ServerRdWr, ReadsAcrossPiecesAndReportsStatus) {
    Wire w;
    std::thread writer([&] {
        w.Send("abc");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        w.Send("defgh");
    });
    char buf[8];
    w.rdwr->Read(buf, 8);
    writer.join();
    EXPECT_EQ(w.rdwr->GetStatus(), Ok);
    EXPECT_EQ(std::string(buf, 8), "abcdefgh");

    auto start = Clock::now();
    w.rdwr->Read(buf, 1);  // nothing comes: Timeout after the 2 s deadline
    EXPECT_EQ(w.rdwr->GetStatus(), Timeout);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));

    w.rdwr->Write("xyz", 3);
    EXPECT_EQ(w.rdwr->GetStatus(), Ok);
    EXPECT_EQ(w.Receive(3), "xyz");
}

TEST(ServerRdWr, PeerCloseEndsReadAtOnce) {
    Wire w(30000);
    w.Send("ab");
    NetClose(w.pair.a);
    w.pair.a = 0;
    char buf[10];
    auto start = Clock::now();
    w.rdwr->Read(buf, 10);
    EXPECT_EQ(w.rdwr->GetStatus(), SocketError);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST(ServerRdWr, ZeroSocket) {
    CConnection none;
    none.SetTimeout(1000);
    CServerRdWr rdwr(&none);
    char b;
    rdwr.Read(&b, 1);
    EXPECT_EQ(rdwr.GetStatus(), ZeroSocket);
    rdwr.Write("x", 1);
    EXPECT_EQ(rdwr.GetStatus(), ZeroSocket);
    CProtocol p(&rdwr, "x");
    EXPECT_EQ(p.SendStatus(110, "Welcome!"), ZeroSocket);
}

TEST(Framing, ReceiveStatus) {
    Wire w;
    CProtocol p(w.rdwr.get(), "test");
    int code = 0;
    char text[256] = {};
    w.Send(std::string("-150 again\0", 11));
    EXPECT_EQ(p.ReceiveStatus(code, text, sizeof text), Ok);
    EXPECT_EQ(code, -150);
    EXPECT_STREQ(text, "again");
    EXPECT_EQ(p.LastClientCode(), -150);
    EXPECT_STREQ(p.LastClientComment(), "again");

    // A text longer than the buffer is cut; the stream stays in step for the next message.
    std::string longText(300, 'q');
    w.Send("+212 " + longText + std::string(1, '\0') + std::string("+001 end\0", 9));
    std::memset(text, 0, sizeof text);
    EXPECT_EQ(p.ReceiveStatus(code, text, sizeof text), Ok);
    EXPECT_EQ(code, 212);
    EXPECT_EQ(std::string(text), longText.substr(0, 255));
    EXPECT_EQ(p.ReceiveStatus(code, text, sizeof text), Ok);
    EXPECT_EQ(code, 1);
    EXPECT_STREQ(text, "end");

    w.Send("+150XOK");
    EXPECT_EQ(p.ReceiveStatus(code, text, sizeof text), ProtocolError);
    EXPECT_EQ(p.LastClientCode(), 1);  // no code was read
}

TEST(Framing, SendStatusAndNumbersOnTheWire) {
    Wire w;
    CProtocol p(w.rdwr.get(), "test");
    ASSERT_EQ(p.SendStatus(110, "Welcome!"), Ok);
    EXPECT_EQ(w.Receive(14), std::string("+110 Welcome!\0", 14));
    ASSERT_EQ(p.SendNumbers(214, 0, 4000000000u, 7, 0), Ok);
    std::string expect = std::string("+214 0,4000000000,7,0") + '\0';
    EXPECT_EQ(w.Receive(expect.size()), expect);
}

TEST(Framing, ReceiveBlock) {
    Wire w;
    CProtocol p(w.rdwr.get(), "test");
    Block b;
    w.Send(DataBlock(1, "hello"));
    ASSERT_EQ(p.ReceiveBlock(b), Ok);
    EXPECT_EQ(b.number, 1u);
    EXPECT_EQ(std::string(b.data.begin(), b.data.end()), "hello");

    w.Send(Header(0, 0, 0));
    ASSERT_EQ(p.ReceiveBlock(b), Ok);  // the final block passes its CRC check
    EXPECT_EQ(b.length, 0u);

    w.Send(Header(2, 5, 12345) + "hello");
    EXPECT_EQ(p.ReceiveBlock(b), CRCError);

    w.Send("000000001-000000005:0000000000");
    EXPECT_EQ(p.ReceiveBlock(b), ProtocolError);

    // A length past the bound is refused before anything is allocated or read.
    w.Send(Header(3, 999999999, 0));
    EXPECT_EQ(p.ReceiveBlock(b), ProtocolError);
}

namespace {
// Runs SendFile on one end and ReceiveFile on the other.
struct Transfer {
    TempDir dir;
    SocketPair pair;
    CConnection ca, cb;
    std::unique_ptr<CServerRdWr> ra, rb;
    std::unique_ptr<Recorder> pa, pb;
    Transfer() {
        ca.SetSocket(pair.a);
        cb.SetSocket(pair.b);
        pair.a = pair.b = 0;
        ca.SetTimeout(5000);
        cb.SetTimeout(5000);
        ra.reset(new CServerRdWr(&ca));
        rb.reset(new CServerRdWr(&cb));
        pa.reset(new Recorder(ra.get()));
        pb.reset(new Recorder(rb.get()));
        CreateFolder(dir / "out");
        CreateFolder(dir / "in");
    }
    void Run(const std::string& data, std::uint32_t blockSize, std::uint32_t position,
             const char* mode, std::uint32_t receivePosition, ResultCode* sendResult,
             ResultCode* receiveResult, int* deleteAfter) {
        WriteFile(JoinPath(dir / "out", "f"), data);
        std::thread receiver([&] { *receiveResult = pb->ReceiveFile(dir / "in", "f", mode, receivePosition, nullptr); });
        *sendResult = pa->SendFile(dir / "out", "f", position, *deleteAfter, blockSize);
        receiver.join();
    }
};
}  // namespace

TEST(BlockTransfer, WholeBlocksAndTheFinalBlock) {
    Transfer t;
    ResultCode s = -1, r = -1;
    int deleteAfter = 0;
    std::string data = RandomBytes(2048, 3);
    t.Run(data, 2048, 0, "wb", 0, &s, &r, &deleteAfter);
    EXPECT_EQ(s, Ok);
    EXPECT_EQ(r, Ok);
    EXPECT_EQ(t.pa->sent, (std::vector<std::uint32_t>{1, 0}));
    EXPECT_EQ(t.pb->received, (std::vector<std::uint32_t>{1, 0}));
    EXPECT_EQ(deleteAfter, 1);
    EXPECT_EQ(ReadFile(JoinPath(t.dir / "in", "f")), data);
    EXPECT_TRUE(Exists(JoinPath(t.dir / "out", "f")));
}

TEST(BlockTransfer, FromAPositionAndDeleteAfter) {
    Transfer t;
    ResultCode s = -1, r = -1;
    int deleteAfter = 1;
    std::string data = RandomBytes(10000, 4);
    t.Run(data, 4096, 5000, "wb", 5000, &s, &r, &deleteAfter);
    EXPECT_EQ(s, Ok);
    EXPECT_EQ(r, Ok);
    EXPECT_EQ(t.pa->sent, (std::vector<std::uint32_t>{1, 2, 0}));  // numbering starts at 1
    EXPECT_FALSE(Exists(JoinPath(t.dir / "out", "f")));            // deleted after the send
    std::string got = ReadFile(JoinPath(t.dir / "in", "f"));
    ASSERT_EQ(got.size(), 10000u);
    EXPECT_EQ(got.substr(0, 5000), std::string(5000, '\0'));  // "wb" at a position leaves zeros
    EXPECT_EQ(got.substr(5000), data.substr(5000));
}

TEST(BlockTransfer, AppendModeAndEmptyFile) {
    Transfer t;
    WriteFile(JoinPath(t.dir / "in", "f"), "head");
    ResultCode s = -1, r = -1;
    int deleteAfter = 0;
    t.Run("tail", 2048, 0, "a+b", 99, &s, &r, &deleteAfter);  // appends whatever the position
    EXPECT_EQ(r, Ok);
    EXPECT_EQ(ReadFile(JoinPath(t.dir / "in", "f")), "headtail");

    Transfer e;
    e.Run("", 2048, 0, "wb", 0, &s, &r, &deleteAfter);
    EXPECT_EQ(s, Ok);
    EXPECT_EQ(r, Ok);
    EXPECT_EQ(e.pa->sent, (std::vector<std::uint32_t>{0}));
    EXPECT_TRUE(Exists(JoinPath(e.dir / "in", "f")));
}

TEST(BlockTransfer, RetransmissionAndSequence) {
    Wire w;
    TempDir dir;
    Recorder p(w.rdwr.get());
    ResultCode result = -1;
    std::thread receiver([&] { result = p.ReceiveFile(dir.Path(), "f", "wb", 0, nullptr); });
    // Block 1 damaged twice, then good; block 2; the final block.
    std::string good = DataBlock(1, "one");
    w.Send(Header(1, 3, 1) + "one");
    EXPECT_EQ(w.Receive(34), std::string("-150 CRC error! Retransmit block!\0", 34));
    w.Send(Header(1, 3, 1) + "one");
    EXPECT_EQ(w.Receive(34).substr(0, 5), "-150 ");
    w.Send(good);
    EXPECT_EQ(w.Receive(8), std::string("+150 OK\0", 8));
    w.Send(DataBlock(2, "two"));
    EXPECT_EQ(w.Receive(8), std::string("+150 OK\0", 8));
    w.Send(Header(0, 0, 0));
    EXPECT_EQ(w.Receive(8), std::string("+150 OK\0", 8));
    receiver.join();
    EXPECT_EQ(result, Ok);
    EXPECT_EQ(ReadFile(JoinPath(dir.Path(), "f")), "onetwo");  // block 1 written once

    // Block 1 then block 3: ProtocolError after acknowledging block 1 only.
    receiver = std::thread([&] { result = p.ReceiveFile(dir.Path(), "g", "wb", 0, nullptr); });
    w.Send(DataBlock(1, "one"));
    EXPECT_EQ(w.Receive(8), std::string("+150 OK\0", 8));
    w.Send(DataBlock(3, "three"));
    receiver.join();
    EXPECT_EQ(result, ProtocolError);
    EXPECT_EQ(ReadFile(JoinPath(dir.Path(), "g")), "one");
}

TEST(BlockTransfer, SenderNeedsAcknowledgements) {
    Wire w;
    TempDir dir;
    WriteFile(JoinPath(dir.Path(), "f"), "abcdef");
    Recorder p(w.rdwr.get());
    ResultCode result = -1;
    int deleteAfter = 1;
    std::thread sender([&] { result = p.SendFile(dir.Path(), "f", 0, deleteAfter, 3); });
    EXPECT_EQ(w.Receive(33), DataBlock(1, "abc"));
    w.Send(std::string("-150 again\0", 11));
    EXPECT_EQ(w.Receive(33), DataBlock(1, "abc"));  // the same block again
    w.Send(std::string("+150 OK\0", 8));
    EXPECT_EQ(w.Receive(33), DataBlock(2, "def"));
    w.Send(std::string("+001 bye\0", 9));  // neither +150 nor -150
    sender.join();
    EXPECT_EQ(result, ProtocolError);
    EXPECT_TRUE(Exists(JoinPath(dir.Path(), "f")));  // not sent whole: kept

    // The final block goes out; the file is deleted only once its acknowledgement came.
    sender = std::thread([&] { result = p.SendFile(dir.Path(), "f", 3, deleteAfter, 3); });
    EXPECT_EQ(w.Receive(33), DataBlock(1, "def"));
    w.Send(std::string("+150 OK\0", 8));
    EXPECT_EQ(w.Receive(30), Header(0, 0, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(Exists(JoinPath(dir.Path(), "f")));
    w.Send(std::string("+150 OK\0", 8));
    sender.join();
    EXPECT_EQ(result, Ok);
    EXPECT_FALSE(Exists(JoinPath(dir.Path(), "f")));

    int keep = 0;
    EXPECT_EQ(p.SendFile(dir.Path(), "missing", 0, keep, 2048), Aborted);
}

TEST(DeviceSessions, NewerClaimSupersedesAndWaitsForTheHolder) {
    DeviceSessions reg;
    Wire w(30000);
    bool superseded = true;
    std::uint64_t first = reg.Claim("PPC1", w.connection.socket, w.rdwr->CancelFlag(), 1000, &superseded);
    ASSERT_NE(first, 0u);
    EXPECT_FALSE(superseded);

    // The holder is blocked in a read; the newer claim cancels it and gets the folder once the
    // holder lets go.
    std::thread holder([&] {
        char b;
        w.rdwr->Read(&b, 1);
        reg.Release(first);
    });
    std::atomic<bool> mine{false};
    auto start = Clock::now();
    std::uint64_t second = reg.Claim("ppc1", 0, &mine, 5000, &superseded);
    holder.join();
    EXPECT_NE(second, 0u);
    EXPECT_TRUE(superseded);
    EXPECT_EQ(w.rdwr->GetStatus(), SocketError);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(reg.Claim("PPC2", 0, nullptr, 100, &superseded), second + 1);  // other folders are free

    // A holder that never lets go: the claim gives up after its wait.
    EXPECT_EQ(reg.Claim("PPC1", 0, nullptr, 300, &superseded), 0u);
    EXPECT_TRUE(mine.load());
}
