// The emulator's one state: its configuration, the connection, the device's last error, the
// handles it has given out, and its log. Every export takes the lock for its whole call.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "emu_config.h"

enum class Link { kIdle, kPending, kUp, kFailed, kDropped };

// A device file opened through CeCreateFile, and what went through it.
struct OpenDeviceFile {
  std::wstring devicePath;
  std::uint64_t written = 0, read = 0;
  unsigned long writes = 0;
  DWORD largestWrite = 0;
};

struct Emu {
  HMODULE self = nullptr;
  EmuConfig config;
  Link link = Link::kIdle;
  HANDLE initEvent = nullptr;
  std::uint64_t bytesWritten = 0;  // since the connection came up
  DWORD lastError = 0;
  std::map<HANDLE, OpenDeviceFile> files;
  std::set<HANDLE> finds;
  std::set<HANDLE> processes;  // process and thread handles of started programs
  unsigned long nextProcessId = 0x100;
};

Emu& State();

class EmuLock {
 public:
  EmuLock();
  ~EmuLock();
  EmuLock(const EmuLock&) = delete;
  EmuLock& operator=(const EmuLock&) = delete;
};

// Appends a line (UTF-8) to the log file.
void EmuLog(const std::wstring& line);

// Records the device's error and answers `value`.
template <typename T>
T Fail(DWORD error, T value) {
  State().lastError = error;
  return value;
}

// True while the connection is up; otherwise the last error says why not.
bool Connected();
