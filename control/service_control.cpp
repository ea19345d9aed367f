#include "service_control.h"

#include "app.h"
#include "message_box.h"
#include "service_values.h"
#include "status_line.h"
#include "text.h"

namespace {

// Both handles of one operation, closed in every outcome.
struct ScHandles {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = nullptr;
    ~ScHandles() {
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
    }
};

bool OpenManager(ScHandles& h, bool report = true) {
    h.manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (h.manager) return true;
    if (report) ShowBox(BoxKind::Error, Fmt(L"Не удалось открыть менеджер служб - %ls", ErrorText().c_str()));
    return false;
}

bool OpenManagerAndService(ScHandles& h) {
    if (!OpenManager(h)) return false;
    h.service = OpenServiceW(h.manager, kServiceNameW, SERVICE_ALL_ACCESS);
    if (h.service) return true;
    ShowBox(BoxKind::Error, Fmt(L"Не удалось открыть службу - %ls", ErrorText().c_str()));
    return false;
}

enum class PollEnd { Left, QueryFailed, TimedOut };

// Queries the service once a second, the first time a second after the request, while it
// reports `pending`; gives up after kPendingLimitSeconds.
PollEnd PollWhilePending(SC_HANDLE service, DWORD pending, SERVICE_STATUS* status) {
    for (unsigned waited = 0;;) {
        Sleep(1000);
        ++waited;
        if (!QueryServiceStatus(service, status)) return PollEnd::QueryFailed;
        if (status->dwCurrentState != pending) return PollEnd::Left;
        if (waited >= kPendingLimitSeconds) return PollEnd::TimedOut;
    }
}

// A service that left the pending state for the wrong one tells why in its exit code
// (1066 for the service's own configuration and start failures); that code, not the
// status query that just succeeded, is the error the message should name. Without one the
// message names what happened instead of a stale or a success code.
void TakeServiceExitCode(const SERVICE_STATUS& status) {
    if (status.dwWin32ExitCode != NO_ERROR)
        SetLastError(status.dwWin32ExitCode);
    else if (status.dwCurrentState == SERVICE_STOPPED)
        SetLastError(ERROR_SERVICE_NOT_ACTIVE);
    else
        SetLastError(ERROR_INVALID_SERVICE_CONTROL);
}

struct Operation {
    DWORD control;         // 0: start the service
    int progressCode;
    DWORD pendingState;
    DWORD targetState;
    const wchar_t* failure;  // display name, error text
    const wchar_t* timeout;  // display name, seconds
};

const Operation kStart = {0, kStateStartPending, SERVICE_START_PENDING, SERVICE_RUNNING,
                          L"Службу '%ls' не удалось запустить - %ls",
                          L"Служба '%ls' не запустилась за %u секунд и всё ещё запускается."};
const Operation kStop = {SERVICE_CONTROL_STOP, kStateStopPending, SERVICE_STOP_PENDING, SERVICE_STOPPED,
                         L"Службу '%ls' не удалось остановить - %ls",
                         L"Служба '%ls' не остановилась за %u секунд и всё ещё останавливается."};
const Operation kPause = {SERVICE_CONTROL_PAUSE, kStatePausePending, SERVICE_PAUSE_PENDING, SERVICE_PAUSED,
                          L"Службу '%ls' не удалось приостановить - %ls",
                          L"Служба '%ls' не приостановилась за %u секунд и всё ещё приостанавливается."};
const Operation kContinue = {SERVICE_CONTROL_CONTINUE, kStateContinuePending, SERVICE_CONTINUE_PENDING,
                             SERVICE_RUNNING, L"Службу '%ls' не удалось возобновить - %ls",
                             L"Служба '%ls' не возобновила работу за %u секунд и всё ещё возобновляет её."};

bool RunOperation(const Operation& op) {
    ScHandles h;
    if (!OpenManagerAndService(h)) return false;
    SERVICE_STATUS status = {};
    BOOL accepted = op.control == 0 ? StartServiceW(h.service, 0, nullptr)
                                    : ControlService(h.service, op.control, &status);
    if (!accepted) {
        ShowBox(BoxKind::Error, Fmt(op.failure, kServiceDisplayName, ErrorText().c_str()));
        return false;
    }
    ShowServiceState(op.progressCode);
    PollEnd end = PollWhilePending(h.service, op.pendingState, &status);
    if (end == PollEnd::Left && status.dwCurrentState == op.targetState) return true;
    if (end == PollEnd::TimedOut) {
        ShowBox(BoxKind::Error, Fmt(op.timeout, kServiceDisplayName, kPendingLimitSeconds));
        return false;
    }
    if (end == PollEnd::Left) TakeServiceExitCode(status);
    ShowBox(BoxKind::Error, Fmt(op.failure, kServiceDisplayName, ErrorText().c_str()));
    return false;
}

// Stop control for the removal paths: true when the service is stopped afterwards or was
// not running at all (the control refused).
bool StopForRemoval(SC_HANDLE service, bool showProgress) {
    SERVICE_STATUS status = {};
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) return true;
    if (showProgress) ShowServiceState(kStateStopPending);
    PollEnd end = PollWhilePending(service, SERVICE_STOP_PENDING, &status);
    return end == PollEnd::Left && status.dwCurrentState == SERVICE_STOPPED;
}

// A deleted service stays registered, marked for deletion, until every handle to it is
// closed, its stopping process's included; installing it again before that would fail.
// Waits a few seconds for that; beyond, the installation reports what is left.
void WaitUntilGone(SC_HANDLE manager, const wchar_t* name) {
    for (int i = 0; i < 50; ++i) {
        SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
        if (!service) return;
        CloseServiceHandle(service);
        Sleep(200);
    }
}

}  // namespace

int MapServiceState(DWORD scmState) {
    switch (scmState) {
        case SERVICE_START_PENDING: return kStateStartPending;
        case SERVICE_STOP_PENDING: return kStateStopPending;
        case SERVICE_STOPPED: return kStateStopped;
        case SERVICE_RUNNING: return kStateRunning;
        case SERVICE_PAUSE_PENDING: return kStatePausePending;
        case SERVICE_PAUSED: return kStatePaused;
        case SERVICE_CONTINUE_PENDING: return kStateContinuePending;
        default: return kStateError;
    }
}

int GetServiceStateCode(bool reportErrors) {
    ScHandles h;
    if (!OpenManager(h, reportErrors)) return kStateError;
    h.service = OpenServiceW(h.manager, kServiceNameW, SERVICE_ALL_ACCESS);
    if (!h.service) return kStateNotInstalled;
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(h.service, &status)) return kStateError;
    return MapServiceState(status.dwCurrentState);
}

std::wstring ServiceExePath() {
    wchar_t dir[MAX_PATH] = L"";
    UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) dir[0] = L'\0';
    return JoinPathW(dir, kServiceExeName);
}

std::wstring FileOfRegisteredPath(const std::wstring& registered) {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return registered;
    wchar_t system[MAX_PATH] = L"", windows[MAX_PATH] = L"";
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    UINT w = GetWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || w == 0 || w >= MAX_PATH) return registered;
    if (registered.size() <= n || registered[n] != L'\\' ||
        CompareStringOrdinal(registered.c_str(), int(n), system, int(n), TRUE) != CSTR_EQUAL)
        return registered;
    return JoinPathW(windows, L"Sysnative") + registered.substr(n);
}

bool InstallServiceEntry() {
    ScHandles h;
    if (!OpenManager(h)) return false;
    std::wstring path = ServiceExePath();
    SC_HANDLE created = CreateServiceW(h.manager, kServiceNameW, kServiceDisplayName, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_NORMAL, path.c_str(), nullptr, nullptr,
                                       L"TCPIP\0", nullptr, nullptr);
    if (!created) {
        ShowBox(BoxKind::Error, Fmt(L"Службу '%ls' установить не удалось - %ls", kServiceDisplayName,
                                    ErrorText().c_str()));
        return false;
    }
    CloseServiceHandle(created);
    ShowBox(BoxKind::Plain, Fmt(L"Служба '%ls' установлена.", kServiceDisplayName));
    std::wstring keyPath = std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + kServiceNameW;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(kServiceDescription),
                       sizeof kServiceDescription);
        RegCloseKey(key);
    }
    return true;
}

bool RemoveServiceEntry() {
    ScHandles h;
    if (!OpenManagerAndService(h)) return false;
    if (!StopForRemoval(h.service, true))
        ShowBox(BoxKind::Error, Fmt(L"Службу '%ls' не удалось остановить.", kServiceDisplayName));
    if (!DeleteService(h.service)) {
        ShowBox(BoxKind::Error, Fmt(L"Службу удалить не удалось - %ls", ErrorText().c_str()));
        return false;
    }
    CloseServiceHandle(h.service);
    h.service = nullptr;
    WaitUntilGone(h.manager, kServiceNameW);
    ShowBox(BoxKind::Plain, Fmt(L"Служба '%ls' удалена.", kServiceDisplayName));
    return true;
}

bool RemoveLegacyService() {
    ScHandles h;
    if (!OpenManager(h)) return false;
    h.service = OpenServiceW(h.manager, kLegacyServiceName, SERVICE_ALL_ACCESS);
    if (!h.service) return false;
    if (!StopForRemoval(h.service, false))
        ShowBox(BoxKind::Error, Fmt(L"Старую службу %ls не удалось остановить.", kLegacyServiceName));
    if (!DeleteService(h.service)) {
        ShowBox(BoxKind::Error, Fmt(L"Старую службу удалить не удалось - %ls", ErrorText().c_str()));
        return false;
    }
    ShowBox(BoxKind::Plain, Fmt(L"Старая служба %ls удалена.", kLegacyServiceName));
    return true;
}

bool StartServiceAndWait() { return RunOperation(kStart); }
bool StopServiceAndWait() { return RunOperation(kStop); }
bool PauseServiceAndWait() { return RunOperation(kPause); }
bool ContinueServiceAndWait() { return RunOperation(kContinue); }

std::wstring FormatServiceVersion(unsigned version) {
    return Fmt(L"%u.%u", version / 1000, version % 1000);
}

bool DeleteServiceExe(const std::wstring& path) {
    std::wstring file = FileOfRegisteredPath(path);
    for (int attempt = 0;; ++attempt) {
        if (DeleteFileW(file.c_str())) return true;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return true;
        bool busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!busy || attempt >= 10) {
            SetLastError(error);
            return false;
        }
        Sleep(300);
    }
}

int CheckOldServiceVersion() {
    int state = GetServiceStateCode();
    if (state == kStateNotInstalled) return 1;
    unsigned version = ReadVersionValue();
    if (version == 0xFFFFFFFFu) version = 1000;
    if (version >= kCurrentVersion) return 1;
    if (!AskYesNo(Fmt(L"Онбаружена служба '%ls' старой версии (ver. %ls). Удалить службу?", kCaption,
                      FormatServiceVersion(version).c_str())))
        return 0;
    if (state == kStateRunning) {
        StopServiceAndWait();
        Sleep(2000);
    }
    if (!RemoveServiceEntry()) return 1;
    std::wstring path = ServiceExePath();
    if (DeleteServiceExe(path)) return -1;
    ShowBox(BoxKind::Plain, Fmt(L"Файл %ls службы '%ls' удалить не удалось - %ls", path.c_str(),
                                kServiceDisplayName, ErrorText().c_str()));
    return 0;
}
