// The state the control panel leaves on the machine, read and reset by the tests: the
// Service Control Manager, the service's registry key, the system directory, the test folders.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

extern const wchar_t kTestRoot[];  // C:\velora-ctrl-test, removed by CleanMachine

// Stops and deletes VeloraService and VeloraServer, removes the service's registry key, its
// executable in the system directory and the test folders.
void CleanMachine();

std::wstring SystemExePath();  // <system directory>\VeloraService.exe, as registered
// The same file as this process reaches it: through Sysnative from a 32-bit process on
// 64-bit Windows, whose system32 is SysWOW64.
std::wstring SystemExeFile();
// Whether a 64-bit program (the Service Control Manager's view) finds a file at `path`.
bool ExistsFor64BitProgram(const std::wstring& path);
// Wine, unlike Windows, starts a service that a 32-bit process registered with system32
// redirected to SysWOW64. For the service operations that follow an installation by the
// 32-bit control panel, a copy of the installed file goes there; nothing else differs.
void MirrorServiceExeForWineWow64();
// 0 when the service does not exist, else its SERVICE_* state.
DWORD ServiceState(const wchar_t* name);
DWORD ServiceProcessId(const wchar_t* name);
bool WaitServiceState(const wchar_t* name, DWORD state, DWORD timeoutMs);
// Registers `exePath` as a demand-start own-process service.
bool CreateTestService(const wchar_t* name, const std::wstring& exePath);

struct ServiceConfigInfo {
    bool found = false;
    DWORD type = 0, startType = 0, errorControl = 0;
    std::wstring binaryPath, dependencies, account, displayName;
};
ServiceConfigInfo ReadServiceConfig(const wchar_t* name);

// Values below SYSTEM\CurrentControlSet\Services\VeloraService\Parameters; subkey may be "".
bool ReadParamString(const wchar_t* subkey, const wchar_t* name, std::wstring* value);
bool ReadParamDword(const wchar_t* subkey, const wchar_t* name, DWORD* value);
void WriteParamString(const wchar_t* subkey, const wchar_t* name, const std::wstring& value);
void WriteParamDword(const wchar_t* subkey, const wchar_t* name, DWORD value);
void DeleteParam(const wchar_t* subkey, const wchar_t* name);
// A value of the service's own key (e.g. "Description") as the ANSI bytes stored.
bool ReadServiceKeyAnsi(const char* name, std::string* value);
bool ParametersKeyExists();

bool ReadFileBytes(const std::wstring& path, std::string* bytes);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);
