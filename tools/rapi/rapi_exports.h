// The 20 functions that the emulator exports under rapi.dll's names, with the library's
// calling convention; their types are checked against the component's declarations.
#pragma once
#include <windows.h>

#include <type_traits>

#include "activesync/rapi_api.h"

extern "C" {
HRESULT WINAPI CeRapiUninit();
HRESULT WINAPI CeRapiInitEx(RapiInitRecord* init);
BOOL WINAPI CeDeleteFile(LPCWSTR path);
BOOL WINAPI CeCreateProcess(LPCWSTR application, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES process,
                            LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,
                            LPWSTR currentDirectory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info);
BOOL WINAPI CeCloseHandle(HANDLE handle);
DWORD WINAPI CeGetLastError();
DWORD WINAPI CeGetFileAttributes(LPCWSTR path);
HANDLE WINAPI CeFindFirstFile(LPCWSTR path, CeFindData* found);
BOOL WINAPI CeFindClose(HANDLE find);
HANDLE WINAPI CeCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                           DWORD flags, HANDLE templateFile);
BOOL WINAPI CeReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WINAPI CeWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
BOOL WINAPI CeGetVersionEx(CeOsVersionInfo* version);
LONG WINAPI CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG WINAPI CeRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG WINAPI CeRegCloseKey(HKEY key);
LONG WINAPI CeRegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                             LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG WINAPI CeRegSetValueEx(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
HWND WINAPI CeGetWindow(HWND window, UINT command);
int WINAPI CeGetClassName(HWND window, LPWSTR name, int size);
}

#define VELORA_SAME_TYPE(name) \
  static_assert(std::is_same<decltype(&name), name##Fn>::value, #name " differs from the component's type")
VELORA_SAME_TYPE(CeRapiUninit);
VELORA_SAME_TYPE(CeRapiInitEx);
VELORA_SAME_TYPE(CeDeleteFile);
VELORA_SAME_TYPE(CeCreateProcess);
VELORA_SAME_TYPE(CeCloseHandle);
VELORA_SAME_TYPE(CeGetLastError);
VELORA_SAME_TYPE(CeGetFileAttributes);
VELORA_SAME_TYPE(CeFindFirstFile);
VELORA_SAME_TYPE(CeFindClose);
VELORA_SAME_TYPE(CeCreateFile);
VELORA_SAME_TYPE(CeReadFile);
VELORA_SAME_TYPE(CeWriteFile);
VELORA_SAME_TYPE(CeGetVersionEx);
VELORA_SAME_TYPE(CeRegOpenKeyEx);
VELORA_SAME_TYPE(CeRegQueryValueEx);
VELORA_SAME_TYPE(CeRegCloseKey);
VELORA_SAME_TYPE(CeRegCreateKeyEx);
VELORA_SAME_TYPE(CeRegSetValueEx);
VELORA_SAME_TYPE(CeGetWindow);
VELORA_SAME_TYPE(CeGetClassName);
#undef VELORA_SAME_TYPE
