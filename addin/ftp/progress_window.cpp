#include "ftp/progress_window.h"

#include <windows.h>
#include <commctrl.h>

#include "ftp/ftp_state.h"
#include "names.h"
#include "res/resource.h"

namespace {
const int kMargin = 5;

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      Ftp().cancel = true;
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == 8 || LOWORD(wParam) == IDCANCEL) {
        if (!Ftp().cancel) {
          SetDlgItemTextW(window, IDC_FTP_STATUS, L"Прервано пользователем.");
          Ftp().cancel = true;
        }
        return TRUE;
      }
      break;
  }
  return FALSE;
}
}  // namespace

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));  // leave it for the host's own loop
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ProgressOpen(const std::wstring& caption) {
  FtpState& ftp = Ftp();
  if (!ftp.progress) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    ftp.progress = CreateDialogParamW(AddInModule(), MAKEINTRESOURCEW(IDD_FTP_PROGRESS), nullptr, ProgressProc, 0);
    if (!ftp.progress) return;
  }
  HWND window = ftp.progress;
  SetWindowTextW(window, caption.c_str());
  SetDlgItemTextW(window, IDC_FTP_STATUS, L"Состояние");
  RECT client;
  GetClientRect(window, &client);
  int width = client.right - client.left - 2 * kMargin;
  MoveWindow(GetDlgItem(window, IDC_FTP_STATUS), kMargin, kMargin, width, 16, TRUE);
  HWND bar = GetDlgItem(window, IDC_FTP_BAR);
  MoveWindow(bar, kMargin, 25, width, 20, TRUE);
  SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
  SendMessageW(bar, PBM_SETPOS, 0, 0);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  PumpMessages();
}

void ProgressClose() {
  FtpState& ftp = Ftp();
  if (ftp.progress) {
    DestroyWindow(ftp.progress);
    ftp.progress = nullptr;
    PumpMessages();
  }
  ftp.cancel = true;
}

void ProgressStatus(const std::wstring& text) {
  HWND window = Ftp().progress;
  if (!window) return;
  SetDlgItemTextW(window, IDC_FTP_STATUS, text.c_str());
  UpdateWindow(window);
  PumpMessages();
}

void ProgressBar(unsigned perMille) {
  if (HWND window = Ftp().progress) SendDlgItemMessageW(window, IDC_FTP_BAR, PBM_SETPOS, perMille, 0);
}
