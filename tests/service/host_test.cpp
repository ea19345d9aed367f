// The service host's building blocks: the log, the status reports, the command line and the
// listener with its accept thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "host/command_line.h"
#include "host/connection.h"
#include "host/listen_server.h"
#include "host/log.h"
#include "host/status.h"
#include "params_env.h"
#include "registry.h"
#include "support.h"

using namespace test;

namespace {
::testing::Environment* const env = ::testing::AddGlobalTestEnvironment(new ParamsEnvironment);

// "YYYY-MM-DD hh-mm-ss" at the start of a line.
bool StartsWithStamp(const std::string& line) {
    const char* shape = "dddd-dd-dd dd-dd-dd";
    if (line.size() < 19) return false;
    for (int i = 0; i < 19; ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(line[i])) : line[i] != shape[i]) return false;
    return true;
}

// The lines of a log file without their timestamps; every line must have one and end in CR LF.
std::vector<std::string> Unstamped(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            out.push_back("<no CR LF>" + text.substr(start));
            break;
        }
        std::string line = text.substr(start, end - start);
        out.push_back(StartsWithStamp(line) ? line.substr(19) : "<no stamp>" + line);
        start = end + 2;
    }
    return out;
}

std::string ErrorValue() {
    char text[1024];
    GetErrorText(text, sizeof text);
    return text;
}
}  // namespace

TEST(Log, TimestampHasHyphensInTheTime) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 4;
    t.tm_sec = 9;
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    FormatTimestamp(t, buffer);
    EXPECT_STREQ(buffer, "2024-03-05 07-04-09");
    // A year of five digits is cut at the 20-character buffer, never written past it.
    t.tm_year = 12345 - 1900;
    std::memset(buffer, 'x', sizeof buffer);
    FormatTimestamp(t, buffer);
    EXPECT_EQ(std::strlen(buffer), 19u);
    EXPECT_EQ(buffer[20], 'x');
}

TEST(Log, LineFormats) {
    TempFolder dir("log");
    std::string path = dir.File("log.txt");
    SetLogPath(path);
    LogMessage("Service started!");
    LogTraffic("10.0.0.7", 0, "", "plain %d", 1);
    LogTraffic("10.0.0.7", -1, "", "out");
    LogTraffic("10.0.0.7", 1, "Agent1", "in %s", "x");
    LogTraffic("L", 5, "T", "other direction");
    SetLogPath("");

    std::vector<std::string> expected = {
        " ***** Service started!",
        " 10.0.0.7 plain 1",
        " 10.0.0.7 OUT out",
        " 10.0.0.7 IN Agent1 in x",
        " L T other direction",
    };
    EXPECT_EQ(Unstamped(ReadFile(path)), expected);
}

TEST(Log, WithoutAPathNothingIsWritten) {
    SetLogPath("");
    ::testing::internal::CaptureStdout();
    LogMessage("lost");
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Couldn't open  for logging\n");
}

TEST(Log, ConcurrentAppendsKeepLinesWhole) {
    TempFolder dir("log");
    std::string path = dir.File("log.txt");
    SetLogPath(path);
    const int threads = 6, lines_per_thread = 150;
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([t] {
            for (int i = 0; i < lines_per_thread; ++i)
                LogTraffic("peer", i % 2 ? 1 : -1, "tag", "thread %d line %d %s", t, i, std::string(200, 'z').c_str());
        });
    for (auto& th : pool) th.join();
    SetLogPath("");

    std::vector<std::string> lines = Unstamped(ReadFile(path));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(threads * lines_per_thread));
    std::vector<int> next(threads, 0);
    for (const std::string& line : lines) {
        int t = -1, i = -1;
        char tail[256] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), " peer %*s tag thread %d line %d %255s", &t, &i, tail), 3) << line;
        ASSERT_TRUE(t >= 0 && t < threads) << line;
        EXPECT_EQ(i, next[t]++) << "lines of one thread stay in order";
        EXPECT_EQ(std::string(tail), std::string(200, 'z').substr(0, 255)) << line;
    }
}

namespace {
std::vector<ServiceStatusRecord> reports;
bool sinkResult = true;
bool Capture(const ServiceStatusRecord& r) {
    reports.push_back(r);
    return sinkResult;
}
}  // namespace

TEST(Status, CheckPointsRiseAcrossPendingPhases) {
    ResetServiceStatus();
    debugMode = false;
    SetStatusSink(Capture);
    reports.clear();
    EXPECT_TRUE(ReportStatus(kStartPending, 0, 3000));
    EXPECT_TRUE(ReportStatus(kRunning, 0, 0));
    EXPECT_TRUE(ReportStatus(kPausePending, 0, 3000));
    EXPECT_TRUE(ReportStatus(kPausePending, 0, 3000));
    EXPECT_TRUE(ReportStatus(kPaused, 0, 0));
    EXPECT_TRUE(ReportStatus(kStopPending, 0, 3000));
    EXPECT_TRUE(ReportStatus(kStopped, 1066, 0));
    sinkResult = false;
    EXPECT_FALSE(ReportStatus(kRunning, 0, 0));  // a refused report is said so
    sinkResult = true;

    struct Want { std::uint32_t state, controls, checkPoint, exitCode, waitHint; };
    const Want want[] = {
        {kStartPending, 0, 1, 0, 3000}, {kRunning, 3, 0, 0, 0},     {kPausePending, 3, 2, 0, 3000},
        {kPausePending, 3, 3, 0, 3000}, {kPaused, 3, 4, 0, 0},      {kStopPending, 3, 5, 0, 3000},
        {kStopped, 3, 0, 1066, 0},      {kRunning, 3, 0, 0, 0},
    };
    ASSERT_EQ(reports.size(), sizeof want / sizeof want[0]);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(reports[i].state, want[i].state);
        EXPECT_EQ(reports[i].controlsAccepted, want[i].controls);
        EXPECT_EQ(reports[i].checkPoint, want[i].checkPoint);
        EXPECT_EQ(reports[i].exitCode, want[i].exitCode);
        EXPECT_EQ(reports[i].waitHint, want[i].waitHint);
    }

    // In debug mode nothing reaches the sink and every report succeeds.
    debugMode = true;
    reports.clear();
    EXPECT_TRUE(SetStateAndReport(kStopPending, 0, 3000));
    EXPECT_TRUE(ReportStatus(kStopped, 0, 0));
    EXPECT_TRUE(reports.empty());
    SetStatusSink(nullptr);
    debugMode = false;
    ResetServiceStatus();
}

TEST(Status, TransitionsOnlyFromTheExpectedState) {
    ResetServiceStatus();
    debugMode = true;
    SetState(kRunning);
    EXPECT_FALSE(TransitionAndReport(kPaused, kContinuePending, 0, 3000));
    EXPECT_EQ(CurrentState(), kRunning);
    EXPECT_TRUE(TransitionAndReport(kRunning, kPausePending, 0, 3000));
    EXPECT_EQ(CurrentState(), kPausePending);
    debugMode = false;
    ResetServiceStatus();
}

TEST(CommandLine, Switches) {
    struct Case { std::vector<const char*> args; Command want; };
    const Case cases[] = {
        {{}, Command::Dispatch},
        {{"-install"}, Command::Install},
        {{"-INSTALL"}, Command::Install},
        {{"/install"}, Command::Install},
        {{"install"}, Command::Dispatch},
        {{"-Remove"}, Command::Remove},
        {{"/debug", "x", "y"}, Command::Debug},
        {{"-debugx"}, Command::Dispatch},
        {{"-"}, Command::Dispatch},
        {{"--install"}, Command::Dispatch},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("VeloraService")};
        for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        EXPECT_EQ(ParseCommand(static_cast<int>(argv.size() - 1), argv.data()), c.want)
            << (c.args.empty() ? "(none)" : c.args[0]);
    }
}

TEST(Listener, SocketErrorTexts) {
    EXPECT_STREQ(ListenErrorText(10013), "Permission denied.");
    EXPECT_STREQ(ListenErrorText(10037), "Operation already in progress.");
    EXPECT_STREQ(ListenErrorText(10047), "Address family not supported by protocol family.");
    EXPECT_STREQ(ListenErrorText(10048), "Address already in use.");
    EXPECT_STREQ(ListenErrorText(10049), "Cannot assign requested address.");
    EXPECT_STREQ(ListenErrorText(10054), "Error code");
}

TEST(Listener, PortInUseFailsWithTheOperatorsText) {
    ReservedPort port;
    NetSocket other = ListenOn(port);
    ASSERT_NE(other, 0u);
    SetErrorText("");
    {
        CListenServer server;
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(server.Start(port, true));
        std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(server.Find(port), nullptr);  // the failed entry is gone
        EXPECT_NE(out.find("Address already in use. (10048)"), std::string::npos) << out;
    }
    EXPECT_EQ(ErrorValue(), "Ошибка запуска сервера. Address already in use. (10048)");
    NetClose(other);
    SetErrorText("");
}

namespace {
std::mutex seenLock;
std::vector<CConnection> seen;
std::atomic<int> sessions{0};
int RecordSession(CConnection* c) {
    {
        std::lock_guard<std::mutex> lock(seenLock);
        seen.emplace_back();
        CConnection& copy = seen.back();
        copy.peer = c->peer;
        copy.listener = c->listener;
        copy.timeoutSec = c->timeoutSec;
        copy.timeoutUsec = c->timeoutUsec;
        std::strcpy(copy.peerText, c->PeerAddressText());
    }
    delete c;  // closes the connection: the client sees the end
    --sessions;
    return 0;
}
}  // namespace

TEST(Listener, AcceptsPausesAndKeepsTheBacklog) {
    ReservedPort port;
    auto server = std::make_unique<CListenServer>();
    server->SetSessionFunction(RecordSession);
    server->SetSessionCounter(&sessions);
    ASSERT_TRUE(server->Start(port, true));
    EXPECT_FALSE(server->Start(port, true));   // one entry per port
    EXPECT_FALSE(server->Listen(port));        // already running

    NetSocket a = Connect(port);
    ASSERT_NE(a, 0u);
    EXPECT_TRUE(ServiceAnswers(a, 3000));
    NetClose(a);

    ASSERT_TRUE(server->Pause(port, true));
    NetSocket b = Connect(port);  // waits in the backlog
    ASSERT_NE(b, 0u);
    EXPECT_FALSE(ServiceAnswers(b, 1200));
    ASSERT_TRUE(server->Pause(port, false));
    EXPECT_TRUE(ServiceAnswers(b, 3000));
    NetClose(b);
    EXPECT_TRUE(WaitUntil([] { return sessions.load() == 0; }, 3000));

    {
        std::lock_guard<std::mutex> lock(seenLock);
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_STREQ(seen[0].peerText, "127.0.0.1");
        EXPECT_EQ(seen[0].listener.port, port);
        EXPECT_EQ(seen[0].timeoutSec, 30);
        EXPECT_EQ(seen[0].timeoutUsec, 0);
        seen.clear();
    }
    EXPECT_FALSE(server->Pause(port + 1, true));  // no such listener
    server.reset();  // stops the accept thread and closes the port
    NetSocket c = Connect(port);
    EXPECT_EQ(c, 0u);
    NetClose(c);
}

TEST(Listener, StartWithoutListeningOpensNothing) {
    ReservedPort port;
    CListenServer server;
    ASSERT_TRUE(server.Start(port, false));
    ASSERT_NE(server.Find(port), nullptr);
    EXPECT_FALSE(server.Find(port)->running);
    NetSocket c = Connect(port);
    EXPECT_EQ(c, 0u);
    NetClose(c);
    server.SetTimeout(port, 1500);
    EXPECT_EQ(server.Find(port)->timeoutMs, 1500);
}
