// Windows that the component shows during a device method, found and driven from a second
// thread of the test without sending messages to the busy thread (its text is read with
// InternalGetWindowText).
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// A visible dialog-class window of this process with exactly this caption; null when none.
HWND FindOwnDialog(const std::wstring& caption);
std::wstring WindowTextOf(HWND window);

// Presses OK on the first message box (empty caption) that appears within `ms`, keeping its
// text and owner.
class MessageBoxPresser {
 public:
  explicit MessageBoxPresser(DWORD ms = 20000);
  ~MessageBoxPresser() { Join(); }
  void Join() {
    if (thread.joinable()) thread.join();
  }
  bool found = false;
  std::wstring text;
  HWND owner = nullptr;

 private:
  std::thread thread;
};

// Watches the progress window "Копирование" until `stop`: its text, client size and every
// distinct position of its bar.
class ProgressWatcher {
 public:
  ProgressWatcher();
  ~ProgressWatcher() { Stop(); }
  void Stop();
  bool seen = false;
  std::wstring text;
  SIZE client = {};
  std::vector<int> positions;

 private:
  std::atomic<bool> stop{false};
  std::thread thread;
};
