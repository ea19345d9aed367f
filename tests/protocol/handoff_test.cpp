// The hand-off of finished uploads under faults: 1C's lock, a target that cannot be replaced,
// commands that would fill the disk, a full disk, forged log lines and a failing session.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <new>
#include <thread>

#include "exchange/file_ops.h"
#include "exchange/records.h"
#include "exchange/text_table.h"
#include "host/log.h"
#include "protocol/frames.h"
#include "protocol/protocol.h"
#include "session_fixture.h"
#include "small_disk.h"

namespace {
typedef std::chrono::steady_clock Clock;

// Shortens the hand-off bound for one test.
struct HandOffWait {
    int saved;
    explicit HandOffWait(int ms) : saved(CProtocol::handOffWaitMs.load()) { CProtocol::handOffWaitMs = ms; }
    ~HandOffWait() { CProtocol::handOffWaitMs = saved; }
};

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }
}  // namespace

// 1C takes its lock while the handheld uploads: the finished file waits for the lock to go
// before it replaces To1C.zip, and only then is the final block acknowledged.
TEST_F(SessionTest, FinishedUploadWaitsForTheLockOf1C) {
    WriteFile(In1("To1C.zip"), "being processed by 1C");
    std::string data = RandomBytes(5000, 40);
    WriteFile(ex / "up.bin", data);
    auto h = Connected();
    WriteFile(In1("lock"), "");
    std::thread unlock([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(ReadFile(In1("To1C.zip")), "being processed by 1C");
        RemoveFile(In1("lock"));
    });
    Clock::time_point start = Clock::now();
    bool ok = h->Upload(ex / "up.bin", "", false, 2048, false);
    double waited = Since(start);
    unlock.join();
    ASSERT_TRUE(ok) << h->error;
    EXPECT_GE(waited, 1.4);
    EXPECT_TRUE(h->End());
    server->WaitIdle();
    EXPECT_TRUE(SameBytes(ReadFile(In1("To1C.zip")), data));
}

// A finished upload that cannot replace its target within the bound (here a folder stands in
// its way, as a To1C.zip held open by 1C would) is not acknowledged; the handheld resumes at
// its next session from the announced size and CRC, and the file is then delivered.
TEST_F(SessionTest, UploadThatCannotBeHandedOnIsNotAcknowledgedAndResumes) {
    HandOffWait shorter(500);
    std::string data = RandomBytes(7000, 41);
    std::uint32_t crc = Crc32(data.data(), data.size());
    WriteFile(ex / "up.bin", data);
    CreateFolder(In1("To1C.zip"));
    WriteFile(JoinPath(In1("To1C.zip"), "inside"), "x");
    {
        auto h = Connected();
        EXPECT_FALSE(h->Upload(ex / "up.bin", "", false, 2048, false));
        EXPECT_EQ(h->blockNumbers, (std::vector<std::uint32_t>{1, 2, 3, 4}));  // no +150 for the final block
    }
    std::string log = Log();
    EXPECT_TRUE(Has(log, "To1C.zip could not be handed to 1C")) << log;
    EXPECT_TRUE(SameBytes(ReadFile(In1("download.tmp")), data));
    EXPECT_EQ(ReadFile(In1("CRC")), std::to_string(crc));
    EXPECT_FALSE(Exists(ex / "Status.txt"));

    RemoveFile(JoinPath(In1("To1C.zip"), "inside"));
    std::filesystem::remove(In1("To1C.zip"));
    // Nothing is left to send but the final block.
    EXPECT_EQ(ResumeAndExpectDelivered(ex / "up.bin", data, 7000), (std::vector<std::uint32_t>{0}));
}

// A 212 whose position lies beyond its declared size or beyond what is held for a resume is
// refused before anything is written (no file of zeros up to the position).
TEST_F(SessionTest, UploadPositionsBeyondTheDataAreRefused) {
    WriteFile(In1("download.tmp"), std::string(100, 'a'));
    WriteFile(In1("CRC"), "12345");
    WriteFile(ex / "named.bin", "named data");
    struct Case {
        const char* command;
        const char* logged;
    } cases[] = {
        {"4000000000,4294967295,12345,0,", "position 4000000000 beyond the 100 bytes held"},
        {"200,100,12345,0,", "position 200 beyond the declared size 100"},
        {"101,5000,12345,0,", "position 101 beyond the 100 bytes held"},
    };
    for (const Case& c : cases) {
        auto h = Connected();
        ASSERT_TRUE(h->SendCommand(212, c.command));
        int code = 0;
        std::string text;
        ASSERT_TRUE(h->ReadStatus(code, text)) << c.command;
        EXPECT_EQ(code, -140) << c.command;
        EXPECT_TRUE(h->PeerClosed(5)) << c.command;
        std::string log = Log();
        EXPECT_TRUE(Has(log, std::string("Upload refused: ") + c.logged)) << log;
        EXPECT_EQ(ReadFile(In1("download.tmp")), std::string(100, 'a')) << c.command;
        EXPECT_EQ(ReadFile(In1("CRC")), "12345") << c.command;
        EXPECT_FALSE(Exists(In1("dwnldclt.tmp"))) << c.command;
    }
    // A position at what is held is a resume as before.
    auto h = Connected();
    EXPECT_EQ(h->Announced().partialSize, 100u);
}

// A 211 whose position is beyond the end of From1C.zip is answered as a position that does
// not match: the whole file from 0, and only a complete delivery deletes From1C.zip.
TEST_F(SessionTest, DownloadPositionBeyondTheEndStartsOver) {
    std::string data = RandomBytes(5000, 42);
    std::uint32_t crc = Crc32(data.data(), data.size());
    WriteFile(In1("From1C.zip"), data);
    auto h = Connected();
    ASSERT_TRUE(h->SendCommand(211, "9000,0," + std::to_string(crc) + ",2048"));
    int code = 0;
    std::string text;
    ASSERT_TRUE(h->ReadStatus(code, text));
    EXPECT_EQ(code, 214);
    EXPECT_EQ(text, "0,5000," + std::to_string(crc) + ",0");
    h->Close();
    server->WaitIdle();
    EXPECT_TRUE(Exists(In1("From1C.zip")));  // the blocks were never acknowledged
}

// Line breaks and other control bytes from the network cannot make lines of their own in log.txt.
TEST_F(SessionTest, ControlCharactersFromTheNetworkAreEscapedInTheLog) {
    std::string forged = "x\r\n2024-01-01 00-00-00 ***** Forged\x01";  // 36 bytes
    ASSERT_EQ(forged.size(), 36u);
    {
        RawClient c(server->Port());
        c.ReceiveStatus();
        c.Send(forged);
        EXPECT_EQ(c.ReceiveStatus(), StatusFrame(-100, "Bad PPC code or server configuration error"));
    }
    auto h = Connected();
    EXPECT_TRUE(h->SendCommand(212, "0,10,0,0,a\nb"));
    h->Close();
    std::string log = Log();
    for (const std::string& line : Lines(log)) {
        EXPECT_TRUE(IsStamp(line.substr(0, 19))) << line;
        EXPECT_NE(line.substr(0, 19), "2024-01-01 00-00-00") << line;
    }
    EXPECT_TRUE(Has(log, "x\\x0D\\x0A2024-01-01 00-00-00 ***** Forged\\x01 Bad PPC code")) << log;
    EXPECT_TRUE(Has(log, "Upload name refused: a\\x0Ab")) << log;
}

namespace {
// Hands ReceiveFile one good block header and then fails as an allocation would.
struct ThrowingRdWr : CRdWr {
    std::string header;
    std::size_t at = 0;
    std::uint8_t GetByte() override { return 0; }
    void PutByte(std::uint8_t) override {}
    void Read(void* buffer, std::size_t length) override {
        if (at >= header.size()) throw std::bad_alloc();
        std::memcpy(buffer, header.data() + at, length);
        at += length;
    }
    void Write(const void*, std::size_t) override {}
    ResultCode GetStatus() override { return Ok; }
    void SetStatus(ResultCode) override {}
};
}  // namespace

// An exception in the middle of an upload leaves download.tmp closed, so the device's next
// upload can take it (instead of "DownloadTmpDeny" until the service restarts).
TEST(HandleOwnership, ExceptionDuringAnUploadLeavesNoFileOpen) {
    TempDir dir;
    ThrowingRdWr rdwr;
    char header[31];
    FormatBlockHeader(1, 100, 0, header);
    rdwr.header.assign(header, kBlockHeaderSize);
    CProtocol p(&rdwr, "test");
    EXPECT_THROW(p.ReceiveFile(dir.Path(), "download.tmp", "wb", 0, nullptr), std::bad_alloc);
    EXPECT_TRUE(TryOpenExclusive(dir / "download.tmp"));
}

#ifndef _WIN32
// The records of every other device survive a rewrite of Status.txt that fails on a full
// disk; the failure is logged and reported.
TEST(FullDisk, RecordFilesKeepTheirRecordsAndTheFailureIsLogged) {
    SmallDisk disk(64 * 1024);
    REQUIRE_SMALL_DISK(disk);
    TempDir logs;
    SetLogPath(logs / "log.txt");
    CreateFolder(disk / "PPC1");
    WriteFile(JoinPath(disk / "PPC1", "To1C.zip"), "data");
    std::string old;
    for (int i = 0; i < 200; ++i)
        old += "00000000-0000-0000-0000-" + std::to_string(100000000000 + i) + "\tAgent " +
               std::to_string(i) + "\tDEV" + std::to_string(i) + "\\To1C.zip\t2024-01-01 00-00-00\t1\r\n";
    WriteFile(disk / "Status.txt", old);
    disk.Fill();
    RecreateHandoffQueue();
    EXPECT_FALSE(RecordTransfer(kDeviceA, "Agent A", disk.Path(), "PPC1", "To1C.zip", 1, "peer"));
    EXPECT_TRUE(SameBytes(ReadFile(disk / "Status.txt"), old));
    std::string log = ReadFile(logs / "log.txt");
    EXPECT_NE(log.find("Could not write Status.txt: record of PPC1\\To1C.zip not written"), std::string::npos) << log;
    disk.Unfill();
    EXPECT_TRUE(RecordTransfer(kDeviceA, "Agent A", disk.Path(), "PPC1", "To1C.zip", 1, "peer"));
    EXPECT_EQ(Lines(ReadFile(disk / "Status.txt")).size(), 201u);
    ReleaseHandoffQueue();
    SetLogPath("");
}

// Appending to name.clt and copying it over name leave both files as they were when the disk
// is full, so a retry neither appends twice nor finds the previous file gone.
TEST(FullDisk, NamedUploadAppendAndCopyChangeNothingOnFailure) {
    SmallDisk disk(128 * 1024);
    REQUIRE_SMALL_DISK(disk);
    std::string collected = RandomBytes(20000, 43), previous = RandomBytes(9000, 44);
    WriteFile(disk / "report.dat.clt", collected);
    WriteFile(disk / "report.dat", previous);
    WriteFile(disk / "part", RandomBytes(12000, 45));
    disk.Fill();
    EXPECT_FALSE(AppendFile(disk / "part", disk / "report.dat.clt"));
    EXPECT_FALSE(CopyFileOver(disk / "report.dat.clt", disk / "report.dat"));
    EXPECT_TRUE(SameBytes(ReadFile(disk / "report.dat.clt"), collected));
    EXPECT_TRUE(SameBytes(ReadFile(disk / "report.dat"), previous));
    disk.Unfill();
    EXPECT_TRUE(AppendFile(disk / "part", disk / "report.dat.clt"));
    EXPECT_TRUE(CopyFileOver(disk / "report.dat.clt", disk / "report.dat"));
    EXPECT_TRUE(SameBytes(ReadFile(disk / "report.dat"), collected + ReadFile(disk / "part")));
}

// A declared size beyond the free space of the exchange folder's disk is refused before
// anything is written.
TEST(FullDisk, DeclaredSizeBeyondTheFreeSpaceIsRefused) {
    SmallDisk disk(256 * 1024);
    REQUIRE_SMALL_DISK(disk);
    CreateFolder(disk / "PPC1");
    SessionServer server(disk.Path(), {{kDeviceA, "Agent A", "PPC1"}});
    for (const char* command : {"0,1000000,77,0,", "0,1000000,77,1,report.dat"}) {
        Handheld h;
        h.timeoutSec = 15;
        ASSERT_TRUE(h.Connect("127.0.0.1", server.Port()));
        ASSERT_TRUE(h.Authorize(kDeviceA, false, 22)) << h.error;
        ASSERT_TRUE(h.SendCommand(212, command));
        int code = 0;
        std::string text;
        ASSERT_TRUE(h.ReadStatus(code, text));
        EXPECT_EQ(code, -140) << command;
        EXPECT_TRUE(h.PeerClosed(5));
        server.WaitIdle();
        EXPECT_FALSE(Exists(JoinPath(disk / "PPC1", "download.tmp"))) << command;
        EXPECT_FALSE(Exists(JoinPath(disk / "PPC1", "dwnldclt.tmp"))) << command;
        EXPECT_FALSE(Exists(JoinPath(disk / "PPC1", "CRC"))) << command;
    }
    std::string log = ReadFile(disk / "log.txt");
    EXPECT_NE(log.find("Upload refused: 1000000 bytes declared, "), std::string::npos) << log;
}
#endif
