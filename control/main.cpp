// VeloraServerCtrl: installs, runs and removes the VeloraService service from a window.
// Exit code 0 after the window was closed (or another instance was raised), 1 when the start
// sequence ended early (installation declined, no folder, a failed write of the service).
#include "app.h"
#include "embedded_exe.h"
#include "exchange_folder.h"
#include "file_actions.h"
#include "folder_dialog.h"
#include "main_window.h"
#include "message_box.h"
#include "service_values.h"
#include "resource.h"
#include "service_control.h"
#include "text.h"

#include <objbase.h>


namespace {
// Only one control panel runs: a second start raises the first window and ends.
bool RaiseRunningInstance() {
    HWND other = FindWindowW(L"#32770", kCaption);
    if (!other) return false;
    SetForegroundWindow(other);
    PostMessageW(other, WM_SYSCOMMAND, SC_RESTORE, 0);
    return true;
}

// The window check alone lets two copies started in the same instant both run: the named
// mutex decides between them, and the later one raises the other's window once it is there.
bool AnotherInstanceStarted() {
    static HANDLE mutex = nullptr;  // held until the process ends
    mutex = CreateMutexW(nullptr, FALSE, L"Local\\VeloraServerCtrl");
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS) return false;
    for (int i = 0; i < 50 && !RaiseRunningInstance(); ++i) Sleep(100);
    return true;
}

// Installation when the service is missing; false ends the program.
bool InstallService(const std::wstring& commandLine) {
    if (!AskYesNo(Fmt(L"Служба '%ls' не установлена, установить?", kCaption))) return false;
    std::wstring folder = FolderFromCommandLine(commandLine);
    if (!folder.empty()) {
        folder = DropTrailingBackslash(folder);
        if (!CheckFolderIsAnsi(g_app.mainWindow, folder)) return false;
        if (!EnsureExchangeFolder(g_app.mainWindow, folder)) return false;
        if (!StoreExchangeFolder(g_app.mainWindow, folder)) return false;
    } else if (ShowFolderDialog(g_app.mainWindow) != IDOK) {
        return false;
    }
    EnsureConfigTemplate();
    if (!WriteEmbeddedServiceExe()) return false;
    InstallServiceEntry();
    WriteVersionValue(kCurrentVersion);  // whatever the installation's outcome
    return true;
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(g_app.mainWindow, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    if (RaiseRunningInstance() || AnotherInstanceStarted()) return 0;
    g_app.instance = instance;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the folder browser needs COM

    RemoveLegacyService();
    if (!CreateMainWindow()) return 1;

    for (bool firstPass = true;; firstPass = false) {
        if (GetServiceStateCode() == kStateNotInstalled) {
            if (!InstallService(commandLine ? commandLine : L"")) return 1;
        } else {
            LoadExchangeFolder();
        }
        if (!firstPass) break;
        int check = CheckOldServiceVersion();
        if (check == 0) return 1;
        if (check == 1) break;
        // -1: the old service is gone; the next pass asks to install it again.
    }

    SendDlgItemMessageW(g_app.mainWindow, IDC_FOLDER_EDIT, EM_LIMITTEXT, kMaxFolderChars + 1, 0);
    SetDlgItemTextW(g_app.mainWindow, IDC_FOLDER_EDIT, g_app.exchangeFolder.c_str());
    SetTimer(g_app.mainWindow, 1, 5000, nullptr);
    LayOutMainWindow();
    ShowWindow(g_app.mainWindow, SW_SHOW);
    int code = RunMessageLoop();
    KillTimer(g_app.mainWindow, 1);
    DestroyWindow(g_app.mainWindow);
    CoUninitialize();
    return code;
}
