// The device's file system: files of the PC folder that is its root.
#include <cwchar>

#include "emu_paths.h"
#include "emu_state.h"
#include "rapi_exports.h"

namespace {
// Maps the path or records why not.
bool Map(LPCWSTR path, std::wstring& pc) {
  DWORD error = 0;
  if (DevicePathToPc(path, pc, error)) return true;
  State().lastError = error;
  return false;
}

void CopyFound(const WIN32_FIND_DATAW& pc, CeFindData* found) {
  *found = CeFindData();
  found->dwFileAttributes = pc.dwFileAttributes;
  found->ftCreationTime = pc.ftCreationTime;
  found->ftLastAccessTime = pc.ftLastAccessTime;
  found->ftLastWriteTime = pc.ftLastWriteTime;
  found->nFileSizeHigh = pc.nFileSizeHigh;
  found->nFileSizeLow = pc.nFileSizeLow;
  wcsncpy(found->cFileName, pc.cFileName, kCeMaxPath - 1);
}
}  // namespace

extern "C" {

HANDLE WINAPI CeCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD creation,
                           DWORD flags, HANDLE) {
  EmuLock lock;
  std::wstring pc;
  if (!Connected() || !Map(path, pc)) return INVALID_HANDLE_VALUE;
  // Attributes only: the device's file flags (overlapped, no buffering) have no meaning here.
  HANDLE file = CreateFileW(pc.c_str(), access, share, nullptr, creation, flags & 0xFFFF, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(GetLastError(), INVALID_HANDLE_VALUE);
  OpenDeviceFile& open = State().files[file];
  open = OpenDeviceFile();
  open.devicePath = path;
  return file;
}

BOOL WINAPI CeReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED) {
  EmuLock lock;
  if (read) *read = 0;
  if (!Connected()) return FALSE;
  auto open = State().files.find(file);
  if (open == State().files.end()) return Fail(DWORD(ERROR_INVALID_HANDLE), FALSE);
  DWORD n = 0;
  if (!ReadFile(file, buffer, size, &n, nullptr)) return Fail(GetLastError(), FALSE);
  open->second.read += n;
  if (read) *read = n;
  return TRUE;
}

BOOL WINAPI CeWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED) {
  EmuLock lock;
  Emu& emu = State();
  if (written) *written = 0;
  if (!Connected()) return FALSE;
  auto open = emu.files.find(file);
  if (open == emu.files.end()) return Fail(DWORD(ERROR_INVALID_HANDLE), FALSE);
  if (emu.config.writeDelayMs) Sleep(emu.config.writeDelayMs);
  // A connection that drops: the bytes up to the limit arrive, the call fails.
  DWORD accepted = size;
  bool drops = false;
  if (emu.config.dropAfter && emu.bytesWritten + size > emu.config.dropBytes) {
    accepted = DWORD(emu.config.dropBytes - emu.bytesWritten);
    drops = true;
  }
  DWORD n = 0;
  if (accepted && !WriteFile(file, buffer, accepted, &n, nullptr)) return Fail(GetLastError(), FALSE);
  open->second.written += n;
  open->second.writes += 1;
  if (size > open->second.largestWrite) open->second.largestWrite = size;
  emu.bytesWritten += n;
  if (written) *written = n;
  if (drops) {
    emu.link = Link::kDropped;
    EmuLog(L"connection dropped after " + std::to_wstring(emu.bytesWritten) + L" bytes written");
    return Fail(emu.config.dropError, FALSE);
  }
  return TRUE;
}

DWORD WINAPI CeGetFileAttributes(LPCWSTR path) {
  EmuLock lock;
  std::wstring pc;
  if (!Connected() || !Map(path, pc)) return INVALID_FILE_ATTRIBUTES;
  DWORD attributes = GetFileAttributesW(pc.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(GetLastError(), INVALID_FILE_ATTRIBUTES);
  return attributes;
}

HANDLE WINAPI CeFindFirstFile(LPCWSTR path, CeFindData* found) {
  EmuLock lock;
  std::wstring pc;
  if (!found) return Fail(DWORD(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE);
  if (!Connected() || !Map(path, pc)) return INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pc.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return Fail(GetLastError(), INVALID_HANDLE_VALUE);
  CopyFound(data, found);
  State().finds.insert(find);
  return find;
}

BOOL WINAPI CeFindClose(HANDLE find) {
  EmuLock lock;
  if (!State().finds.erase(find)) return Fail(DWORD(ERROR_INVALID_HANDLE), FALSE);
  FindClose(find);
  return TRUE;
}

BOOL WINAPI CeDeleteFile(LPCWSTR path) {
  EmuLock lock;
  std::wstring pc;
  if (!Connected() || !Map(path, pc)) return FALSE;
  if (!DeleteFileW(pc.c_str())) return Fail(GetLastError(), FALSE);
  EmuLog(std::wstring(L"CeDeleteFile ") + path);
  return TRUE;
}

// Closing works in any state of the connection, so that a caller can always let go.
BOOL WINAPI CeCloseHandle(HANDLE handle) {
  EmuLock lock;
  Emu& emu = State();
  if (emu.processes.erase(handle)) return TRUE;
  auto open = emu.files.find(handle);
  if (open == emu.files.end()) return Fail(DWORD(ERROR_INVALID_HANDLE), FALSE);
  const OpenDeviceFile& f = open->second;
  EmuLog(L"CeCloseHandle " + f.devicePath + L" written " + std::to_wstring(f.written) + L" in " +
         std::to_wstring(f.writes) + L" writes of at most " + std::to_wstring(f.largestWrite) + L", read " +
         std::to_wstring(f.read));
  CloseHandle(handle);
  emu.files.erase(open);
  return TRUE;
}

DWORD WINAPI CeGetLastError() {
  EmuLock lock;
  return State().lastError;
}

}  // extern "C"
