// The real VeloraService driven by the simulator program over 127.0.0.1: natively the debug
// console program with its parameters in a private file, on Windows the service installed and
// started through the Service Control Manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "exchange/text_table.h"
#include "handheld.h"
#include "platform/files.h"
#include "protocol/crc32.h"
#include "service_params.h"
#include "support.h"
#include "reserved_port.h"
#include "tool_process.h"

namespace {
typedef std::chrono::steady_clock Clock;

std::string Id(int i) {
    char id[40];
    std::snprintf(id, sizeof id, "5E1F0000-0000-4000-8000-%012d", i);
    return id;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    for (auto end = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < end;) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

std::string ConfigXml(std::uint16_t port, const char* extra = "") {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<VeloraServer VERSION=\"1.0\">\r\n"
                      "\t<ServerConfig PortExternal=\"" + std::to_string(port) + "\" SyncTime=\"1\" />\r\n";
    for (int i = 1; i <= 6; ++i)
        xml += "\t<PPC DEVICE_ID=\"" + Id(i) + "\" PSEUDONIM=\"Agent" + std::to_string(i) +
               "\" DIRECTORY=\"PPC" + std::to_string(i) + "\" />\r\n";
    return xml + extra + "</VeloraServer>\r\n";
}

struct ServiceTest : ::testing::Test {
    static TempDir* ex;
    static ServiceProcess* service;
    static ReservedPort* reserved;
    static std::uint16_t port;

    static void SetUpTestSuite() {
        NetStartup();
        ex = new TempDir;
        UseParamsFileIn(ex->Path());
        reserved = new ReservedPort;
        port = reserved->Number();
        WriteFile(*ex / "config.xml", ConfigXml(port));
        SetExchFolder(ex->Path().c_str());
        service = new ServiceProcess;
        ASSERT_TRUE(service->Start()) << service->Output();
        ASSERT_TRUE(WaitFor([] { return ReadFile(*ex / "log.txt").find("Service started!") != std::string::npos; },
                            30000))
            << service->Output();
    }
    static void TearDownTestSuite() {
        if (service) {
            EXPECT_TRUE(service->Stop()) << Log();
            delete service;
        }
        service = nullptr;
        SetExchFolder("");
        delete ex;
        ex = nullptr;
        delete reserved;
        reserved = nullptr;
        NetCleanup();
    }
    std::string In(int device, const std::string& name) { return JoinPath(*ex / ("PPC" + std::to_string(device)), name); }
    ToolResult Simulator(int device, std::vector<std::string> args, bool binary = false) {
        std::vector<std::string> all = {"--port", std::to_string(port), "--code", Id(device), "--timeout", "60"};
        if (binary) all.push_back("--binary");
        all.insert(all.end(), args.begin(), args.end());
        return RunHandheldTool(all);
    }
    static std::string Log() { return ReadFile(*ex / "log.txt"); }
    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};
TempDir* ServiceTest::ex = nullptr;
ServiceProcess* ServiceTest::service = nullptr;
ReservedPort* ServiceTest::reserved = nullptr;
std::uint16_t ServiceTest::port = 0;
}  // namespace

TEST_F(ServiceTest, SimulatorDownloadsAndUploads) {
    std::string data = RandomBytes(100000, 31), up = RandomBytes(70000, 32);
    WriteFile(In(1, "From1C.zip"), data);
    WriteFile(*ex / "up1", up);
    ToolResult r = Simulator(1, {"--block-size", "4096", "--download", *ex / "down1", "--upload", *ex / "up1"}, true);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "announcement: 240 data=yes size=100000")) << r.output;  // SyncTime, version 22
    EXPECT_TRUE(Has(r.output, "downloaded 100000 bytes from position 0")) << r.output;
    EXPECT_TRUE(Has(r.output, "uploaded 70000 bytes from position 0")) << r.output;
    EXPECT_TRUE(SameBytes(ReadFile(*ex / "down1"), data));
    EXPECT_TRUE(WaitFor([&] { return SameBytes(ReadFile(In(1, "To1C.zip")), up); }, 5000));
    EXPECT_TRUE(WaitFor([&] { return !Exists(In(1, "From1C.zip")); }, 5000));
    // The records follow the files: wait for the log line as well.
    EXPECT_TRUE(WaitFor([] { return Has(Log(), " IN " + Id(1) + " Agent1 PPC1\\To1C.zip "); }, 5000)) << Log();
    EXPECT_TRUE(Has(Log(), " OUT " + Id(1) + " Agent1 PPC1\\From1C.zip ")) << Log();
    std::string status = ReadFile(*ex / "Status.txt");
    EXPECT_TRUE(Has(status, Id(1) + "\tAgent1\tPPC1\\To1C.zip\t")) << status;
    EXPECT_TRUE(Has(status, "\t" + std::to_string(Crc32(up.data(), up.size())) + "\r\n")) << status;
}

TEST_F(ServiceTest, BrokenUploadResumesInTheNextSession) {
    std::string up = RandomBytes(20000, 33);
    WriteFile(*ex / "up2", up);
    ToolResult broken = Simulator(2, {"--close-after", "3", "--upload", *ex / "up2"});
    EXPECT_EQ(broken.exitCode, 1) << broken.output;
    EXPECT_TRUE(WaitFor([&] { return ReadFile(In(2, "download.tmp")).size() == 6144; }, 5000));
    EXPECT_FALSE(Exists(In(2, "To1C.zip")));
    ToolResult resumed = Simulator(2, {"--resume-upload", "--upload", *ex / "up2"});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.output;
    EXPECT_TRUE(Has(resumed.output, "announcement: 220 data=no size=0 partial=6144 partialcrc=" +
                                        std::to_string(Crc32(up.data(), up.size()))))
        << resumed.output;
    EXPECT_TRUE(Has(resumed.output, "uploaded 13856 bytes from position 6144")) << resumed.output;
    EXPECT_TRUE(WaitFor([&] { return SameBytes(ReadFile(In(2, "To1C.zip")), up); }, 5000));
    EXPECT_FALSE(Exists(In(2, "download.tmp")));
}

TEST_F(ServiceTest, RefusalsAndMalformedCommands) {
    ToolResult unknown = RunHandheldTool({"--port", std::to_string(port), "--code", Id(99)});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(Has(unknown.output, "recv -100 Bad PPC code or server configuration error")) << unknown.output;
    ToolResult bad = Simulator(3, {"--malformed"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(Has(bad.output, "recv -140 Command received with error(s)")) << bad.output;
    ToolResult named = Simulator(3, {"--upload-as", *ex / "config.xml", "..\\config.xml"});
    EXPECT_EQ(named.exitCode, 1);
    EXPECT_TRUE(Has(named.output, "recv -140")) << named.output;
    EXPECT_TRUE(WaitFor([] { return Has(Log(), " Upload name refused: ..\\config.xml"); }, 5000)) << Log();
    EXPECT_TRUE(Has(Log(), Id(99) + " Bad PPC code or server configuration error")) << Log();
}

TEST_F(ServiceTest, ReconnectingHandheldSupersedesItsStaleSession) {
    Handheld stale;
    ASSERT_TRUE(stale.Connect("127.0.0.1", port));
    ASSERT_TRUE(stale.Authorize(Id(4), false, 0)) << stale.error;
    WriteFile(*ex / "up4", "fresh upload");
    ToolResult fresh = Simulator(4, {"--upload", *ex / "up4"});
    EXPECT_EQ(fresh.exitCode, 0) << fresh.output;
    EXPECT_TRUE(stale.PeerClosed(5));
    EXPECT_TRUE(WaitFor([&] { return ReadFile(In(4, "To1C.zip")) == "fresh upload"; }, 5000));
    EXPECT_TRUE(Has(Log(), Id(4) + " Previous session of this device superseded")) << Log();
}

TEST_F(ServiceTest, StackIsCleanedAtTheNextConfigurationLoad) {
    WriteFile(In(5, "kept.dat"), "k");
    WriteFile(*ex / "Stack.txt", Id(5) + "\tAgent5\tPPC5\\kept.dat\t2024-01-01 00-00-00\t1\r\n" + Id(5) +
                                    "\tAgent5\tPPC5\\taken.dat\t2024-01-01 00-00-00\t2\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // a write time of its own
    // Written aside and renamed over, so the watch never reads a half-written file (a reload
    // that fails stops the service).
    WriteFile(*ex / "config.new", ConfigXml(port, "\t<!-- changed -->\r\n"));
    ASSERT_TRUE(RenameReplace(*ex / "config.new", *ex / "config.xml"));
    EXPECT_TRUE(WaitFor([] { return Lines(ReadFile(*ex / "Stack.txt")).size() == 1; }, 20000))
        << ReadFile(*ex / "Stack.txt");
    EXPECT_TRUE(Has(ReadFile(*ex / "Stack.txt"), "PPC5\\kept.dat"));
}

TEST_F(ServiceTest, SilenceAfterTheRequestTimesOut) {
    std::size_t logBefore = Lines(Log()).size();
    Clock::time_point start = Clock::now();
    ToolResult r = Simulator(6, {"--silent"});
    EXPECT_GE(Clock::now() - start, std::chrono::seconds(28));
    EXPECT_TRUE(Has(r.output, "recv -130 Timed out")) << r.output;
    EXPECT_TRUE(Has(r.output, "service closed the connection: yes")) << r.output;
    EXPECT_EQ(Lines(Log()).size(), logBefore) << Log();
}

namespace {
// The program's output with its line ends as LF (the Windows console writes CR LF).
std::string WithLf(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}
}  // namespace

// Nothing waits for the device (announcement 220): the download is left out, no file is
// written, and the upload goes on.
TEST_F(ServiceTest, SimulatorWithNothingToDownloadStillUploads) {
    WriteFile(*ex / "up5", "data of agent 5");
    ToolResult r = Simulator(5, {"--download", *ex / "down5", "--upload", *ex / "up5"});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(WithLf(r.output), "nothing to download (announcement 220): " + (*ex / "down5") + " not written\n"))
        << r.output;
    EXPECT_FALSE(Exists(*ex / "down5"));
    EXPECT_TRUE(WaitFor([&] { return ReadFile(In(5, "To1C.zip")) == "data of agent 5"; }, 5000));
}

// The simulator's command line and a refused connection, without a service.
TEST(HandheldProgram, UsageAndErrors) {
    NetStartup();
    // A port bound but not listening: a connection to it is refused.
    NetSocket bound = NetTcpSocket();
    std::uint32_t loopback = 0;
    NetParseAddress("127.0.0.1", &loopback);
    ASSERT_TRUE(NetBind(bound, loopback, 0));
    NetAddress address;
    ASSERT_TRUE(NetLocalAddress(bound, &address));
    const std::string refused = std::to_string(address.port), code = Id(1);
#ifdef _WIN32
    const std::string refusedText = "(0x274d)";  // WSAECONNREFUSED, after the system's text
#else
    const std::string refusedText = ": Connection refused (0x6f)";
#endif
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string text;
    } cases[] = {
        {{}, 2, "usage: velora-handheld --port PORT --code DEVICE-ID"},
        {{"--help"}, 0, "the service appends it to NAME.clt"},
        {{"--port", "5555"}, 2, "velora-handheld: --code DEVICE-ID is missing\n"},
        {{"--code", code}, 2, "velora-handheld: --port PORT is missing\n"},
        {{"--port", "70000", "--code", code}, 2, "--port takes a number from 1 to 65535, not '70000'\n"},
        {{"--port", "55x", "--code", code}, 2, "--port takes a number from 1 to 65535, not '55x'\n"},
        {{"--code", code, "--port"}, 2, "velora-handheld: --port needs a value\n"},
        {{"--bogus"}, 2, "velora-handheld: unknown option --bogus (--help lists every option)\n"},
        {{"--port", refused, "--code", code, "--timeout", "5"}, 1, "error: cannot connect to 127.0.0.1:" + refused},
        {{"--port", refused, "--code", code, "--timeout", "5"}, 1, refusedText + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        ToolResult r = RunHandheldTool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        EXPECT_NE(WithLf(r.output).find(c.text), std::string::npos) << r.output;
    }
    NetClose(bound);
    NetCleanup();
}
