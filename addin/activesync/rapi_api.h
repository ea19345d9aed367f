// The ActiveSync remote API as rapi.dll exports it: the device-side records (wide strings,
// 32-bit sizes, whatever the desktop's word size) and the types of the 20 entry points
// the component resolves. The emulator in tools/rapi defines its exports against these
// same types, so a signature that drifts fails to compile there.
#pragma once
#include <windows.h>

#include <cstddef>

// The device's MAX_PATH.
const int kCeMaxPath = 260;

// The connection request of CeRapiInitEx: the library fills the event, signalled when the
// connection is up or has failed, and the result. 12 bytes on i686; natural layout with the
// 64-bit handle on x86-64.
struct RapiInitRecord {
  DWORD cbSize;
  HANDLE heRapiInit;
  HRESULT hrRapiInit;
};

// A file found on the device (CeFindFirstFile).
struct CeFindData {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[kCeMaxPath];
};

// The device's OS version (CeGetVersionEx): 276 bytes.
struct CeOsVersionInfo {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};

static_assert(sizeof(CeFindData) == 560, "device find data is 560 bytes");
static_assert(offsetof(CeFindData, cFileName) == 40, "device find data: name after the OID");
static_assert(sizeof(CeOsVersionInfo) == 276, "device version record is 276 bytes");
static_assert(sizeof(void*) == 8 || sizeof(RapiInitRecord) == 12, "the i686 init record is 12 bytes");

typedef HRESULT(WINAPI* CeRapiUninitFn)();
typedef HRESULT(WINAPI* CeRapiInitExFn)(RapiInitRecord* init);
typedef BOOL(WINAPI* CeDeleteFileFn)(LPCWSTR path);
typedef BOOL(WINAPI* CeCreateProcessFn)(LPCWSTR application, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES process,
                                        LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,
                                        LPWSTR currentDirectory, LPSTARTUPINFOW startup,
                                        LPPROCESS_INFORMATION info);
typedef BOOL(WINAPI* CeCloseHandleFn)(HANDLE handle);
typedef DWORD(WINAPI* CeGetLastErrorFn)();
typedef DWORD(WINAPI* CeGetFileAttributesFn)(LPCWSTR path);
typedef HANDLE(WINAPI* CeFindFirstFileFn)(LPCWSTR path, CeFindData* found);
typedef BOOL(WINAPI* CeFindCloseFn)(HANDLE find);
typedef HANDLE(WINAPI* CeCreateFileFn)(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                       DWORD creation, DWORD flags, HANDLE templateFile);
typedef BOOL(WINAPI* CeReadFileFn)(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped);
typedef BOOL(WINAPI* CeWriteFileFn)(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                                    LPOVERLAPPED overlapped);
typedef BOOL(WINAPI* CeGetVersionExFn)(CeOsVersionInfo* version);
typedef LONG(WINAPI* CeRegOpenKeyExFn)(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
typedef LONG(WINAPI* CeRegQueryValueExFn)(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                          LPDWORD size);
typedef LONG(WINAPI* CeRegCloseKeyFn)(HKEY key);
typedef LONG(WINAPI* CeRegCreateKeyExFn)(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                         REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                         LPDWORD disposition);
typedef LONG(WINAPI* CeRegSetValueExFn)(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                        DWORD size);
typedef HWND(WINAPI* CeGetWindowFn)(HWND window, UINT command);
typedef int(WINAPI* CeGetClassNameFn)(HWND window, LPWSTR name, int size);
