#include "emu_state.h"

namespace {
Emu state;

CRITICAL_SECTION& Lock() {
  static CRITICAL_SECTION lock;
  static bool made = (InitializeCriticalSection(&lock), true);
  (void)made;
  return lock;
}
}  // namespace

Emu& State() { return state; }

EmuLock::EmuLock() { EnterCriticalSection(&Lock()); }
EmuLock::~EmuLock() { LeaveCriticalSection(&Lock()); }

void EmuLog(const std::wstring& line) {
  if (state.config.logFile.empty()) return;
  HANDLE file = CreateFileW(state.config.logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE |
                            FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text = ToUtf8(line) + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool Connected() {
  if (state.link == Link::kUp) return true;
  state.lastError = state.link == Link::kDropped ? state.config.dropError : DWORD(ERROR_DEVICE_NOT_CONNECTED);
  return false;
}
