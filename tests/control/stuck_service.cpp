// A stand-in service for the control panel's tests: it reports START_PENDING until the file
// named on its command line exists (at most ten minutes), so as long as the test wants it to
// outlast the control panel's wait for a pending state, then runs until it is stopped. A stop
// ends it at any time.
#include <windows.h>

namespace {
SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status = {};
HANDLE g_stop = nullptr;
const wchar_t* g_releaseFile = L"";

void Report(DWORD state) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_STOPPED ? 0 : SERVICE_ACCEPT_STOP;
    g_status.dwWin32ExitCode = NO_ERROR;
    g_status.dwWaitHint = state == SERVICE_START_PENDING ? 3000 : 0;
    ++g_status.dwCheckPoint;
    SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) {
        SetEvent(g_stop);
        return NO_ERROR;
    }
    return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    g_handle = RegisterServiceCtrlHandlerExW(L"", Handler, nullptr);
    if (!g_handle) return;
    Report(SERVICE_START_PENDING);
    bool stopped = false;
    for (int i = 0; i < 6000 && GetFileAttributesW(g_releaseFile) == INVALID_FILE_ATTRIBUTES; ++i)
        if (WaitForSingleObject(g_stop, 100) == WAIT_OBJECT_0) {
            stopped = true;
            break;
        }
    if (!stopped) {
        Report(SERVICE_RUNNING);
        WaitForSingleObject(g_stop, INFINITE);
    }
    Report(SERVICE_STOPPED);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1) g_releaseFile = argv[1];
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
