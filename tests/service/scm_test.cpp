// VeloraService.exe under the real Service Control Manager (Wine): install, start, the start
// failures, pause and continue, the configuration watch, stop and remove.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/net.h"
#include "support.h"

using namespace test;

namespace {
const char* kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\VeloraService";
const char* kParamsKey = "SYSTEM\\CurrentControlSet\\Services\\VeloraService\\Parameters";
const char* kExchangeKey = "SYSTEM\\CurrentControlSet\\Services\\VeloraService\\Parameters\\Exchange";

std::string ExePath() {
    std::string p = VELORA_SERVICE_EXE;
    if (!p.empty() && p[0] == '/') p = "Z:" + p;  // Wine shows the Linux root as Z:
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs the service program with `args` and collects what it prints.
RunResult RunProgram(const std::string& args) {
    RunResult r;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return r;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + ExePath() + "\" " + args;
    BOOL ok = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (ok) {
        // Read what is there until the program has ended and the pipe is drained; a reader
        // waiting for the end of the pipe hangs when some other process holds its write end.
        char buffer[512];
        DWORD n, available, start = GetTickCount();
        bool ended = false, drained = false;
        while (!drained) {
            for (;;) {
                BOOL peeked = PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr);
                if (peeked && available == 0) break;
                // Data waiting, or a pipe without writers (Wine then fails the peek even with
                // data left in it): the read cannot block.
                if (!ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) || n == 0) {
                    drained = true;
                    break;
                }
                r.output.append(buffer, n);
            }
            if (ended || GetTickCount() - start > 60000) break;
            ended = WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0;
        }
        WaitForSingleObject(pi.hProcess, 10000);
        GetExitCodeProcess(pi.hProcess, &r.exitCode);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    // The console's text mode writes CR LF; compare the lines themselves.
    std::string lines;
    for (char c : r.output)
        if (c != '\r') lines.push_back(c);
    r.output = lines;
    return r;
}

// Runs a Unix shell command (Wine starts Unix programs named by their path) that ends by
// writing "exit=<code>" into `resultFile` (a Unix path); returns what it wrote, or "" when it
// did not end within `ms`.
std::string RunShell(const std::string& command, const std::string& resultFile, int ms) {
    std::string line = "/bin/sh -c \"" + command + "; echo exit=$? >>'" + resultFile + "'\"";
    std::string windowsPath = "Z:" + resultFile;
    for (char& c : windowsPath)
        if (c == '/') c = '\\';
    DeleteFileA(windowsPath.c_str());
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return "";
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::string text;
    WaitUntil([&] { return (text = ReadFile(windowsPath)).find("exit=") != std::string::npos; }, ms);
    DeleteFileA(windowsPath.c_str());
    return text;
}

int CountOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::string RegString(const char* key, const char* name, DWORD* type = nullptr, DWORD* bytes = nullptr) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 2, t = 0;
    LONG rc = RegQueryValueExA(h, name, nullptr, &t, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return "<no value>";
    if (type) *type = t;
    if (bytes) *bytes = size;
    return std::string(buffer, t == REG_MULTI_SZ ? size : std::strlen(buffer));
}

DWORD RegDword(const char* key, const char* name) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return 0xFFFFFFFF;
    DWORD v = 0xFFFFFFFF, size = sizeof v;
    RegQueryValueExA(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
    RegCloseKey(h);
    return v;
}

void SetExchangeFolder(const std::string& folder) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kExchangeKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    if (folder.empty())
        RegDeleteValueA(h, "ExchFolder");
    else
        RegSetValueExA(h, "ExchFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(h);
}

std::string ErrorValue() { return RegString(kParamsKey, "Error"); }

void SetErrorValue(const std::string& text) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kParamsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(h, "Error", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(h);
}

class Scm {
public:
    Scm() { manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }
    ~Scm() {
        if (service_) CloseServiceHandle(service_);
        if (manager_) CloseServiceHandle(manager_);
    }
    bool Open() {
        if (!service_) service_ = OpenServiceA(manager_, "VeloraService", SERVICE_ALL_ACCESS);
        return service_ != nullptr;
    }
    SERVICE_STATUS_PROCESS Status() {
        SERVICE_STATUS_PROCESS s{};
        DWORD needed;
        if (Open()) QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&s), sizeof s, &needed);
        return s;
    }
    bool WaitState(DWORD state, int ms) {
        return WaitUntil([&] { return Status().dwCurrentState == state; }, ms);
    }
    // StartService, retried while the previous run's process is still on its way out.
    bool Start() {
        if (!Open()) return false;
        for (int i = 0; i < 50; ++i) {
            if (StartServiceA(service_, 0, nullptr)) return true;
            DWORD error = GetLastError();
            if (error != ERROR_SERVICE_ALREADY_RUNNING && error != ERROR_SERVICE_REQUEST_TIMEOUT) return false;
            Sleep(200);
        }
        return false;
    }
    bool Control(DWORD code) {
        SERVICE_STATUS s;
        return Open() && ControlService(service_, code, &s);
    }
    SC_HANDLE Handle() { return Open() ? service_ : nullptr; }

private:
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
};

// Removes a service left over from an interrupted run.
void RemoveLeftover() {
    Scm scm;
    if (!scm.Open()) return;
    scm.Control(SERVICE_CONTROL_STOP);
    scm.WaitState(SERVICE_STOPPED, 15000);
    DeleteService(scm.Handle());
}

class ServiceUnderScm : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        NetStartup();
        RemoveLeftover();
    }
    static void TearDownTestSuite() {
        RemoveLeftover();
        NetCleanup();
    }

    TempFolder exchange{"scm"};
    ReservedPort port;
    Scm scm;

    void SetUp() override { SetExchangeFolder(exchange.Path()); }
    std::string Log() const { return exchange.File("log.txt"); }
    void WriteConfig(const std::string& xml) { ASSERT_TRUE(WriteFile(exchange.File("config.xml"), xml)); }
    void Install() {
        if (scm.Open()) return;
        RunResult r = RunProgram("-install");
        ASSERT_EQ(r.output, "Velora Service installed.\n");
    }
    void StartRunning() {
        Install();
        ASSERT_TRUE(scm.Start()) << GetLastError();
        ASSERT_TRUE(scm.WaitState(SERVICE_RUNNING, 20000)) << ErrorValue();
    }
    // Stops the service and waits until its process has gone: Wine refuses a start of the
    // next test's service (1053) while the last process is still on its way out.
    void StopService() {
        DWORD pid = scm.Status().dwProcessId;
        HANDLE process = pid ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
        ASSERT_TRUE(scm.Control(SERVICE_CONTROL_STOP));
        EXPECT_TRUE(scm.WaitState(SERVICE_STOPPED, 20000));
        if (process) {
            EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0) << "the service's process did not end";
            CloseHandle(process);
        }
    }
    // The start that fails: STOPPED with exit code 1066 and `error` in the Error value.
    // The Error value is marked first: a STOPPED state left by the previous run must not pass for
    // this one (Wine may answer StartService before the new process has reported anything).
    void ExpectStartFails(const std::string& error) {
        Install();
        const std::string mark = "<not started>";
        SetErrorValue(mark);
        scm.Start();
        ASSERT_TRUE(WaitUntil([&] { return scm.Status().dwCurrentState == SERVICE_STOPPED && ErrorValue() != mark; },
                              20000))
            << "state " << scm.Status().dwCurrentState << ", Error " << ErrorValue();
        EXPECT_EQ(scm.Status().dwWin32ExitCode, 1066u);
        if (!error.empty()) {
            EXPECT_EQ(ErrorValue(), error);
        }
        EXPECT_EQ(CountMessage(Log(), "Service started!"), 0);
    }
};
}  // namespace

TEST_F(ServiceUnderScm, InstallRegistersTheService) {
    RunResult r = RunProgram("-INSTALL");
    EXPECT_EQ(r.exitCode, 0u);
    ASSERT_EQ(r.output, "Velora Service installed.\n");

    DWORD type = 0, bytes = 0;
    EXPECT_EQ(RegString(kServiceKey, "Description", &type, &bytes), "Velora СОД");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, 11u);
    EXPECT_EQ(RegString(kServiceKey, "DependOnService", &type), std::string("TCPIP\0\0", 7));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));

    ASSERT_TRUE(scm.Open());
    BYTE buffer[8192];
    DWORD needed;
    ASSERT_TRUE(QueryServiceConfigA(scm.Handle(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer), sizeof buffer, &needed));
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
    EXPECT_EQ(c->dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(c->dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(c->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_STREQ(c->lpDisplayName, "Velora Service");
    EXPECT_EQ(lstrcmpiA(c->lpServiceStartName, "LocalSystem"), 0) << c->lpServiceStartName;
    EXPECT_NE(std::string(c->lpBinaryPathName).find("VeloraService.exe"), std::string::npos);

    // A second install is refused with the system's reason.
    r = RunProgram("/install");
    EXPECT_EQ(r.output.rfind("CreateService failed - ", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("(0x431)"), std::string::npos) << r.output;
}

TEST_F(ServiceUnderScm, StartsServesAndStops) {
    WriteConfig(ConfigXml(port, Devices(2)));
    StartRunning();
    EXPECT_EQ(RegDword(kExchangeKey, "UserCount"), 2u);
    EXPECT_EQ(ErrorValue(), "");
    std::vector<std::string> started = {"Try read Config.xml...", "Autodetect config is ON", "Service started!"};
    EXPECT_EQ(LogMessages(Log()), started);

    NetSocket client = Connect(port);
    ASSERT_NE(client, 0u);
    EXPECT_TRUE(ServiceAnswers(client, 5000));
    NetClose(client);

    StopService();
    EXPECT_EQ(scm.Status().dwWin32ExitCode, 0u);
    std::vector<std::string> all = started;
    for (const char* m : {"Stop service...", "Service stoped!", "Service stoped!"}) all.push_back(m);
    EXPECT_TRUE(WaitUntil([&] { return LogMessages(Log()) == all; }, 5000)) << ReadFile(Log());
}

TEST_F(ServiceUnderScm, PausedServiceAcceptsAfterContinue) {
    WriteConfig(ConfigXml(port, Devices(1)));
    StartRunning();
    ASSERT_TRUE(scm.Control(SERVICE_CONTROL_PAUSE));
    ASSERT_TRUE(scm.WaitState(SERVICE_PAUSED, 10000));
    NetSocket client = Connect(port);  // waits in the backlog while paused
    ASSERT_NE(client, 0u);
    EXPECT_FALSE(ServiceAnswers(client, 1500));
    ASSERT_TRUE(scm.Control(SERVICE_CONTROL_CONTINUE));
    ASSERT_TRUE(scm.WaitState(SERVICE_RUNNING, 10000));
    EXPECT_TRUE(ServiceAnswers(client, 5000));
    NetClose(client);
    StopService();
}

TEST_F(ServiceUnderScm, PauseWaitsForARunningSession) {
    WriteConfig(ConfigXml(port, Devices(1)));
    StartRunning();
    NetSocket handheld = Connect(port);  // has the greeting and says nothing: its session runs
    ASSERT_NE(handheld, 0u);
    ASSERT_TRUE(ServiceAnswers(handheld, 10000));
    ASSERT_TRUE(scm.Control(SERVICE_CONTROL_PAUSE));
    ASSERT_TRUE(scm.WaitState(SERVICE_PAUSE_PENDING, 10000));
    // Re-reported with a rising check point for as long as the session runs.
    DWORD first = scm.Status().dwCheckPoint;
    EXPECT_TRUE(WaitUntil(
        [&] {
            SERVICE_STATUS_PROCESS s = scm.Status();
            return s.dwCurrentState == SERVICE_PAUSE_PENDING && s.dwCheckPoint >= first + 2;
        },
        15000))
        << "state " << scm.Status().dwCurrentState << ", check point " << scm.Status().dwCheckPoint;
    EXPECT_EQ(scm.Status().dwCurrentState, static_cast<DWORD>(SERVICE_PAUSE_PENDING));
    NetClose(handheld);  // the handheld goes away: its session ends
    EXPECT_TRUE(scm.WaitState(SERVICE_PAUSED, 15000));
    ASSERT_TRUE(scm.Control(SERVICE_CONTROL_CONTINUE));
    ASSERT_TRUE(scm.WaitState(SERVICE_RUNNING, 10000));
    StopService();
}

TEST_F(ServiceUnderScm, StartFailuresLeaveTheirTextAndExitCode) {
    {
        SCOPED_TRACE("no exchange folder");
        SetExchangeFolder("");
        ExpectStartFails("Неизвестен путь к config.xml");
        SetExchangeFolder(exchange.Path());
    }
    {
        SCOPED_TRACE("no config.xml");
        ExpectStartFails("Файл не найден " + exchange.File("config.xml"));
    }
    {
        SCOPED_TRACE("unparsable XML");
        WriteConfig("<VeloraServer><PPC DEVICE_ID=\"1\" </VeloraServer>");
        ExpectStartFails("");
        std::string error = ErrorValue();
        const std::string head = "Failed to load DOM from xml-file ";
        EXPECT_EQ(error.compare(0, head.size(), head), 0) << error;
        EXPECT_GT(error.size(), head.size() + 3) << "the parser's reason follows";
    }
    {
        SCOPED_TRACE("faulty configuration");
        std::vector<Device> devices = Devices(2);
        devices[1].agent = "agent1";
        WriteConfig(ConfigXml(port, devices));
        ExpectStartFails("config_error");
        EXPECT_NE(ReadFile(exchange.File("config.err")).find("Одинаковое имя агента 'Agent1'"), std::string::npos);
    }
    {
        SCOPED_TRACE("port in use");
        NetSocket other = ListenOn(port);
        ASSERT_NE(other, 0u);
        WriteConfig(ConfigXml(port, Devices(1)));
        ExpectStartFails("Ошибка запуска сервера. Address already in use. (10048)");
        NetClose(other);
    }
}

// The console program says why it could not start and fails; the SCM is not involved.
TEST_F(ServiceUnderScm, DebugRunThatCannotStartPrintsTheErrorText) {
    struct Case {
        const char* name;
        const char* configXml;  // nullptr: no config.xml
        std::string line;
    };
    std::vector<Device> twins = Devices(2);
    twins[1].agent = "agent1";
    const std::string twinsXml = ConfigXml(port, twins);
    const Case cases[] = {
        {"no config.xml", nullptr, "Файл не найден " + exchange.File("config.xml") + "\n"},
        {"faulty device table", twinsXml.c_str(),
         "config_error\nThe faults of config.xml are listed in " + exchange.File("config.err") + ".\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(exchange.File("config.xml").c_str());
        if (c.configXml) WriteConfig(c.configXml);
        RunResult r = RunProgram("-debug");
        EXPECT_EQ(r.exitCode, 1u) << r.output;
        EXPECT_NE(r.output.find("Debugging Velora Service.\n"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("\nVelora Service ended with an error: " + c.line), std::string::npos) << r.output;
    }
}

TEST_F(ServiceUnderScm, WatchReloadsAndAFaultyReloadStops) {
    WriteConfig(ConfigXml(port, Devices(2)));
    StartRunning();
    WriteConfig(ConfigXml(port, Devices(3)));
    ASSERT_TRUE(WaitUntil([] { return RegDword(kExchangeKey, "UserCount") == 3u; }, 15000));
    EXPECT_EQ(CountMessage(Log(), "New config detected!"), 1);
    EXPECT_EQ(scm.Status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

    std::vector<Device> faulty = Devices(2);
    faulty[1].folder = "a\\b";
    WriteConfig(ConfigXml(port, faulty));
    ASSERT_TRUE(scm.WaitState(SERVICE_STOPPED, 20000));
    EXPECT_EQ(scm.Status().dwWin32ExitCode, 1066u);
    EXPECT_EQ(ErrorValue(), "config_error");
    EXPECT_NE(ReadFile(exchange.File("config.err")).find("Имя каталога 'a\\b' не должно включать путь"), std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return CountMessage(Log(), "Service stoped!") == 2; }, 5000));
}

TEST_F(ServiceUnderScm, RemoveStopsARunningServiceAndDeletesIt) {
    WriteConfig(ConfigXml(port, Devices(1)));
    StartRunning();
    RunResult r = RunProgram("-remove");
    EXPECT_EQ(r.output.rfind("Stopping Velora Service.", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("\nVelora Service stopped.\nVelora Service removed.\n"), std::string::npos) << r.output;
}

TEST_F(ServiceUnderScm, RemoveOfAStoppedServiceSaysNoStopping) {
    Install();
    RunResult r = RunProgram("-remove");
    EXPECT_EQ(r.output, "Velora Service removed.\n");
    Scm fresh;
    EXPECT_FALSE(fresh.Open());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    r = RunProgram("-remove");
    EXPECT_EQ(r.output.rfind("OpenService failed - ", 0), 0u) << r.output;
}

// Started from a console instead of by the SCM, the dispatcher call fails, and that failure is
// the one entry the event log gets; the program still ends with 0. Wine keeps no event log: it
// writes each entry's strings to its "eventlog" debug channel, which the shell keeps here.
TEST_F(ServiceUnderScm, DispatcherFailureIsWrittenToTheEventLog) {
    const std::string file = "/tmp/velora-eventlog-" + std::to_string(GetCurrentProcessId()) + ".txt";
    std::string text = RunShell("WINEDEBUG=-all,err+eventlog wine '" + std::string(VELORA_SERVICE_EXE) +
                                    "' >/dev/null 2>'" + file + "' </dev/null",
                                file, 60000);
    EXPECT_NE(text.find("exit=0"), std::string::npos) << text;
    const std::string first = "err:eventlog:ReportEventW L\"VeloraService error: 1063\"";
    const std::string second = "err:eventlog:ReportEventW L\"StartServiceCtrlDispatcher failed.\"";
    EXPECT_EQ(CountOf(text, "err:eventlog:"), 2) << text;
    ASSERT_NE(text.find(first), std::string::npos) << text;
    EXPECT_GT(text.find(second), text.find(first)) << text;
}

// Debug mode in a console of its own: Ctrl+C there stops the run as a stop request does, and
// the program ends with 0. This program joins that console only to send the event, and
// ignores the event itself.
TEST_F(ServiceUnderScm, CtrlCStopsTheDebugConsole) {
    WriteConfig(ConfigXml(port, Devices(1)));
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &sa, 1 << 16));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + ExePath() + "\" -debug";
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr, &si,
                               &pi))
        << GetLastError();
    CloseHandle(writeEnd);
    // What it prints, collected as it comes (the console may keep the pipe open after the end).
    std::string output;
    auto collect = [&] {
        DWORD available = 0;
        char buffer[512];
        DWORD n = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ReadFile(readEnd, buffer, sizeof buffer < available ? sizeof buffer : available, &n, nullptr) && n > 0)
            output.append(buffer, n);
    };
    EXPECT_TRUE(WaitUntil([&] { collect(); return CountMessage(Log(), "Service started!") == 1; }, 30000))
        << ReadFile(Log()) << output;

    FreeConsole();
    EXPECT_TRUE(AttachConsole(pi.dwProcessId)) << GetLastError();
    SetConsoleCtrlHandler(nullptr, TRUE);
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    FreeConsole();
    bool ended = WaitUntil([&] { collect(); return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 30000);
    if (!ended) {
        ADD_FAILURE() << "the debug run did not end after Ctrl+C";
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    collect();
    DWORD exitCode = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    SetConsoleCtrlHandler(nullptr, FALSE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(readEnd);

    EXPECT_EQ(exitCode, 0u);
    EXPECT_NE(output.find("Debugging Velora Service."), std::string::npos) << output;
    EXPECT_NE(output.find("Stopping Velora Service."), std::string::npos) << output;
    std::vector<std::string> expected = {"Try read Config.xml...", "Autodetect config is ON", "Service started!",
                                         "Stop service...", "Service stoped!", "Service stoped!"};
    EXPECT_EQ(LogMessages(Log()), expected);
}
