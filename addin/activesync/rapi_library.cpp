#include "activesync/rapi_library.h"

#include "activesync_state.h"

namespace {
RapiLibrary library;

// How long CeRapiInit waits for the connection.
const DWORD kInitWaitMs = 5000;
// A device that keeps answering with further windows ends the search here.
const int kMaxWindows = 4096;
const int kClassNameChars = 256;

template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void ResolveAll(HMODULE m, RapiLibrary& r) {
  Resolve(m, "CeRapiUninit", r.CeRapiUninit);
  Resolve(m, "CeRapiInitEx", r.CeRapiInitEx);
  Resolve(m, "CeDeleteFile", r.CeDeleteFile);
  Resolve(m, "CeCreateProcess", r.CeCreateProcess);
  Resolve(m, "CeCloseHandle", r.CeCloseHandle);
  Resolve(m, "CeGetLastError", r.CeGetLastError);
  Resolve(m, "CeGetFileAttributes", r.CeGetFileAttributes);
  Resolve(m, "CeFindFirstFile", r.CeFindFirstFile);
  Resolve(m, "CeFindClose", r.CeFindClose);
  Resolve(m, "CeCreateFile", r.CeCreateFile);
  Resolve(m, "CeReadFile", r.CeReadFile);
  Resolve(m, "CeWriteFile", r.CeWriteFile);
  Resolve(m, "CeGetVersionEx", r.CeGetVersionEx);
  Resolve(m, "CeRegOpenKeyEx", r.CeRegOpenKeyEx);
  Resolve(m, "CeRegQueryValueEx", r.CeRegQueryValueEx);
  Resolve(m, "CeRegCloseKey", r.CeRegCloseKey);
  Resolve(m, "CeRegCreateKeyEx", r.CeRegCreateKeyEx);
  Resolve(m, "CeRegSetValueEx", r.CeRegSetValueEx);
  Resolve(m, "CeGetWindow", r.CeGetWindow);
  Resolve(m, "CeGetClassName", r.CeGetClassName);
}

// The class name of a device window, cut to its buffer even when the device leaves it
// unterminated.
std::wstring ClassOf(HWND window) {
  wchar_t name[kClassNameChars + 1] = {};
  int n = RapiCall(library.CeGetClassName, 0, window, name, kClassNameChars);
  if (n <= 0) return std::wstring();
  if (n > kClassNameChars) n = kClassNameChars;
  name[n] = 0;
  return std::wstring(name);
}

bool SameClass(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}
}  // namespace

RapiLibrary& Rapi() { return library; }
bool RapiLoaded() { return library.module != nullptr; }
bool IsRapiInitialised() { return library.inited != FALSE; }

DWORD RapiLastError() {
  if (library.lastCallMissing || !library.CeGetLastError) return ERROR_PROC_NOT_FOUND;
  return library.CeGetLastError();
}

void LoadRapi() {
  library = RapiLibrary();
  library.module = LoadLibraryW(L"rapi.dll");
  if (library.module) ResolveAll(library.module, library);
}

void UnloadRapi() {
  if (!library.module) return;
  if (library.inited) RapiUninit();
  FreeLibrary(library.module);
  library = RapiLibrary();
}

HRESULT RapiInit() {
  if (!library.module) return E_NOINTERFACE;
  if (library.inited) return S_OK;
  if (!library.CeRapiInitEx) return E_FAIL;
  RapiInitRecord init = {};
  init.cbSize = sizeof(init);
  HRESULT hr = library.CeRapiInitEx(&init);
  bool up = SUCCEEDED(hr) && init.heRapiInit && WaitForSingleObject(init.heRapiInit, kInitWaitMs) == WAIT_OBJECT_0 &&
            SUCCEEDED(init.hrRapiInit);
  if (!up) {
    // The library keeps a request that timed out or failed until it is uninitialised; without
    // this no later CeRapiInit could succeed.
    if (SUCCEEDED(hr)) RapiCall(library.CeRapiUninit, E_FAIL);
    return E_FAIL;
  }
  library.inited = TRUE;
  return S_OK;
}

HRESULT RapiUninit() {
  if (!library.module) return E_NOINTERFACE;
  if (!library.inited) return E_ACCESSDENIED;
  HRESULT hr = RapiCall(library.CeRapiUninit, E_FAIL);
  if (SUCCEEDED(hr)) library.inited = FALSE;
  return hr;
}

HRESULT FindDeviceWindow(const std::wstring& className) {
  if (!library.module) return E_NOINTERFACE;
  if (!library.inited) return E_ACCESSDENIED;
  if (!library.CeGetWindow || !library.CeGetClassName) return E_FAIL;
  HWND window = library.CeGetWindow(nullptr, GW_CHILD);
  for (int i = 0; window && i < kMaxWindows; ++i) {
    if (SameClass(ClassOf(window), className)) return S_OK;
    window = library.CeGetWindow(window, GW_HWNDNEXT);
  }
  return ERROR_NOT_FOUND;
}
