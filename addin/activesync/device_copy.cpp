#include "activesync/device_copy.h"

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <cwchar>

#include "activesync/copy_progress.h"
#include "activesync/rapi_library.h"
#include "activesync_state.h"
#include "addin.h"

namespace {
// Where the blocks come from and go to; each answers false on failure.
struct CopyEnds {
  virtual ~CopyEnds() = default;
  virtual bool Read(void* buffer, DWORD size, DWORD* read) = 0;
  virtual bool Write(const void* buffer, DWORD size) = 0;
  // After a failed write, before the copy ends.
  virtual void WriteFailed() {}
};

// PC source file to a device file.
class ToDevice : public CopyEnds {
 public:
  ToDevice(CAddIn& addIn, HANDLE pc, HANDLE device) : addIn(addIn), pc(pc), device(device) {}
  bool Read(void* buffer, DWORD size, DWORD* read) override {
    return ReadFile(pc, buffer, size, read, nullptr) != FALSE;
  }
  bool Write(const void* buffer, DWORD size) override {
    DWORD written = 0;
    return RapiCall(Rapi().CeWriteFile, FALSE, device, buffer, size, &written, nullptr) && written == size;
  }
  void WriteFailed() override {
    wchar_t text[96];
    swprintf(text, 96, L"Ошибка записи файла в КПК. Код ошибки в WinCE: %X", unsigned(RapiLastError()));
    ShowDeviceMessage(addIn, text);
  }

 private:
  CAddIn& addIn;
  HANDLE pc, device;
};

// Device source file to a PC file.
class FromDevice : public CopyEnds {
 public:
  FromDevice(HANDLE device, HANDLE pc) : device(device), pc(pc) {}
  bool Read(void* buffer, DWORD size, DWORD* read) override {
    return RapiCall(Rapi().CeReadFile, FALSE, device, buffer, size, read, nullptr) != FALSE;
  }
  bool Write(const void* buffer, DWORD size) override {
    DWORD written = 0;
    return WriteFile(pc, buffer, size, &written, nullptr) && written == size;
  }

 private:
  HANDLE device, pc;
};

// Handles closed on every way out.
struct PcFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~PcFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
struct DeviceFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~DeviceFile() {
    if (handle != INVALID_HANDLE_VALUE) RapiCall(Rapi().CeCloseHandle, FALSE, handle);
  }
};
struct TaskMemory {
  void* block = nullptr;
  ~TaskMemory() { CoTaskMemFree(block); }
};

std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && folder.back() == L'\\') return folder + name;
  return folder + L'\\' + name;
}

// The name of a device file found, cut to its field when the device left it unterminated.
std::wstring FoundName(const CeFindData& found) {
  return std::wstring(found.cFileName, wcsnlen(found.cFileName, kCeMaxPath));
}

std::uint64_t Size64(DWORD high, DWORD low) { return (std::uint64_t(high) << 32) | low; }

long RunCopy(CAddIn& addIn, CopyEnds& ends, std::uint64_t size, const std::wstring& text) {
  DWORD block = addIn.fileBufferSize;
  TaskMemory buffer;
  buffer.block = CoTaskMemAlloc(block);
  if (!buffer.block) return kCeGeneral;
  CopyProgress progress;
  bool visible = addIn.copyWindowVisible != FALSE;
  if (visible && !progress.Open(text)) return kCeGeneral;
  std::uint64_t total = 0;
  for (;;) {
    DWORD read = 0;
    if (!ends.Read(buffer.block, block, &read)) return kCeReadError;
    if (read == 0) break;
    if (!ends.Write(buffer.block, read)) {
      ends.WriteFailed();
      return kCeWriteError;
    }
    total += read;
    if (visible) progress.Step(CopyPercent(total, size));
  }
  if (visible) progress.Step(CopyPercent(total, size));
  return kCeOk;
}

long Ready() {
  if (!RapiLoaded()) return kCeNoLibrary;
  if (!IsRapiInitialised()) return kCeNotInited;
  return kCeOk;
}
}  // namespace

void ShowDeviceMessage(CAddIn& addIn, const std::wstring& text) {
  MessageBoxW(addIn.PageWindow(), text.c_str(), L"", MB_OK);
}

long PutFileToDevice(CAddIn& addIn, const std::wstring& source, std::wstring destination) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(source.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return kCeNoSource;
  FindClose(find);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kCeSourceIsFolder;
  if (long code = Ready()) return code;

  DWORD attributes = RapiCall(Rapi().CeGetFileAttributes, DWORD(INVALID_FILE_ATTRIBUTES), destination.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    destination = Joined(destination, found.cFileName);

  PcFile pc;
  pc.handle = CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pc.handle == INVALID_HANDLE_VALUE) return kCeCannotOpenSource;
  DeviceFile device;
  device.handle = RapiCall(Rapi().CeCreateFile, INVALID_HANDLE_VALUE, destination.c_str(), DWORD(GENERIC_WRITE),
                           DWORD(0), LPSECURITY_ATTRIBUTES(nullptr), DWORD(CREATE_ALWAYS),
                           DWORD(FILE_ATTRIBUTE_NORMAL), HANDLE(nullptr));
  if (device.handle == INVALID_HANDLE_VALUE) return kCeCannotCreate;

  // The whole size, not its low 32 bits: a file of 4 GiB or more moves the bar too.
  std::uint64_t size = Size64(found.nFileSizeHigh, found.nFileSizeLow);
  ToDevice ends(addIn, pc.handle, device.handle);
  return RunCopy(addIn, ends, size, CopyText(size, L"Из:", source, L"В КПК:", destination));
}

long GetFileFromDevice(CAddIn& addIn, const std::wstring& source, std::wstring destination) {
  if (long code = Ready()) return code;
  CeFindData found = {};
  HANDLE find = RapiCall(Rapi().CeFindFirstFile, INVALID_HANDLE_VALUE, source.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return kCeNoSource;
  RapiCall(Rapi().CeFindClose, FALSE, find);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kCeSourceIsFolder;

  DWORD attributes = GetFileAttributesW(destination.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    destination = Joined(destination, FoundName(found));

  DeviceFile device;
  device.handle = RapiCall(Rapi().CeCreateFile, INVALID_HANDLE_VALUE, source.c_str(), DWORD(GENERIC_READ),
                           DWORD(FILE_SHARE_READ), LPSECURITY_ATTRIBUTES(nullptr), DWORD(OPEN_EXISTING),
                           DWORD(FILE_ATTRIBUTE_NORMAL), HANDLE(nullptr));
  if (device.handle == INVALID_HANDLE_VALUE) return kCeCannotOpenSource;
  PcFile pc;
  pc.handle = CreateFileW(destination.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (pc.handle == INVALID_HANDLE_VALUE) return kCeCannotCreate;

  std::uint64_t size = Size64(found.nFileSizeHigh, found.nFileSizeLow);
  FromDevice ends(device.handle, pc.handle);
  return RunCopy(addIn, ends, size, CopyText(size, L"Из КПК:", source, L"В:", destination));
}
