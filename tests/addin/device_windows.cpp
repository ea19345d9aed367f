#include "device_windows.h"

#include <commctrl.h>

#include "top_windows.h"


std::wstring WindowTextOf(HWND window) {
  wchar_t text[2048] = L"";
  int n = InternalGetWindowText(window, text, 2048);
  return std::wstring(text, n > 0 ? size_t(n) : 0);
}

HWND FindOwnDialog(const std::wstring& caption) {
  for (HWND window : TopWindows(GetCurrentProcessId(), L"#32770"))
    if (WindowTextOf(window) == caption) return window;
  return nullptr;
}

MessageBoxPresser::MessageBoxPresser(DWORD ms) {
  thread = std::thread([this, ms] {
    for (DWORD waited = 0; waited < ms; waited += 50) {
      if (HWND box = FindOwnDialog(L"")) {
        found = true;
        text = WindowTextOf(GetDlgItem(box, 0xFFFF));
        owner = GetWindow(box, GW_OWNER);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(50);
    }
  });
}

ProgressWatcher::ProgressWatcher() {
  thread = std::thread([this] {
    while (!stop) {
      if (HWND window = FindOwnDialog(L"Копирование")) {
        seen = true;
        text = WindowTextOf(GetDlgItem(window, 204));
        RECT r = {};
        GetClientRect(window, &r);
        client = {r.right, r.bottom};
        DWORD_PTR pos = 0;
        // The copying thread answers sent messages after every block.
        if (SendMessageTimeoutW(GetDlgItem(window, 206), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &pos) &&
            (positions.empty() || positions.back() != int(pos)))
          positions.push_back(int(pos));
      }
      Sleep(20);
    }
  });
}

void ProgressWatcher::Stop() {
  stop = true;
  if (thread.joinable()) thread.join();
}
