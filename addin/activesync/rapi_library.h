// rapi.dll, loaded when the component starts so that the component still loads where
// ActiveSync is missing. The 20 entry points are resolved by name; one that the library
// does not export stays null and is never called: its call fails as a device call would,
// and the device's last error then reads ERROR_PROC_NOT_FOUND.
#pragma once
#include <windows.h>

#include <string>

#include "activesync/rapi_api.h"

struct RapiLibrary {
  HMODULE module = nullptr;
  BOOL inited = FALSE;  // the connection is initialised (property CeIsRapiInited)
  // The last device call failed because its entry point is missing.
  bool lastCallMissing = false;

  CeRapiUninitFn CeRapiUninit = nullptr;
  CeRapiInitExFn CeRapiInitEx = nullptr;
  CeDeleteFileFn CeDeleteFile = nullptr;
  CeCreateProcessFn CeCreateProcess = nullptr;
  CeCloseHandleFn CeCloseHandle = nullptr;
  CeGetLastErrorFn CeGetLastError = nullptr;
  CeGetFileAttributesFn CeGetFileAttributes = nullptr;
  CeFindFirstFileFn CeFindFirstFile = nullptr;
  CeFindCloseFn CeFindClose = nullptr;
  CeCreateFileFn CeCreateFile = nullptr;
  CeReadFileFn CeReadFile = nullptr;
  CeWriteFileFn CeWriteFile = nullptr;
  CeGetVersionExFn CeGetVersionEx = nullptr;
  CeRegOpenKeyExFn CeRegOpenKeyEx = nullptr;
  CeRegQueryValueExFn CeRegQueryValueEx = nullptr;
  CeRegCloseKeyFn CeRegCloseKey = nullptr;
  CeRegCreateKeyExFn CeRegCreateKeyEx = nullptr;
  CeRegSetValueExFn CeRegSetValueEx = nullptr;
  CeGetWindowFn CeGetWindow = nullptr;
  CeGetClassNameFn CeGetClassName = nullptr;
};

// The module's one library state.
RapiLibrary& Rapi();
bool RapiLoaded();

// Calls a resolved entry point, or answers `failure` when it is missing.
template <typename Fn, typename Result, typename... Args>
Result RapiCall(Fn fn, Result failure, Args... args) {
  RapiLibrary& rapi = Rapi();
  rapi.lastCallMissing = fn == nullptr;
  if (!fn) return failure;
  return fn(args...);
}
// The device's error code for the last failed call.
DWORD RapiLastError();

// At start-up and shut-down of the DLL.
void LoadRapi();
void UnloadRapi();

// Opens the connection: E_NOINTERFACE without the library, S_OK when it is (or already
// was) up, E_FAIL when it does not come up within 5000 ms or reports a failure.
HRESULT RapiInit();
// E_NOINTERFACE without the library, E_ACCESSDENIED when not initialised, else the
// library's answer.
HRESULT RapiUninit();
// The first top-level device window whose class is `className` (any case): 0; none: 1168
// (ERROR_NOT_FOUND); E_NOINTERFACE, E_ACCESSDENIED as RapiUninit; E_FAIL when the window
// functions are missing.
HRESULT FindDeviceWindow(const std::wstring& className);
