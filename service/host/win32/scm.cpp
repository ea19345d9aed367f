// -install and -remove: the service's registration with the Service Control Manager.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host/names.h"
#include "host/shell.h"
#include "last_error.h"

namespace {
char errorTextBuffer[256];

const char* ErrorText() { return LastErrorText(errorTextBuffer, sizeof errorTextBuffer); }

// The Description value of the service key; a failure is silent.
void WriteDescription() {
    char key[128];
    std::snprintf(key, sizeof key, "SYSTEM\\CurrentControlSet\\Services\\%s", kServiceName);
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return;
    RegSetValueExA(h, "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(kServiceDescription),
                   static_cast<DWORD>(std::strlen(kServiceDescription) + 1));
    RegCloseKey(h);
}
}  // namespace

int InstallService() {
    wchar_t path[512];
    DWORD n = GetModuleFileNameW(nullptr, path, 512);
    if (n == 0 || n >= 512) {
        std::printf("Unable to install %s - %s\n", kDisplayName, ErrorText());
        return 0;
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        std::printf("OpenSCManager failed - %s\n", ErrorText());
        return 0;
    }
    // The wide call with a wide dependency list: the 32-bit ANSI one of WoW64 Wine stores a
    // list of several kilobytes of stack bytes after "TCPIP", and an ANSI path would lose
    // characters outside the code page.
    SC_HANDLE service = CreateServiceW(manager, kServiceNameW, kDisplayNameW, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_NORMAL, path, nullptr, nullptr,
                                       kServiceDependencies, nullptr, nullptr);
    if (service) {
        std::printf("%s installed.\n", kDisplayName);
        CloseServiceHandle(service);
        WriteDescription();
    } else {
        std::printf("CreateService failed - %s\n", ErrorText());
    }
    CloseServiceHandle(manager);
    return 0;
}

int RemoveService() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        std::printf("OpenSCManager failed - %s\n", ErrorText());
        return 0;
    }
    SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
    if (!service) {
        std::printf("OpenService failed - %s\n", ErrorText());
        CloseServiceHandle(manager);
        return 0;
    }
    SERVICE_STATUS status;
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        std::printf("Stopping %s.", kDisplayName);
        std::fflush(stdout);
        Sleep(1000);
        while (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOP_PENDING) {
            std::printf(".");
            std::fflush(stdout);
            Sleep(1000);
        }
        if (status.dwCurrentState == SERVICE_STOPPED)
            std::printf("\n%s stopped.\n", kDisplayName);
        else
            std::printf("\n%s failed to stop.\n", kDisplayName);
    }
    if (DeleteService(service))
        std::printf("%s removed.\n", kDisplayName);
    else
        std::printf("DeleteService failed - %s\n", ErrorText());
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    std::fflush(stdout);
    return 0;
}
