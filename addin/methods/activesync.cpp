// The handheld over ActiveSync: copies, files, programs, the device registry, its version
// and windows, and the PC-side guest-only switch. Device calls go through rapi.dll (see
// activesync/rapi_library.h); without it every device method answers 8.
#include "methods.h"

#include <cwchar>

#include "activesync/device_copy.h"
#include "activesync/rapi_library.h"
#include "activesync_state.h"
#include "addin.h"

namespace {
const wchar_t kGuestOnlyKey[] = L"Software\\Microsoft\\Windows CE Services";
// The device registry value is read into a buffer of this many bytes.
const DWORD kRegValueBytes = 1024;

// 8 without the library, 3 without the connection, else 0.
long DeviceReady() {
  if (!RapiLoaded()) return kCeNoLibrary;
  if (!IsRapiInitialised()) return kCeNotInited;
  return kCeOk;
}

// A root key named case-insensitively; null for another name.
HKEY RootKey(const std::wstring& name) {
  static const struct {
    const wchar_t* name;
    HKEY key;
  } roots[] = {{L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
               {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
               {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};
  for (const auto& root : roots)
    if (CompareStringOrdinal(name.c_str(), int(name.size()), root.name, -1, TRUE) == CSTR_EQUAL) return root.key;
  return nullptr;
}

void SetResultEmptyString(VARIANT* result) { SetResultString(result, std::wstring()); }

// A REG_SZ value as read: at most `bytes` bytes, up to its first terminator if it has one.
std::wstring RegText(const BYTE* data, DWORD bytes) {
  const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
  return std::wstring(text, wcsnlen(text, bytes / sizeof(wchar_t)));
}

VARIANT LongVariant(long value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}
}  // namespace

void CallCePutFile(CAddIn& addIn, CallParams& params, VARIANT* result) {
  std::wstring source, destination;
  if (!params.GetString(0, source) || !params.GetString(1, destination))
    return SetResultLong(result, kCeWrongType);
  SetResultLong(result, PutFileToDevice(addIn, source, destination));
}

void CallCeGetFile(CAddIn& addIn, CallParams& params, VARIANT* result) {
  std::wstring source, destination;
  if (long code = DeviceReady()) return SetResultLong(result, code);
  if (!params.GetString(0, source) || !params.GetString(1, destination))
    return SetResultLong(result, kCeWrongType);
  SetResultLong(result, GetFileFromDevice(addIn, source, destination));
}

void CallCeDeleteFile(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring path;
  if (long code = DeviceReady()) return SetResultLong(result, code);
  if (!params.GetString(0, path)) return SetResultLong(result, kCeWrongType);
  SetResultLong(result, RapiCall(Rapi().CeDeleteFile, FALSE, path.c_str()) ? kCeOk : kCeGeneral);
}

void CallCeFileExists(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring path;
  if (long code = DeviceReady()) return SetResultLong(result, code);
  if (!params.GetString(0, path)) return SetResultLong(result, kCeWrongType);
  RapiLibrary& rapi = Rapi();
  if (RapiCall(rapi.CeGetFileAttributes, DWORD(INVALID_FILE_ATTRIBUTES), path.c_str()) == INVALID_FILE_ATTRIBUTES)
    return SetResultLong(result, kCeGeneral);
  HANDLE file = RapiCall(rapi.CeCreateFile, INVALID_HANDLE_VALUE, path.c_str(), DWORD(GENERIC_READ), DWORD(0),
                         LPSECURITY_ATTRIBUTES(nullptr), DWORD(OPEN_EXISTING), DWORD(0), HANDLE(nullptr));
  if (file == INVALID_HANDLE_VALUE) return SetResultLong(result, kCeCannotOpen);
  RapiCall(rapi.CeCloseHandle, FALSE, file);
  SetResultLong(result, kCeOk);
}

void CallCeGuestOnly(CAddIn&, CallParams& params, VARIANT* result) {
  long mode = 0;
  long answer = kCeGeneral;
  if (params.GetLong(0, mode) && (mode == 0 || mode == 1)) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kGuestOnlyKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      DWORD value = DWORD(mode);
      if (RegSetValueExW(key, L"GuestOnly", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
          ERROR_SUCCESS)
        answer = kCeOk;
      RegCloseKey(key);
    }
  } else if (params.GetLong(0, mode) && mode == -1) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kGuestOnlyKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
      DWORD value = 0, type = 0, size = sizeof(value);
      if (RegQueryValueExW(key, L"GuestOnly", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
              ERROR_SUCCESS &&
          type == REG_DWORD && size == sizeof(value))
        answer = long(value);
      RegCloseKey(key);
    }
  }
  SetResultLong(result, answer);
}

void CallCeSetFileBuffSize(CAddIn& addIn, CallParams& params, VARIANT* result) {
  SetResultLong(result, long(addIn.fileBufferSize));
  long size = 0;
  if (params.GetLong(0, size) && size >= 4096) addIn.fileBufferSize = DWORD(size);
}

void CallCeExecute(CAddIn& addIn, CallParams& params, VARIANT* result) {
  std::wstring program, arguments;
  if (long code = DeviceReady()) return SetResultLong(result, code);
  if (!params.GetString(0, program)) return SetResultLong(result, kCeWrongType);
  // A command line that is no string (or none) starts the program without arguments.
  bool hasArguments = params.GetString(1, arguments);
  PROCESS_INFORMATION process = {};
  RapiLibrary& rapi = Rapi();
  if (RapiCall(rapi.CeCreateProcess, FALSE, program.c_str(), hasArguments ? arguments.c_str() : nullptr,
               LPSECURITY_ATTRIBUTES(nullptr), LPSECURITY_ATTRIBUTES(nullptr), FALSE, DWORD(0), LPVOID(nullptr),
               LPWSTR(nullptr), LPSTARTUPINFOW(nullptr), &process)) {
    RapiCall(rapi.CeCloseHandle, FALSE, process.hProcess);
    RapiCall(rapi.CeCloseHandle, FALSE, process.hThread);
    return SetResultLong(result, kCeOk);
  }
  wchar_t text[96];
  swprintf(text, 96, L"Failed run application on Pocket PC device! Errorcode = %ld\n", long(RapiLastError()));
  ShowDeviceMessage(addIn, text);
  SetResultLong(result, kCeGeneral);
}

void CallCeRapiInit(CAddIn&, CallParams&, VARIANT* result) {
  HRESULT hr = RapiInit();
  SetResultLong(result, hr == E_NOINTERFACE ? kCeNoLibrary : FAILED(hr) ? kCeNotInited : kCeOk);
}

void CallCeRapiUnInit(CAddIn&, CallParams&, VARIANT* result) {
  SetResultLong(result, FAILED(RapiUninit()) ? kCeGeneral : kCeOk);
}

void CallCeRegQueryValue(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultEmptyString(result);
  std::wstring rootName, subKey, name;
  if (!params.GetString(0, rootName) || !params.GetString(1, subKey) || !params.GetString(2, name)) return;
  if (!RapiLoaded()) return;
  HKEY root = RootKey(rootName);
  if (!root) return;
  RapiLibrary& rapi = Rapi();
  HKEY key = nullptr;
  if (RapiCall(rapi.CeRegOpenKeyEx, LONG(ERROR_PROC_NOT_FOUND), root, subKey.c_str(), DWORD(0), REGSAM(0), &key) !=
      ERROR_SUCCESS)
    return;
  // One spare terminator beyond the device's bytes.
  BYTE data[kRegValueBytes + sizeof(wchar_t)] = {};
  DWORD type = 0, size = kRegValueBytes;
  LONG status = RapiCall(rapi.CeRegQueryValueEx, LONG(ERROR_PROC_NOT_FOUND), key, name.c_str(), LPDWORD(nullptr),
                         &type, data, &size);
  RapiCall(rapi.CeRegCloseKey, LONG(ERROR_PROC_NOT_FOUND), key);
  if (status != ERROR_SUCCESS) return;
  if (size > kRegValueBytes) size = kRegValueBytes;
  if (type == REG_SZ) {
    SetResultString(result, RegText(data, size));
  } else if (type == REG_DWORD && size >= sizeof(DWORD)) {
    DWORD value = 0;
    memcpy(&value, data, sizeof(value));
    SetResultLong(result, long(value));
  }
}

void CallCeRegSetValue(CAddIn&, CallParams& params, VARIANT* result) {
  if (!RapiLoaded()) return SetResultLong(result, kCeNoLibrary);
  std::wstring rootName, subKey, name, text;
  long number = 0;
  if (!params.GetString(0, rootName) || !params.GetString(1, subKey) || !params.GetString(2, name))
    return SetResultLong(result, kCeGeneral);
  HKEY root = RootKey(rootName);
  DWORD type = 0, size = 0;
  const BYTE* data = nullptr;
  DWORD dword = 0;
  if (params.GetLong(3, number)) {
    dword = DWORD(number);
    type = REG_DWORD;
    data = reinterpret_cast<const BYTE*>(&dword);
    size = sizeof(dword);
  } else if (params.GetString(3, text)) {
    type = REG_SZ;
    data = reinterpret_cast<const BYTE*>(text.c_str());
    size = DWORD((text.size() + 1) * sizeof(wchar_t));
  }
  if (!root || !data) return SetResultLong(result, kCeGeneral);
  RapiLibrary& rapi = Rapi();
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RapiCall(rapi.CeRegCreateKeyEx, LONG(ERROR_PROC_NOT_FOUND), root, subKey.c_str(), DWORD(0), LPWSTR(nullptr),
               DWORD(0), REGSAM(0), LPSECURITY_ATTRIBUTES(nullptr), &key, &disposition) != ERROR_SUCCESS)
    return SetResultLong(result, kCeGeneral);
  LONG status = RapiCall(rapi.CeRegSetValueEx, LONG(ERROR_PROC_NOT_FOUND), key, name.c_str(), DWORD(0), type, data, size);
  RapiCall(rapi.CeRegCloseKey, LONG(ERROR_PROC_NOT_FOUND), key);
  SetResultLong(result, status == ERROR_SUCCESS ? kCeOk : kCeGeneral);
}

void CallCeGetVersionOS(CAddIn&, CallParams& params, VARIANT* result) {
  CeOsVersionInfo version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  bool ok = RapiLoaded() && RapiCall(Rapi().CeGetVersionEx, FALSE, &version);
  if (!ok) version = CeOsVersionInfo();
  params.SetOut(0, LongVariant(long(version.dwMajorVersion)));
  params.SetOut(1, LongVariant(long(version.dwMinorVersion)));
  params.SetOut(2, LongVariant(long(version.dwPlatformId)));
  // The service-pack text ends at its field even when the device left it unterminated.
  size_t length = wcsnlen(version.szCSDVersion, sizeof(version.szCSDVersion) / sizeof(wchar_t));
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = SysAllocStringLen(version.szCSDVersion, UINT(length));
  params.SetOut(3, text);
  VariantClear(&text);
  SetResultLong(result, ok ? kCeOk : kCeGeneral);
}

void CallCeFindWndOnClass(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring className;
  if (!params.GetString(0, className)) return SetResultLong(result, kCeGeneral);
  if (long code = DeviceReady()) return SetResultLong(result, code);
  HRESULT hr = FindDeviceWindow(className);
  SetResultLong(result, hr == S_OK ? kCeOk : hr == HRESULT(ERROR_NOT_FOUND) ? kCeValueNotFound : kCeGeneral);
}
