// The service's run in-process, as debug mode runs it: start, the start failures, the
// configuration watch, pause and continue, and stop with sessions still running.
#include <gtest/gtest.h>

#include <algorithm>

#include <future>
#include <mutex>
#include <thread>

#include "host/service.h"
#include "host/status.h"
#include "params_env.h"
#include "platform/files.h"
#include "registry.h"
#include "support.h"

using namespace test;

namespace {
::testing::Environment* const env = ::testing::AddGlobalTestEnvironment(new ParamsEnvironment);

std::string ErrorValue() {
    char text[1024];
    GetErrorText(text, sizeof text);
    return text;
}

// The status reports as the SCM would receive them, for the runs that leave debug mode.
std::mutex reportsLock;
std::vector<ServiceStatusRecord> reports;
bool RecordReport(const ServiceStatusRecord& r) {
    std::lock_guard<std::mutex> lock(reportsLock);
    reports.push_back(r);
    return true;
}
std::vector<ServiceStatusRecord> Reports() {
    std::lock_guard<std::mutex> lock(reportsLock);
    return reports;
}
std::vector<std::uint32_t> CheckPointsOf(ServiceState state) {
    std::vector<std::uint32_t> out;
    for (const ServiceStatusRecord& r : Reports())
        if (r.state == state) out.push_back(r.checkPoint);
    return out;
}

// One run of ServiceStart on a thread of its own, in an exchange folder of its own.
class ServiceRun : public ::testing::Test {
protected:
    TempFolder exchange{"exchange"};
    std::thread service;
    ReservedPort port;

    void SetUp() override {
        debugMode = true;
        ResetServiceStatus();
        ResetConfigurationRecord();
        SetErrorText("");
        SetExchFolder(exchange.Path().c_str());
    }
    void TearDown() override {
        if (service.joinable()) {
            if (CurrentState() != kStopped) ServiceStop();
            service.join();
        }
        debugMode = true;
        SetStatusSink(nullptr);
        SetExchFolder("");
        SetErrorText("");
    }
    // From now on the reports go to RecordReport, as they would go to the SCM.
    void RecordReports() {
        {
            std::lock_guard<std::mutex> lock(reportsLock);
            reports.clear();
        }
        SetStatusSink(RecordReport);
        debugMode = false;
    }

    std::string Log() const { return exchange.File("log.txt"); }
    void WriteConfig(const std::string& xml) { ASSERT_TRUE(WriteFile(exchange.File("config.xml"), xml)); }

    void Start() { service = std::thread([] { ServiceStart(0, nullptr); }); }
    // Starts and waits for RUNNING, or for ServiceStart to give up.
    bool StartRunning() {
        Start();
        return WaitUntil([] { return CurrentState() == kRunning; }, 10000);
    }
    // The start that must fail: ServiceStart returns without reaching RUNNING.
    void ExpectStartFails(const std::string& error) {
        ServiceStart(0, nullptr);
        EXPECT_EQ(lastError.load(), kErrorServiceSpecific);
        EXPECT_EQ(ErrorValue(), error);
        EXPECT_NE(CurrentState(), kRunning);
        EXPECT_EQ(CountMessage(Log(), "Service started!"), 0);
        EXPECT_EQ(Connect(port), 0u) << "nothing may listen after a failed start";
    }
    void StopAndJoin() {
        ServiceStop();
        service.join();
    }
};
}  // namespace

TEST_F(ServiceRun, StartsServesAndStops) {
    WriteConfig(ConfigXml(port, Devices(2)));
    ASSERT_TRUE(StartRunning()) << ErrorValue();
    EXPECT_EQ(GetUserCount(), 2u);
    EXPECT_EQ(ErrorValue(), "");
    EXPECT_TRUE(FolderExists(exchange.File("PPC1")));
    EXPECT_TRUE(FolderExists(exchange.File("PPC2")));

    NetSocket client = Connect(port);
    ASSERT_NE(client, 0u);
    EXPECT_TRUE(ServiceAnswers(client, 5000));
    NetClose(client);

    StopAndJoin();
    EXPECT_EQ(CurrentState(), kStopped);
    EXPECT_EQ(lastError.load(), 0u);
    std::vector<std::string> expected = {"Try read Config.xml...", "Autodetect config is ON", "Service started!",
                                         "Stop service...", "Service stoped!", "Service stoped!"};
    EXPECT_EQ(LogMessages(Log()), expected);
    EXPECT_EQ(Connect(port), 0u) << "the listener is closed after the stop";
}

TEST_F(ServiceRun, FailsWithoutExchangeFolder) {
    SetExchFolder("");
    ExpectStartFails("Неизвестен путь к config.xml");
}

TEST_F(ServiceRun, FailsWithoutConfigXml) {
    ExpectStartFails("Файл не найден " + exchange.File("config.xml"));
}

TEST_F(ServiceRun, FailsOnUnparsableXml) {
    WriteConfig("<VeloraServer><PPC DEVICE_ID=\"1\" </VeloraServer>");
    ServiceStart(0, nullptr);
    EXPECT_EQ(lastError.load(), kErrorServiceSpecific);
    std::string error = ErrorValue();
    const std::string head = "Failed to load DOM from xml-file ";
    ASSERT_EQ(error.compare(0, head.size(), head), 0) << error;
    EXPECT_GT(error.size(), head.size() + 3) << "the parser's reason follows";
    std::vector<std::string> expected = {"Try read Config.xml...", "Error read Config.xml"};
    EXPECT_EQ(LogMessages(Log()), expected);
}

TEST_F(ServiceRun, FailsOnFaultyConfiguration) {
    std::vector<Device> devices = Devices(2);
    devices[1].folder = "ppc1";  // the same folder as PPC1, ignoring case
    WriteConfig(ConfigXml(port, devices));
    ExpectStartFails("config_error");
    std::string err = ReadFile(exchange.File("config.err"));
    EXPECT_NE(err.find("Одинаковый каталог 'PPC1'"), std::string::npos) << err;
    std::vector<std::string> expected = {"Try read Config.xml...", "Error user count"};
    EXPECT_EQ(LogMessages(Log()), expected);
}

TEST_F(ServiceRun, FailsWhenThePortIsTaken) {
    NetSocket other = ListenOn(port);
    ASSERT_NE(other, 0u);
    WriteConfig(ConfigXml(port, Devices(1)));
    ServiceStart(0, nullptr);
    EXPECT_EQ(lastError.load(), kErrorServiceSpecific);
    EXPECT_EQ(ErrorValue(), "Ошибка запуска сервера. Address already in use. (10048)");
    std::vector<std::string> expected = {"Try read Config.xml...", "Autodetect config is ON", "Error start service"};
    EXPECT_EQ(LogMessages(Log()), expected);
    NetClose(other);
}

TEST_F(ServiceRun, PortIsTakenAsSixteenBits) {
    WriteConfig(ConfigXml(port + 65536, Devices(1)));
    ASSERT_TRUE(StartRunning()) << ErrorValue();
    NetSocket client = Connect(port);
    EXPECT_NE(client, 0u);
    NetClose(client);
    StopAndJoin();
}

TEST_F(ServiceRun, TrailingSeparatorsOfTheFolder) {
    WriteConfig(ConfigXml(port, Devices(1)));
    // One trailing separator is dropped; of two, one stays in the folder sessions get.
    SetExchFolder((exchange.Path() + kPathSep).c_str());
    ASSERT_TRUE(LoadConfiguration()) << ErrorValue();
    EXPECT_EQ(ConfigSnapshot().exchangeFolder, exchange.Path());
    EXPECT_EQ(ConfigSnapshot().configPath, exchange.File("config.xml"));
    SetExchFolder((exchange.Path() + kPathSep + kPathSep).c_str());
    ASSERT_TRUE(LoadConfiguration()) << ErrorValue();
    EXPECT_EQ(ConfigSnapshot().exchangeFolder, exchange.Path() + kPathSep);
    EXPECT_EQ(ConfigSnapshot().configPath, exchange.File("config.xml"));
    EXPECT_EQ(CountMessage(Log(), "Try read Config.xml..."), 2);
    ClearConfiguration();
}

TEST_F(ServiceRun, PausedListenerAcceptsAfterContinue) {
    WriteConfig(ConfigXml(port, Devices(1)));
    ASSERT_TRUE(StartRunning()) << ErrorValue();
    ServicePause();
    EXPECT_EQ(CurrentState(), kPaused);
    EXPECT_FALSE(AutodetectActive());
    NetSocket client = Connect(port);  // the socket stays open: the client waits in the backlog
    ASSERT_NE(client, 0u);
    EXPECT_FALSE(ServiceAnswers(client, 1500));
    ServiceContinue();
    EXPECT_EQ(CurrentState(), kRunning);
    EXPECT_TRUE(AutodetectActive());
    EXPECT_TRUE(ServiceAnswers(client, 5000));
    NetClose(client);
    StopAndJoin();
}

TEST_F(ServiceRun, StopWaitsForRunningSessions) {
    WriteConfig(ConfigXml(port, Devices(1)));
    ASSERT_TRUE(StartRunning()) << ErrorValue();
    activeSessions += 3;  // three sessions still talking to their handhelds
    std::thread stopper(ServiceStop);
    ASSERT_TRUE(WaitUntil([] { return CurrentState() == kStopPending; }, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(CurrentState(), kStopPending);
    NetSocket late = Connect(port);  // waits in the backlog, never accepted
    EXPECT_FALSE(late && ServiceAnswers(late, 1000));
    NetClose(late);
    activeSessions -= 3;
    EXPECT_TRUE(WaitUntil([] { return CurrentState() == kStopped; }, 4000));
    stopper.join();
    service.join();
    EXPECT_EQ(CountMessage(Log(), "Service stoped!"), 2);
}

TEST_F(ServiceRun, WatchReloadsAChangedFileAndStopsOnAFaultyOne) {
    WriteConfig(ConfigXml(port, Devices(2)));
    ASSERT_TRUE(StartRunning()) << ErrorValue();
    ASSERT_EQ(GetUserCount(), 2u);

    WriteConfig(ConfigXml(port, Devices(3)));
    // The first tick comes 5 s after the load, the next 5 s later.
    ASSERT_TRUE(WaitUntil([] { return GetUserCount() == 3u; }, 12000));
    EXPECT_EQ(CountMessage(Log(), "New config detected!"), 1);
    EXPECT_EQ(CurrentState(), kRunning);
    EXPECT_EQ(config.Devices()->Count(), 3);

    std::vector<Device> faulty = Devices(2);
    faulty[1].id = faulty[0].id;
    WriteConfig(ConfigXml(port, faulty));
    ASSERT_TRUE(WaitUntil([] { return CurrentState() == kStopped; }, 15000));
    service.join();
    EXPECT_EQ(ErrorValue(), "config_error");
    EXPECT_EQ(lastError.load(), kErrorServiceSpecific);
    EXPECT_NE(ReadFile(exchange.File("config.err")).find("Повторяющийся идентификтатор КПК"), std::string::npos);
    std::vector<std::string> log = LogMessages(Log());
    std::vector<std::string> tail(log.end() - 5, log.end());
    std::vector<std::string> expected = {"Try read Config.xml...", "Error user count", "Stop service...",
                                         "Service stoped!", "Service stoped!"};
    EXPECT_EQ(tail, expected);
}

// Reloads while clients connect and readers look the device table up, as authorization
// does: every reader sees a whole table, and nothing crashes (this runs under ThreadSanitizer).
TEST_F(ServiceRun, ReloadWhileSessionsRun) {
    WriteConfig(ConfigXml(port, Devices(2)));
    ASSERT_TRUE(StartRunning()) << ErrorValue();
    std::atomic<bool> done{false};
    std::atomic<int> answered{0}, badTables{0}, missingTables{0};
    std::vector<std::thread> pool;
    for (int i = 0; i < 3; ++i)
        pool.emplace_back([&] {
            while (!done) {
                NetSocket c = Connect(port);
                if (c && ServiceAnswers(c, 3000)) ++answered;
                NetClose(c);
            }
        });
    pool.emplace_back([&] {
        while (!done) {
            auto table = config.Devices();
            if (!table) {  // a handheld authorizing now would be refused
                ++missingTables;
                continue;
            }
            int n = table->Count();
            if (n < 2 || n > 3 || table->agentNames.size() != static_cast<std::size_t>(n) ||
                table->directories[n - 1] != "PPC" + std::to_string(n))
                ++badTables;
        }
    });
    for (int round = 0; round < 12; ++round) {
        WriteConfig(ConfigXml(port, Devices(2 + round % 2)));
        CheckConfigChanged();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    done = true;
    for (auto& t : pool) t.join();
    EXPECT_EQ(CurrentState(), kRunning);
    EXPECT_EQ(badTables.load(), 0);
    EXPECT_EQ(missingTables.load(), 0) << "a reload left the device table empty for a while";
    EXPECT_GT(answered.load(), 0);
    EXPECT_EQ(GetUserCount(), 3u);
    EXPECT_GE(CountMessage(Log(), "New config detected!"), 11);
    StopAndJoin();
}

TEST_F(ServiceRun, PauseWaitsForRunningSessionsReReportingPausePending) {
    WriteConfig(ConfigXml(port, Devices(1)));
    ASSERT_TRUE(StartRunning()) << ErrorValue();
    RecordReports();
    activeSessions += 2;  // two sessions still talking to their handhelds
    std::thread pauser(ServicePause);
    ASSERT_TRUE(WaitUntil([] { return CurrentState() == kPausePending; }, 5000));
    // Re-reported with rising check points for as long as the sessions run.
    EXPECT_TRUE(WaitUntil([] { return CheckPointsOf(kPausePending).size() >= 3; }, 15000));
    EXPECT_EQ(CurrentState(), kPausePending);
    std::vector<std::uint32_t> points = CheckPointsOf(kPausePending);
    for (std::size_t i = 1; i < points.size(); ++i) EXPECT_GT(points[i], points[i - 1]);
    NetSocket late = Connect(port);  // waits in the backlog
    ASSERT_NE(late, 0u);
    EXPECT_FALSE(ServiceAnswers(late, 1000));
    activeSessions -= 2;
    EXPECT_TRUE(WaitUntil([] { return CurrentState() == kPaused; }, 10000));
    pauser.join();
    std::vector<ServiceStatusRecord> all = Reports();
    // The pause ends in PAUSED with no wait hint; the main loop's once-a-second report of the
    // steady state (wait hint 3000) may follow it.
    auto paused = std::find_if(all.begin(), all.end(), [](const ServiceStatusRecord& r) {
        return r.state == static_cast<std::uint32_t>(kPaused);
    });
    ASSERT_NE(paused, all.end());
    EXPECT_EQ(paused->waitHint, 0u);
    EXPECT_TRUE(std::all_of(paused, all.end(), [](const ServiceStatusRecord& r) {
        return r.state == static_cast<std::uint32_t>(kPaused);
    })) << "a pending state reported after PAUSED";
    ServiceContinue();
    EXPECT_TRUE(ServiceAnswers(late, 5000));
    NetClose(late);
    StopAndJoin();
}

// The control handler's mapping: shutdown stops as stop does, without waiting for the
// sessions itself; interrogate and unknown codes change nothing.
TEST_F(ServiceRun, ShutdownControlStopsLikeStop) {
    WriteConfig(ConfigXml(port, Devices(1)));
    ASSERT_TRUE(StartRunning()) << ErrorValue();
    HandleServiceControl(kControlInterrogate);
    HandleServiceControl(200);
    EXPECT_EQ(CurrentState(), kRunning);

    activeSessions += 1;
    auto handled = std::async(std::launch::async, [] { HandleServiceControl(kControlShutdown); });
    EXPECT_EQ(handled.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "the handler waited for the sessions";
    EXPECT_TRUE(WaitUntil([] { return CurrentState() == kStopPending; }, 5000));
    activeSessions -= 1;
    ASSERT_TRUE(WaitUntil([] { return CurrentState() == kStopped; }, 10000));
    service.join();
    std::vector<std::string> log = LogMessages(Log());
    std::vector<std::string> tail(log.end() - 3, log.end());
    std::vector<std::string> expected = {"Stop service...", "Service stoped!", "Service stoped!"};
    EXPECT_EQ(tail, expected);
}

TEST_F(ServiceRun, PortDefaultsTo5555WhenAbsentOrBelowOne) {
    struct Case {
        const char* name;
        std::string attribute;  // replaces PortExternal="1"
        int port;
    } cases[] = {
        {"absent", "", 5555}, {"zero", "PortExternal=\"0\"", 5555}, {"negative", "PortExternal=\"-5\"", 5555},
        {"one", "PortExternal=\"1\"", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string xml = ConfigXml(1, Devices(1));
        xml.replace(xml.find("PortExternal=\"1\""), 16, c.attribute);
        WriteConfig(xml);
        ASSERT_TRUE(LoadConfiguration()) << ErrorValue();
        EXPECT_EQ(ConfigSnapshot().port, c.port);
        ClearConfiguration();
    }
}
