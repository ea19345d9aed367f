// Uploads: the default and named files, resumption, CRC checks, faults and untrusted names.
#include <chrono>
#include <thread>

#include "exchange/file_ops.h"
#include "exchange/text_table.h"
#include "session_fixture.h"

namespace {
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<FileItem> items;
    ListFolder(folder, &items);
    std::vector<std::string> names;
    for (const FileItem& i : items)
        if (i.name != "LastConnectionTime") names.push_back(i.name + ":" + std::to_string(i.size));
    std::sort(names.begin(), names.end());
    return names;
}

// Content whose whole-file CRC has the top bit set, so the announcement shows it negative.
std::string HighCrcData(std::size_t n) {
    for (unsigned seed = 100;; ++seed) {
        std::string d = RandomBytes(n, seed);
        if (Crc32(d.data(), d.size()) >= 0x80000000u) return d;
    }
}
}  // namespace

TEST_F(SessionTest, UploadReplacesTo1CAndIsRecorded) {
    WriteFile(In1("To1C.zip"), "previous upload");
    std::string data = RandomBytes(7000, 20);
    WriteFile(ex / "up.bin", data);
    auto h = Connected();
    ASSERT_TRUE(h->Upload(ex / "up.bin", "", false, 2048, false)) << h->error;
    EXPECT_EQ(h->blockNumbers, (std::vector<std::uint32_t>{1, 2, 3, 4, 0}));
    EXPECT_TRUE(h->End());
    std::string log = Log();
    EXPECT_TRUE(SameBytes(ReadFile(In1("To1C.zip")), data));
    EXPECT_FALSE(Exists(In1("download.tmp")));
    EXPECT_FALSE(Exists(In1("CRC")));
    std::vector<std::string> status = Lines(ReadFile(ex / "Status.txt"));
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(TextTable::GetField(status[0], 0), kDeviceA);
    EXPECT_EQ(TextTable::GetField(status[0], 2), "PPC1\\To1C.zip");
    EXPECT_TRUE(IsStamp(TextTable::GetField(status[0], 3)));
    EXPECT_EQ(TextTable::GetField(status[0], 4), std::to_string(Crc32(data.data(), data.size())));
    EXPECT_TRUE(Has(log, std::string(" IN ") + kDeviceA + " Agent A PPC1\\To1C.zip ")) << log;
}

TEST_F(SessionTest, BrokenUploadResumesFromTheAnnouncedSizeAndCrc) {
    WriteFile(In1("To1C.zip"), "previous upload");
    std::string data = HighCrcData(30000);
    std::uint32_t crc = Crc32(data.data(), data.size());
    WriteFile(ex / "up.bin", data);
    {
        auto h = Connected();
        h->faults.closeAfterBlocks = 10;
        EXPECT_FALSE(h->Upload(ex / "up.bin", "", false, 2048, false));
    }
    server->WaitIdle();
    EXPECT_EQ(ReadFile(In1("To1C.zip")), "previous upload");  // only a complete upload replaces it
    EXPECT_TRUE(SameBytes(ReadFile(In1("download.tmp")), data.substr(0, 20480)));
    EXPECT_EQ(ReadFile(In1("CRC")), std::to_string(crc));

    RawClient c(server->Port());
    c.ReceiveStatus();
    c.Send(kDeviceA);
    c.ReceiveStatus();
    // Signed printing: the CRC appears negative in the announcement.
    EXPECT_EQ(c.ReceiveStatus(), StatusFrame(220, "20480,0," + std::to_string(static_cast<std::int32_t>(crc)) +
                                                      " No data file from 1C"));
    c.Send(StatusFrame(1, ""));
    EXPECT_TRUE(c.Closed());

    // 9520 bytes left: blocks 1..5 and the final one.
    EXPECT_EQ(ResumeAndExpectDelivered(ex / "up.bin", data, 20480).size(), 5u + 1);
}

// A 212 at the stored size but with another CRC is no resume: download.tmp starts over, its
// data lands from that position on (the bytes before it stay zero) and the upload ends with
// CRCError, leaving To1C.zip alone. The final block is not acknowledged, and without its CRC
// the partial file is offered for no resume.
TEST_F(SessionTest, ResumeWithAnotherCrcStartsOverAndFailsTheCheck) {
    WriteFile(In1("To1C.zip"), "previous upload");
    std::string data = RandomBytes(30000, 24);
    WriteFile(ex / "up.bin", data);
    {
        auto h = Connected();
        h->faults.closeAfterBlocks = 10;
        EXPECT_FALSE(h->Upload(ex / "up.bin", "", false, 2048, false));
    }
    server->WaitIdle();
    ASSERT_EQ(ReadFile(In1("download.tmp")).size(), 20480u);

    std::string other = RandomBytes(30000, 25);  // another file of the same size
    std::uint32_t otherCrc = Crc32(other.data(), other.size());
    auto h = Connected();
    ASSERT_EQ(h->Announced().partialSize, 20480u);
    ASSERT_NE(h->Announced().partialCrc, otherCrc);
    const std::string request = "20480,30000," + std::to_string(otherCrc) + ",0,";
    ASSERT_TRUE(h->SendCommand(212, request));
    std::uint32_t number = 1;
    for (std::size_t at = 20480;; at += 2048, ++number) {
        std::string block = at < other.size() ? other.substr(at, 2048) : "";
        ASSERT_TRUE(h->SendRaw(BlockFrame(block.empty() ? 0 : number, block)));
        if (block.empty()) break;
        int code = 0;
        std::string text;
        ASSERT_TRUE(h->ReadStatus(code, text)) << "block " << number;
        ASSERT_EQ(code, 150) << "block " << number << ": " << text;
    }
    EXPECT_TRUE(h->PeerClosed(5));
    std::string log = Log();
    EXPECT_EQ(ReadFile(In1("To1C.zip")), "previous upload");
    EXPECT_TRUE(SameBytes(ReadFile(In1("download.tmp")), std::string(20480, '\0') + other.substr(20480)));
    EXPECT_FALSE(Exists(In1("CRC")));
    EXPECT_TRUE(Has(log, std::string(" IN ") + kDeviceA + " CRCError. Client sent code: 212, comment: " + request))
        << log;
}

TEST_F(SessionTest, WholeFileCrcMismatch) {
    WriteFile(ex / "up.bin", RandomBytes(3000, 21));
    auto h = Connected();
    h->faults.wrongFileCrc = true;
    // Every data block was accepted, the final one is not: the file is not delivered.
    EXPECT_FALSE(h->Upload(ex / "up.bin", "", false, 2048, false));
    EXPECT_EQ(h->blockNumbers, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_TRUE(h->PeerClosed(5));
    std::string log = Log();
    EXPECT_FALSE(Exists(In1("To1C.zip")));
    EXPECT_TRUE(Exists(In1("download.tmp")));
    EXPECT_FALSE(Exists(In1("CRC")));  // so the next upload starts over
    std::uint32_t announced = Crc32(ReadFile(ex / "up.bin").data(), 3000) ^ 0x1234567u;
    EXPECT_TRUE(Has(log, std::string(" IN ") + kDeviceA + " CRCError. Client sent code: 212, comment: 0,3000," +
                             std::to_string(announced) + ",0,\r\n"))
        << log;
}

TEST_F(SessionTest, DamagedBlockIsRetransmittedAndWrittenOnce) {
    std::string data = RandomBytes(6000, 22);
    WriteFile(ex / "up.bin", data);
    auto h = Connected();
    h->faults.corruptBlock = 2;
    ASSERT_TRUE(h->Upload(ex / "up.bin", "", false, 2048, false)) << h->error;
    EXPECT_TRUE(h->End());
    server->WaitIdle();
    EXPECT_TRUE(SameBytes(ReadFile(In1("To1C.zip")), data));
}

TEST_F(SessionTest, OutOfSequenceAndOversizedBlocks) {
    WriteFile(ex / "up.bin", RandomBytes(6000, 23));
    WriteFile(In1("To1C.zip"), "kept");
    auto h = Connected();
    h->faults.skipBlock = 2;
    EXPECT_FALSE(h->Upload(ex / "up.bin", "", false, 2048, false));
    auto big = Connected(kDeviceB);
    big->faults.hugeBlock = true;
    EXPECT_FALSE(big->Upload(ex / "up.bin", "", false, 2048, false));
    std::string log = Log();
    EXPECT_EQ(ReadFile(In1("To1C.zip")), "kept");
    EXPECT_TRUE(Has(log, std::string(kDeviceA) + " ProtocolError. Client sent code: 212")) << log;
    EXPECT_TRUE(Has(log, std::string(kDeviceB) + " ProtocolError. Client sent code: 212")) << log;
}

TEST_F(SessionTest, NamedUploadsCollectAndGoToStack) {
    auto first = Connected();
    WriteFile(ex / "up.bin", "default");
    ASSERT_TRUE(first->Upload(ex / "up.bin", "", false, 2048, false)) << first->error;
    WriteFile(ex / "r1", "first report;");
    ASSERT_TRUE(first->Upload(ex / "r1", "report.dat", true, 2048, false)) << first->error;
    EXPECT_TRUE(first->End());
    server->WaitIdle();
    std::string status = ReadFile(ex / "Status.txt");
    auto again = Connected();
    WriteFile(ex / "r2", "second report");
    ASSERT_TRUE(again->Upload(ex / "r2", "report.dat", true, 2048, false)) << again->error;
    EXPECT_TRUE(again->End());
    server->WaitIdle();
    EXPECT_EQ(ReadFile(In1("report.dat.clt")), "first report;second report");
    EXPECT_EQ(ReadFile(In1("report.dat")), "first report;second report");
    EXPECT_FALSE(Exists(In1("dwnldclt.tmp")));
    EXPECT_EQ(ReadFile(ex / "Status.txt"), status);
    std::vector<std::string> stack = Lines(ReadFile(ex / "Stack.txt"));
    ASSERT_EQ(stack.size(), 1u);
    EXPECT_EQ(TextTable::GetField(stack[0], 2), "PPC1\\report.dat");
    EXPECT_EQ(TextTable::GetField(stack[0], 4), std::to_string(Crc32("first report;second report", 26)));
}

TEST_F(SessionTest, UntrustedNamesAreRefused) {
    WriteFile(ex / "up.bin", "payload");
    WriteFile(In1("To1C.zip"), "kept");
    std::vector<std::string> before = FolderNames(ex / "PPC1");
    const char* names[] = {"..\\evil.txt", "../evil.txt", "sub/evil.txt", "C:evil.txt", "..",
                           "NUL", "com1.txt", "lock", "From1C.zip"};
    for (const char* name : names) {
        for (bool named : {true, false}) {
            auto h = Connected();
            ASSERT_TRUE(h->SendCommand(212, std::string("0,7,0,") + (named ? "1," : "0,") + name));
            int code = 0;
            std::string text;
            ASSERT_TRUE(h->ReadStatus(code, text)) << name;
            EXPECT_EQ(code, -140) << name;
            EXPECT_TRUE(h->PeerClosed(5)) << name;
        }
    }
    std::string log = Log();
    EXPECT_EQ(FolderNames(ex / "PPC1"), before);
    EXPECT_FALSE(Exists(ex / "evil.txt"));
    EXPECT_FALSE(Exists(JoinPath(ex / "..", "evil.txt")));
    EXPECT_TRUE(Has(log, std::string(" IN ") + kDeviceA + " Upload name refused: ..\\evil.txt\r\n")) << log;
    EXPECT_TRUE(Has(log, std::string(" IN ") + kDeviceA + " BadFileName. Client sent code: 212")) << log;
}

TEST_F(SessionTest, PartialFileInUseGivesDownloadTmpDeny) {
    WriteFile(In1("download.tmp"), "partial");
    WriteFile(In1("CRC"), "12345");
    FILE* held = OpenFile(In1("download.tmp"), "rb");  // someone else has it open
    ASSERT_NE(held, nullptr);
    WriteFile(ex / "up.bin", "payload");
    auto start = std::chrono::steady_clock::now();
    auto h = Connected();
    h->timeoutSec = 60;
    EXPECT_FALSE(h->Upload(ex / "up.bin", "", false, 2048, true));
    std::string log = Log();
    std::fclose(held);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(28));
    EXPECT_TRUE(Has(log, std::string(" IN ") + kDeviceA + " DownloadTmpDeny. Client sent code: 212")) << log;
    EXPECT_EQ(ReadFile(In1("download.tmp")), "partial");
}

// The exchange folder as the registry names it, in the ANSI code page: every file the service
// reads and writes there is found under the folder's real name.
TEST(CyrillicExchangeFolder, TransfersRecordsAndLogLandInIt) {
    TempDir base;
    const std::string folder = JoinPath(base.Path(), "Обмен данными");
    const std::string device = JoinPath(folder, "КПК1");
    ASSERT_TRUE(CreateFolderTree(device));
    const std::string offer = RandomBytes(5000, 41), data = RandomBytes(9000, 42);
    auto write = [](const std::string& path, const std::string& bytes) {
        FILE* f = FileOpen(path, "wb");
        ASSERT_NE(f, nullptr) << path;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    };
    auto read = [](const std::string& path) {
        std::string out;
        if (FILE* f = FileOpen(path, "rb")) {
            char buf[4096];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
            std::fclose(f);
        }
        return out;
    };
    write(JoinPath(device, "From1C.zip"), offer);
    WriteFile(base / "up.bin", data);
    {
        SessionServer server(folder, {{kDeviceA, "Агент", "КПК1"}});
        Handheld h([](const std::string&) {});
        h.timeoutSec = 15;
        ASSERT_TRUE(h.Connect("127.0.0.1", server.Port()));
        ASSERT_TRUE(h.Authorize(kDeviceA, false, 22)) << h.error;
        ASSERT_TRUE(h.Download(base / "down.bin", 2048, false, 0)) << h.error;
        ASSERT_TRUE(h.Upload(base / "up.bin", "", false, 2048, false)) << h.error;
        EXPECT_TRUE(h.End());
        server.WaitIdle();
    }
    EXPECT_TRUE(SameBytes(ReadFile(base / "down.bin"), offer));
    EXPECT_FALSE(FileExists(JoinPath(device, "From1C.zip")));
    EXPECT_TRUE(SameBytes(read(JoinPath(device, "To1C.zip")), data));
    EXPECT_TRUE(FileExists(JoinPath(device, "LastConnectionTime")));
    std::vector<std::string> status = Lines(read(JoinPath(folder, "Status.txt")));
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(TextTable::GetField(status[0], 2), "КПК1\\To1C.zip");
    std::string log = read(JoinPath(folder, "log.txt"));
    EXPECT_NE(log.find(" IN "), std::string::npos) << log;
    EXPECT_NE(log.find(" OUT "), std::string::npos) << log;
}
