#include "tool_process.h"

#include "platform/net.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {
std::string ReadAll(const std::string& path) {
    std::string out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

std::string TempOutput(const char* stem) {
    static int counter = 0;
    return (std::filesystem::temp_directory_path() /
            (std::string(stem) + std::to_string(static_cast<long long>(std::chrono::steady_clock::now()
                                                                          .time_since_epoch().count())) +
             "-" + std::to_string(counter++) + ".txt"))
        .string();
}

#ifdef _WIN32
std::string WinPath(std::string p) {
    if (!p.empty() && p[0] == '/') p = "Z:" + p;  // Wine shows the Linux root as Z:
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

ToolResult Run(const std::string& exe, const std::vector<std::string>& args, DWORD waitMs) {
    ToolResult r;
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
    std::string command = "\"" + WinPath(exe) + "\"";
    for (const std::string& a : args) command += " \"" + a + "\"";
    BOOL ok = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (ok) {
        char buffer[4096];
        DWORD n;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) r.output.append(buffer, n);
        if (WaitForSingleObject(pi.hProcess, waitMs) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        r.exitCode = static_cast<int>(code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    return r;
}

DWORD ServiceState(SC_HANDLE s) {
    SERVICE_STATUS_PROCESS st{};
    DWORD needed;
    if (!QueryServiceStatusEx(s, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&st), sizeof st, &needed))
        return 0;
    return st.dwCurrentState;
}

bool WaitState(SC_HANDLE s, DWORD state, int ms) {
    for (int waited = 0; waited < ms; waited += 100) {
        if (ServiceState(s) == state) return true;
        Sleep(100);
    }
    return ServiceState(s) == state;
}

#else
ToolResult Run(const std::string& exe, const std::vector<std::string>& args, int waitMs) {
    ToolResult r;
    std::string out = TempOutput("velora-tool-");
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    bool spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned) return r;
    int status = 0;
    for (int waited = 0;; waited += 50) {
        if (waitpid(pid, &status, WNOHANG) == pid) break;
        if (waited >= waitMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.output = ReadAll(out);
    std::remove(out.c_str());
    return r;
}
#endif
}  // namespace

ToolResult RunHandheldTool(const std::vector<std::string>& args) { return Run(VELORA_HANDHELD_EXE, args, 120000); }

void UseParamsFileIn(const std::string& folder) {
#ifndef _WIN32
    setenv("VELORA_PARAMS", (std::filesystem::path(folder) / "params.ini").c_str(), 1);
#else
    (void)folder;
#endif
}

ServiceProcess::ServiceProcess() : outPath(TempOutput("velora-service-")) {}

ServiceProcess::~ServiceProcess() {
    if (running) Stop();
    std::remove(outPath.c_str());
}

std::string ServiceProcess::Output() const { return ReadAll(outPath); }

#ifdef _WIN32
bool ServiceProcess::Start() {
    // A service left by an earlier run is used as it is (stopped first); otherwise it is
    // installed. Wine removes a deleted entry a little later, so installing is retried.
    SC_HANDLE m = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE s = nullptr;
    ToolResult install;
    for (int i = 0; m && i < 30 && !s; ++i) {
        s = OpenServiceA(m, "VeloraService", SERVICE_ALL_ACCESS);
        if (s) break;
        install = Run(VELORA_SERVICE_EXE, {"-install"}, 60000);
        s = OpenServiceA(m, "VeloraService", SERVICE_ALL_ACCESS);
        if (!s) Sleep(300);
    }
    if (s && ServiceState(s) != SERVICE_STOPPED) {
        SERVICE_STATUS st;
        ControlService(s, SERVICE_CONTROL_STOP, &st);
        WaitState(s, SERVICE_STOPPED, 60000);
    }
    bool started = false;
    for (int i = 0; s && i < 60 && !started; ++i) {
        started = StartServiceA(s, 0, nullptr) != 0;
        DWORD e = started ? 0 : GetLastError();
        // The previous run's process is still on its way out, or the database is busy.
        if (!started && e != ERROR_SERVICE_ALREADY_RUNNING && e != ERROR_SERVICE_DATABASE_LOCKED &&
            e != ERROR_SERVICE_REQUEST_TIMEOUT)
            break;
        if (!started) Sleep(e == ERROR_SERVICE_REQUEST_TIMEOUT ? 1000 : 200);
    }
    std::string why = s ? (started ? "" : "StartService failed: " + std::to_string(GetLastError()) + "\n")
                        : std::string(m ? "OpenService" : "OpenSCManager") + " failed: " +
                              std::to_string(GetLastError()) + "\n";
    bool ok = started && WaitState(s, SERVICE_RUNNING, 30000);
    if (started && !ok) why = "state " + std::to_string(ServiceState(s)) + "\n";
    install.output += why;
    if (s) CloseServiceHandle(s);
    if (m) CloseServiceHandle(m);
    if (FILE* f = std::fopen(outPath.c_str(), "wb")) {
        std::fwrite(install.output.data(), 1, install.output.size(), f);
        std::fclose(f);
    }
    running = ok;
    return ok;
}

bool ServiceProcess::Stop() {
    SC_HANDLE m = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE s = m ? OpenServiceA(m, "VeloraService", SERVICE_ALL_ACCESS) : nullptr;
    // The process is waited for too: a start of the next test while the last process is on
    // its way out is refused by Wine, and its late log lines would land in the next test.
    SERVICE_STATUS_PROCESS sp{};
    DWORD needed = 0;
    HANDLE process = nullptr;
    if (s && QueryServiceStatusEx(s, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&sp), sizeof sp, &needed) &&
        sp.dwProcessId)
        process = OpenProcess(SYNCHRONIZE, FALSE, sp.dwProcessId);
    SERVICE_STATUS st;
    bool controlled = s && ControlService(s, SERVICE_CONTROL_STOP, &st);
    if (s && !controlled)
        std::fprintf(stderr, "stop: ControlService failed %lu, state %lu\n", GetLastError(), ServiceState(s));
    bool ok = controlled && WaitState(s, SERVICE_STOPPED, 60000);
    if (process) {
        if (ok && WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) ok = false;
        CloseHandle(process);
    }
    if (s) CloseServiceHandle(s);
    if (m) CloseServiceHandle(m);
    Run(VELORA_SERVICE_EXE, {"-remove"}, 60000);
    running = false;
    return ok;
}
#else
bool ServiceProcess::Start() {
    std::vector<char*> argv{const_cast<char*>(VELORA_SERVICE_EXE), const_cast<char*>("-debug"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t p = 0;
    running = posix_spawn(&p, VELORA_SERVICE_EXE, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    pid = p;
    return running;
}

bool ServiceProcess::Stop() {
    if (!running) return false;
    running = false;
    kill(static_cast<pid_t>(pid), SIGINT);
    int status = 0;
    for (int waited = 0; waited < 60000; waited += 50) {
        if (waitpid(static_cast<pid_t>(pid), &status, WNOHANG) == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(static_cast<pid_t>(pid), SIGKILL);
    waitpid(static_cast<pid_t>(pid), &status, 0);
    return false;
}
#endif
