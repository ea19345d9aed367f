// The device's windows, its OS version and started programs.
#include <cwchar>

#include "emu_paths.h"
#include "emu_state.h"
#include "rapi_exports.h"

namespace {
// Window n of the configured list is the handle n + 1.
HWND WindowHandle(size_t index) { return reinterpret_cast<HWND>(ULONG_PTR(index + 1)); }
bool WindowIndex(HWND window, size_t& index) {
  ULONG_PTR n = reinterpret_cast<ULONG_PTR>(window);
  if (n == 0 || n > State().config.windows.size()) return false;
  index = size_t(n - 1);
  return true;
}

HANDLE FakeHandle() {
  Emu& emu = State();
  HANDLE handle = reinterpret_cast<HANDLE>(ULONG_PTR(0x40000000u + emu.nextProcessId++ * 4));
  emu.processes.insert(handle);
  return handle;
}
}  // namespace

extern "C" {

// GW_CHILD of no window (or the desktop) gives the first top-level window, GW_HWNDNEXT the
// one after it; the top-level windows have no children.
HWND WINAPI CeGetWindow(HWND window, UINT command) {
  EmuLock lock;
  if (!Connected()) return nullptr;
  const auto& windows = State().config.windows;
  size_t index = 0;
  if (command == GW_CHILD) {
    if (window && WindowIndex(window, index)) return Fail(DWORD(ERROR_SUCCESS), HWND(nullptr));
    return windows.empty() ? Fail(DWORD(ERROR_SUCCESS), HWND(nullptr)) : WindowHandle(0);
  }
  if (command == GW_HWNDNEXT) {
    if (!WindowIndex(window, index)) return Fail(DWORD(ERROR_INVALID_WINDOW_HANDLE), HWND(nullptr));
    return index + 1 < windows.size() ? WindowHandle(index + 1) : Fail(DWORD(ERROR_SUCCESS), HWND(nullptr));
  }
  return Fail(DWORD(ERROR_INVALID_PARAMETER), HWND(nullptr));
}

int WINAPI CeGetClassName(HWND window, LPWSTR name, int size) {
  EmuLock lock;
  if (!Connected()) return 0;
  size_t index = 0;
  if (!WindowIndex(window, index)) return Fail(DWORD(ERROR_INVALID_WINDOW_HANDLE), 0);
  if (!name || size <= 0) return Fail(DWORD(ERROR_INVALID_PARAMETER), 0);
  const std::wstring& cls = State().config.windows[index];
  size_t n = cls.size() < size_t(size - 1) ? cls.size() : size_t(size - 1);
  wmemcpy(name, cls.c_str(), n);
  name[n] = 0;
  return int(n);
}

// A service-pack text of 128 characters or more fills the field without a terminator, as a
// device that reports a long text does.
BOOL WINAPI CeGetVersionEx(CeOsVersionInfo* version) {
  EmuLock lock;
  if (!version || version->dwOSVersionInfoSize != sizeof(CeOsVersionInfo))
    return Fail(DWORD(ERROR_INVALID_PARAMETER), FALSE);
  if (!Connected()) return FALSE;
  const EmuConfig& c = State().config;
  version->dwMajorVersion = c.major;
  version->dwMinorVersion = c.minor;
  version->dwBuildNumber = c.build;
  version->dwPlatformId = c.platform;
  const size_t field = sizeof(version->szCSDVersion) / sizeof(wchar_t);
  wmemset(version->szCSDVersion, 0, field);
  wmemcpy(version->szCSDVersion, c.servicePack.c_str(), c.servicePack.size() < field ? c.servicePack.size() : field);
  return TRUE;
}

// A program is "started" when its file exists on the device: the start is recorded in the log.
BOOL WINAPI CeCreateProcess(LPCWSTR application, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                            BOOL, DWORD, LPVOID, LPWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION info) {
  EmuLock lock;
  if (!Connected()) return FALSE;
  std::wstring pc;
  DWORD error = 0;
  if (!DevicePathToPc(application, pc, error)) return Fail(error, FALSE);
  DWORD attributes = GetFileAttributesW(pc.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return Fail(DWORD(ERROR_FILE_NOT_FOUND), FALSE);
  EmuLog(std::wstring(L"CeCreateProcess ") + application + L" | " + (commandLine ? commandLine : L""));
  if (info) {
    info->hProcess = FakeHandle();
    info->hThread = FakeHandle();
    info->dwProcessId = State().nextProcessId++;
    info->dwThreadId = State().nextProcessId++;
  }
  return TRUE;
}

}  // extern "C"
