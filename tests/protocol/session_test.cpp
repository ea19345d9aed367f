// Authorization, commands and downloads against sessions served in-process.
#include <atomic>
#include <chrono>
#include <thread>

#include "session_fixture.h"

namespace {
typedef std::chrono::steady_clock Clock;
double Seconds(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }
}  // namespace

TEST_F(SessionTest, WelcomeAnnouncementAndEndOnTheWire) {
    RawClient c(server->Port());
    EXPECT_EQ(c.ReceiveStatus(), StatusFrame(100, "Authorization required"));
    c.Send(kDeviceA);
    EXPECT_EQ(c.ReceiveStatus(), std::string("+110 Welcome!\0", 14));
    EXPECT_EQ(c.ReceiveStatus(), StatusFrame(220, "0,0,0 No data file from 1C"));
    c.Send(StatusFrame(1, "bye"));
    EXPECT_TRUE(c.Closed());
    std::string log = Log();
    EXPECT_TRUE(Has(log, std::string(" 127.0.0.1 OUT ") + kDeviceA + " No data file from 1C\r\n")) << log;
    std::string stamp = ReadFile(In1("LastConnectionTime"));
    EXPECT_EQ(stamp.rfind(std::string(kDeviceA) + "|Agent A|", 0), 0u) << stamp;
    EXPECT_GT(std::stoul(stamp.substr(stamp.rfind('|') + 1)), 1600000000ul);
}

TEST_F(SessionTest, CodesDifferingInCaseAndBinaryCodes) {
    std::string lower = kDeviceB;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    auto h = Connected(lower.c_str());
    EXPECT_EQ(h->Announced().code, 220);
    EXPECT_TRUE(h->End());
    auto b = Connected(kDeviceA, true, 21);
    EXPECT_EQ(b->Announced().code, 220);
    EXPECT_TRUE(b->End());
}

TEST_F(SessionTest, TimePrefixNeedsVersion22) {
    Start(30000, true);
    WriteFile(In1("From1C.zip"), "data");
    auto old = Connected(kDeviceA, true, 21);
    EXPECT_EQ(old->Announced().code, 210);
    auto text = Connected(kDeviceA, false);  // a text code counts as version 0
    EXPECT_EQ(text->Announced().code, 210);
    auto now = Connected(kDeviceA, true, 22);
    EXPECT_EQ(now->Announced().code, 240);
    const std::string& t = now->Announced().text;
    ASSERT_GE(t.size(), 17u);
    EXPECT_TRUE(t[2] == '.' && t[5] == '.' && t[10] == ' ' && t[13] == ':' && t[16] == ' ') << t;
    EXPECT_EQ(t.substr(17), "0,4,0,0,0 There is data from 1C");
    std::time_t clock = std::time(nullptr);
    std::tm utc = *std::gmtime(&clock);
    EXPECT_EQ(std::stoi(t.substr(6, 4)), utc.tm_year + 1900);
    EXPECT_EQ(now->Announced().dataSize, 4u);
    RemoveFile(In1("From1C.zip"));
    auto none = Connected(kDeviceA, true, 30);
    EXPECT_EQ(none->Announced().code, 250);
}

TEST_F(SessionTest, UnknownCodesAndMissingFoldersAreRefused) {
    // Unknown; configured without its folder; a "folder" that is the exchange folder's parent.
    const char* refused[] = {"00000000-0000-0000-0000-000000000000", kDeviceNoFolder, kDeviceDotDot};
    for (const char* id : refused) {
        RawClient c(server->Port());
        c.ReceiveStatus();
        c.Send(id);
        EXPECT_EQ(c.ReceiveStatus(), StatusFrame(-100, "Bad PPC code or server configuration error")) << id;
        EXPECT_TRUE(c.Closed());
    }
    std::vector<std::string> log = Lines(Log());
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(Has(log[1], std::string(" 127.0.0.1 ") + kDeviceNoFolder +
                                " Bad PPC code or server configuration error"))
        << log[1];
}

TEST_F(SessionTest, LockOf1C) {
    WriteFile(In1("lock"), "");
    Clock::time_point start = Clock::now();
    RawClient c(server->Port());
    c.ReceiveStatus();
    c.Send(kDeviceA);
    EXPECT_EQ(c.ReceiveStatus(20), StatusFrame(-300, "Data file exists but is locked by 1C"));
    EXPECT_GE(Seconds(start), 9.5);
    EXPECT_TRUE(Has(Log(), std::string(kDeviceA) + " Data file exists but is locked by 1C"));

    // A lock that goes away within the wait lets the session go on at once, not at the end
    // of the 10 s wait (it is looked at twice a second).
    std::thread unlock([this] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        RemoveFile(In1("lock"));
    });
    start = Clock::now();
    auto h = Connected();
    double waited = Seconds(start);
    unlock.join();
    EXPECT_GE(waited, 1.9);
    EXPECT_LT(waited, 7.0);
    EXPECT_EQ(h->Announced().code, 220);
}

TEST_F(SessionTest, SilenceAfterTheRequestTimesOutWithoutALogLine) {
    Start(2000, false);
    RawClient c(server->Port());
    EXPECT_EQ(c.ReceiveStatus(), StatusFrame(100, "Authorization required"));
    Clock::time_point start = Clock::now();
    EXPECT_EQ(c.ReceiveStatus(10), StatusFrame(-130, "Timed out"));
    EXPECT_GE(Seconds(start), 1.5);
    EXPECT_TRUE(c.Closed());
    EXPECT_EQ(Log(), "");
}

TEST_F(SessionTest, MalformedAndUnknownCommands) {
    RawClient c(server->Port());
    c.ReceiveStatus();
    c.Send(kDeviceA);
    c.ReceiveStatus();
    c.ReceiveStatus();
    c.Send(StatusFrame(300, "unknown"));  // ignored: the loop waits for the next command
    c.Send(std::string("+211X0,0,0,0\0", 13));
    EXPECT_EQ(c.ReceiveStatus(), StatusFrame(-140, "Command received with error(s)"));
    EXPECT_TRUE(c.Closed());
    std::string log = Log();
    EXPECT_TRUE(Has(log, std::string(kDeviceA) + " ProtocolError. Client sent code: 300, comment: \r\n")) << log;
}

TEST_F(SessionTest, DownloadOnTheWire) {
    std::string data = RandomBytes(2500, 7);
    std::uint32_t crc = Crc32(data.data(), data.size());
    WriteFile(In1("From1C.zip"), data);
    RawClient c(server->Port());
    c.ReceiveStatus();
    c.Send(kDeviceA);
    c.ReceiveStatus();
    EXPECT_EQ(c.ReceiveStatus(), StatusFrame(210, "0,2500,0,0,0 There is data from 1C"));
    c.Send(StatusFrame(211, "0,0,0,1000"));
    EXPECT_EQ(c.ReceiveStatus(), StatusFrame(214, "0,2500," + std::to_string(crc) + ",0"));
    EXPECT_EQ(c.Receive(1030), BlockFrame(1, data.substr(0, 1000)));
    c.Send(StatusFrame(150, "OK"));
    EXPECT_EQ(c.Receive(1030), BlockFrame(2, data.substr(1000, 1000)));
    c.Send(StatusFrame(150, "OK"));
    EXPECT_EQ(c.Receive(530), BlockFrame(3, data.substr(2000)));
    c.Send(StatusFrame(150, "OK"));
    EXPECT_EQ(c.Receive(30), BlockFrame(0, ""));
    c.Send(StatusFrame(150, "OK"));
    c.Send(StatusFrame(1, ""));
    EXPECT_TRUE(c.Closed());
    std::string log = Log();
    EXPECT_FALSE(Exists(In1("From1C.zip")));
    EXPECT_FALSE(Exists(In1("From1C_trans.zip")));
    EXPECT_TRUE(Has(log, std::string(" OUT ") + kDeviceA + " Agent A PPC1\\From1C.zip ")) << log;
    EXPECT_TRUE(Has(log, " " + std::to_string(crc) + " 2500\r\n")) << log;
    EXPECT_FALSE(Has(log, "No data file")) << log;
}

TEST_F(SessionTest, BrokenDownloadResumesByPositionAndCrc) {
    std::string data = RandomBytes(10000, 8);
    WriteFile(In1("From1C.zip"), data);
    std::string local = ex / "local.zip";
    {
        auto h = Connected();
        h->faults.closeAfterBlocks = 3;
        EXPECT_FALSE(h->Download(local, 1024, false, 0));
    }
    server->WaitIdle();
    EXPECT_TRUE(SameBytes(ReadFile(In1("From1C.zip")), data));  // not sent whole: kept
    EXPECT_FALSE(Exists(In1("From1C_trans.zip")));
    EXPECT_EQ(ReadFile(local).size(), 3072u);

    auto h = Connected();
    ASSERT_TRUE(h->Download(local, 1024, true, Crc32(data.data(), data.size()))) << h->error;
    EXPECT_EQ(h->downloadPosition, 3072u);
    EXPECT_EQ(h->blockNumbers.front(), 1u);
    EXPECT_TRUE(SameBytes(ReadFile(local), data));
    EXPECT_TRUE(h->End());
    server->WaitIdle();
    EXPECT_FALSE(Exists(In1("From1C.zip")));

    // A partial copy of another file: the service starts over from 0.
    std::string next = RandomBytes(5000, 9);
    WriteFile(In1("From1C.zip"), next);
    WriteFile(local, data.substr(0, 2048));
    auto again = Connected();
    ASSERT_TRUE(again->Download(local, 2048, true, Crc32(data.data(), data.size()))) << again->error;
    EXPECT_EQ(again->downloadPosition, 0u);
    EXPECT_TRUE(SameBytes(ReadFile(local), next));
}

TEST_F(SessionTest, RejectedBlockIsSentAgain) {
    std::string data = RandomBytes(9000, 10);
    WriteFile(In1("From1C.zip"), data);
    auto h = Connected();
    h->faults.corruptBlock = 2;
    ASSERT_TRUE(h->Download(ex / "local.zip", 2048, false, 0)) << h->error;
    EXPECT_EQ(h->blockNumbers, (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 0}));
    EXPECT_TRUE(SameBytes(ReadFile(ex / "local.zip"), data));
}

TEST_F(SessionTest, MissingDataFileAndStaleTransferCopy) {
    WriteFile(In1("From1C_trans.zip"), "left over from an earlier run");
    RawClient c(server->Port());
    c.ReceiveStatus();
    c.Send(kDeviceA);
    c.ReceiveStatus();
    c.ReceiveStatus();
    c.Send(StatusFrame(211, "0,0,0,0"));
    EXPECT_EQ(c.ReceiveStatus(), StatusFrame(214, "0,0,0,0"));
    EXPECT_TRUE(c.Closed());
    std::string log = Log();
    EXPECT_TRUE(Has(log, std::string(" OUT ") + kDeviceA + " No data file from 1C\r\n")) << log;
    EXPECT_FALSE(Exists(In1("From1C_trans.zip")));
}

TEST_F(SessionTest, DataReplacedDuringTheDownloadIsKept) {
    WriteFile(In1("From1C.zip"), RandomBytes(3000, 11));
    RawClient c(server->Port());
    c.ReceiveStatus();
    c.Send(kDeviceA);
    c.ReceiveStatus();
    c.ReceiveStatus();
    c.Send(StatusFrame(211, "0,0,0,2048"));
    c.ReceiveStatus();
    c.Receive(30 + 2048);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string fresh = RandomBytes(4321, 12);  // 1C writes new data meanwhile
    WriteFile(In1("From1C.zip"), fresh);
    c.Send(StatusFrame(150, "OK"));
    c.Receive(30 + 952);
    c.Send(StatusFrame(150, "OK"));
    EXPECT_EQ(c.Receive(30), BlockFrame(0, ""));
    c.Send(StatusFrame(150, "OK"));
    c.Send(StatusFrame(1, ""));
    EXPECT_TRUE(c.Closed());
    std::string log = Log();
    EXPECT_TRUE(SameBytes(ReadFile(In1("From1C.zip")), fresh));
    EXPECT_TRUE(Has(log, "From1C.zip was replaced during the transfer and is kept")) << log;
}

TEST_F(SessionTest, NewConnectionOfTheSameDeviceSupersedesTheStaleOne) {
    auto stale = Connected();
    auto fresh = Connected();  // the stale session is shut down first
    EXPECT_TRUE(stale->PeerClosed(5));
    WriteFile(ex / "up.bin", RandomBytes(5000, 13));
    ASSERT_TRUE(fresh->Upload(ex / "up.bin", "", false, 2048, false)) << fresh->error;
    EXPECT_TRUE(fresh->End());
    std::string log = Log();
    EXPECT_TRUE(Has(log, std::string(kDeviceA) + " Previous session of this device superseded")) << log;
    EXPECT_TRUE(SameBytes(ReadFile(In1("To1C.zip")), ReadFile(ex / "up.bin")));
    // The other device is not affected by either.
    auto other = Connected(kDeviceB);
    EXPECT_FALSE(other->PeerClosed(1));
}

// A status message whose bytes trickle in has one deadline in all, not one per byte: a peer
// sending a byte now and then cannot hold its session (and with it a stop) for ever.
TEST_F(SessionTest, TricklingCommandEndsAtOneDeadline) {
    Start(2000, false);
    auto h = Connected();
    Clock::time_point start = Clock::now();
    std::atomic<bool> trickling{true};
    std::thread trickle([&] {
        for (char c : std::string("+211 0,0,0,2048 and more and more")) {
            if (!trickling || !h->SendRaw(std::string(1, c))) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
        }
    });
    int code = 0;
    std::string text;
    EXPECT_TRUE(h->ReadStatus(code, text));
    double took = Seconds(start);
    trickling = false;
    trickle.join();
    EXPECT_EQ(code, -140) << text;
    EXPECT_LT(took, 4.0);
    EXPECT_TRUE(Has(Log(), std::string(kDeviceA) + " Timeout")) << Log();
}
