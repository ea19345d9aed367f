#include "activesync/copy_progress.h"

#include <commctrl.h>

#include <cwchar>

#include "names.h"
#include "res/resource.h"

namespace {
INT_PTR CALLBACK CopyProgressProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The copy runs on the host's thread without a message loop. Messages that other threads
// send to the window (a screen reader, a test reading the bar) are answered here; posted
// ones, the host's timers among them, wait for the host's own loop.
void AnswerSentMessages() {
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}
}  // namespace

unsigned CopyPercent(std::uint64_t done, std::uint64_t size) {
  if (size == 0 || done >= size) return 100;
  // done * 100 / size, rounded down, one decimal digit at a time: each step adds `done`
  // ten times modulo `size`, so no intermediate value exceeds `size`.
  unsigned percent = 0;
  std::uint64_t rest = done;
  for (int digit = 0; digit < 2; ++digit) {
    std::uint64_t sum = 0;
    unsigned carries = 0;
    for (int k = 0; k < 10; ++k) {
      if (sum >= size - rest) {
        sum -= size - rest;
        ++carries;
      } else {
        sum += rest;
      }
    }
    percent = percent * 10 + carries;
    rest = sum;
  }
  return percent;
}

std::wstring CopyText(std::uint64_t size, const wchar_t* fromLabel, const std::wstring& source,
                      const wchar_t* toLabel, const std::wstring& destination) {
  wchar_t head[64];
  swprintf(head, 64, L"Копирование... (%llu б.)\n", static_cast<unsigned long long>(size));
  std::wstring text = head;
  text += fromLabel;
  text += L' ';
  text += source;
  text += L'\n';
  text += toLabel;
  text += L' ';
  text += destination;
  if (text.size() > kCopyTextMax) text.resize(kCopyTextMax);
  return text;
}

bool CopyProgress::Open(const std::wstring& text) {
  Close();
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  window = CreateDialogParamW(AddInModule(), MAKEINTRESOURCEW(IDD_COPY_PROGRESS), nullptr, CopyProgressProc, 0);
  if (!window) return false;
  SetDlgItemTextW(window, IDC_COPY_TEXT, text.c_str());
  HWND bar = GetDlgItem(window, IDC_COPY_BAR);
  SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(bar, PBM_SETPOS, 0, 0);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  AnswerSentMessages();
  return true;
}

void CopyProgress::Step(unsigned percent) {
  if (!window) return;
  SendDlgItemMessageW(window, IDC_COPY_BAR, PBM_SETPOS, percent, 0);
  UpdateWindow(window);
  AnswerSentMessages();
}

void CopyProgress::Close() {
  if (!window) return;
  ShowWindow(window, SW_HIDE);
  DestroyWindow(window);
  window = nullptr;
}
