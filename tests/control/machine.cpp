#include "machine.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

const wchar_t kTestRoot[] = L"C:\\velora-ctrl-test";

namespace {
const wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\VeloraService";

std::wstring ParamsKey(const wchar_t* subkey) {
    std::wstring key = std::wstring(kServiceKey) + L"\\Parameters";
    if (subkey) key += std::wstring(L"\\") + subkey;
    return key;
}

void RemoveService(const wchar_t* name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    if (SC_HANDLE service = OpenServiceW(manager, name, SERVICE_ALL_ACCESS)) {
        SERVICE_STATUS status;
        if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
            for (int i = 0; i < 100 && QueryServiceStatus(service, &status) &&
                            status.dwCurrentState != SERVICE_STOPPED;
                 ++i)
                Sleep(100);
        }
        DeleteService(service);
        CloseServiceHandle(service);
        // The entry goes only when no handle is left (the service's process among them); a
        // new one of the same name cannot be made before.
        for (int i = 0; i < 150; ++i, Sleep(100)) {
            SC_HANDLE again = OpenServiceW(manager, name, SERVICE_QUERY_STATUS);
            if (!again) break;
            CloseServiceHandle(again);
        }
    }
    CloseServiceHandle(manager);
}
}  // namespace

std::wstring SystemExePath() {
    wchar_t dir[MAX_PATH] = L"";
    GetSystemDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\VeloraService.exe";
}

namespace {
bool IsWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::wstring NativeSystemDir() {
    wchar_t dir[MAX_PATH] = L"";
    if (IsWow64()) {
        GetWindowsDirectoryW(dir, MAX_PATH);
        return std::wstring(dir) + L"\\Sysnative";
    }
    GetSystemDirectoryW(dir, MAX_PATH);
    return dir;
}
}  // namespace

std::wstring SystemExeFile() { return NativeSystemDir() + L"\\VeloraService.exe"; }

void MirrorServiceExeForWineWow64() {
    if (IsWow64()) CopyFileW(SystemExeFile().c_str(), SystemExePath().c_str(), FALSE);
}

bool ExistsFor64BitProgram(const std::wstring& path) {
    std::wstring command = L"\"" + NativeSystemDir() + L"\\cmd.exe\" /c if exist \"" + path +
                           L"\" (exit 0) else (exit 3)";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    DWORD code = 1;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
}

void CleanMachine() {
    RemoveService(L"VeloraService");
    RemoveService(L"VeloraServer");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServiceKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey);
    for (const std::wstring& exe : {SystemExeFile(), SystemExePath()})
        for (int i = 0; i < 30 && PathExists(exe) && !DeleteFileW(exe.c_str()); ++i) Sleep(200);
    std::error_code ignored;
    std::filesystem::remove_all(kTestRoot, ignored);
}

namespace {
// The service's status with its process; all zero when it cannot be read.
SERVICE_STATUS_PROCESS QueryStatus(const wchar_t* name) {
    SERVICE_STATUS_PROCESS status = {};
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return status;
    if (SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_STATUS)) {
        DWORD needed = 0;
        if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                  &needed))
            status = SERVICE_STATUS_PROCESS{};
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return status;
}
}  // namespace

DWORD ServiceState(const wchar_t* name) { return QueryStatus(name).dwCurrentState; }

DWORD ServiceProcessId(const wchar_t* name) { return QueryStatus(name).dwProcessId; }

bool WaitServiceState(const wchar_t* name, DWORD state, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        if (ServiceState(name) == state) return true;
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

bool CreateTestService(const wchar_t* name, const std::wstring& exePath) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return false;
    SC_HANDLE service = CreateServiceW(manager, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, exePath.c_str(), nullptr,
                                       nullptr, nullptr, nullptr, nullptr);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

ServiceConfigInfo ReadServiceConfig(const wchar_t* name) {
    ServiceConfigInfo info;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return info;
    if (SC_HANDLE service = OpenServiceW(manager, name, SERVICE_QUERY_CONFIG)) {
        DWORD needed = 0;
        QueryServiceConfigW(service, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed + 16);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed)) {
            info.found = true;
            info.type = config->dwServiceType;
            info.startType = config->dwStartType;
            info.errorControl = config->dwErrorControl;
            info.binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
            info.account = config->lpServiceStartName ? config->lpServiceStartName : L"";
            info.displayName = config->lpDisplayName ? config->lpDisplayName : L"";
            // Wine's QueryServiceConfig leaves the dependency list empty, so it is read from
            // the service's key: names each ended by a zero, the list by a second; "|" between.
            wchar_t list[512] = L"";
            DWORD bytes = sizeof list - 2 * sizeof(wchar_t);
            std::wstring key = std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + name;
            if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, list,
                             &bytes) == ERROR_SUCCESS)
                for (const wchar_t* d = list; *d; d += wcslen(d) + 1) {
                    if (!info.dependencies.empty()) info.dependencies += L"|";
                    info.dependencies += d;
                }
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return info;
}

bool ReadParamString(const wchar_t* subkey, const wchar_t* name, std::wstring* value) {
    wchar_t buffer[1024] = L"";
    DWORD bytes = sizeof buffer;
    LONG r = RegGetValueW(HKEY_LOCAL_MACHINE, ParamsKey(subkey).c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes);
    if (r != ERROR_SUCCESS) return false;
    *value = buffer;
    return true;
}

bool ReadParamDword(const wchar_t* subkey, const wchar_t* name, DWORD* value) {
    DWORD bytes = sizeof *value;
    return RegGetValueW(HKEY_LOCAL_MACHINE, ParamsKey(subkey).c_str(), name, RRF_RT_REG_DWORD, nullptr, value,
                        &bytes) == ERROR_SUCCESS;
}

void WriteParamString(const wchar_t* subkey, const wchar_t* name, const std::wstring& value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, ParamsKey(subkey).c_str(), name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void WriteParamDword(const wchar_t* subkey, const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, ParamsKey(subkey).c_str(), name, REG_DWORD, &value, sizeof value);
}

void DeleteParam(const wchar_t* subkey, const wchar_t* name) {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ParamsKey(subkey).c_str(), name);
}

bool ReadServiceKeyAnsi(const char* name, std::string* value) {
    char buffer[512] = "";
    DWORD bytes = sizeof buffer;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\VeloraService", name, RRF_RT_REG_SZ,
                     nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return false;
    value->assign(buffer, bytes);
    return true;
}

bool ParametersKeyExists() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ParamsKey(nullptr).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << bytes;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
