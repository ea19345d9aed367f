#include "main_window.h"

#include "app.h"
#include "devices_window.h"
#include "exchange_folder.h"
#include "file_actions.h"
#include "folder_dialog.h"
#include "message_box.h"
#include "my_button.h"
#include "resource.h"
#include "service_control.h"
#include "status_line.h"
#include "text.h"

namespace {
const int kExpandedOnly[] = {IDC_FOLDER_LABEL, IDC_FOLDER_MENU, IDC_APPLY,   IDC_FOLDER_EDIT, IDC_START,
                             IDC_STOP,         IDC_RESTART,     IDC_PAUSE,   IDC_CONTINUE};

struct ButtonText {
    int id;
    const wchar_t* text;
};
const ButtonText kButtons[] = {
    {IDC_MORE, L"Дополнительно >>"}, {IDC_FOLDER_MENU, L"..."},         {IDC_APPLY, L"Применить"},
    {IDC_START, L"Старт"},           {IDC_STOP, L"Остановить службу"}, {IDC_RESTART, L"Перезапустить"},
    {IDC_PAUSE, L"Приостановить"},   {IDC_CONTINUE, L"Продолжить"},    {IDC_REMOVE, L"Удалить службу"},
};

std::wstring FolderEditText() {
    wchar_t text[kMaxFolderChars + 1] = L"";
    GetDlgItemTextW(g_app.mainWindow, IDC_FOLDER_EDIT, text, static_cast<int>(kMaxFolderChars + 1));
    return text;
}

// The file actions work on the typed folder, or the current one when the box is empty.
std::wstring FolderForAction() {
    std::wstring typed = FolderEditText();
    return typed.empty() ? g_app.exchangeFolder : typed;
}

void ShowCurrentFolder() { SetDlgItemTextW(g_app.mainWindow, IDC_FOLDER_EDIT, g_app.exchangeFolder.c_str()); }

void OnInitDialog(HWND window) {
    SetWindowTextW(window, kCaption);
    HICON small = static_cast<HICON>(LoadImageW(g_app.instance, MAKEINTRESOURCEW(IDI_VELORA), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    HICON big = LoadIconW(g_app.instance, MAKEINTRESOURCEW(IDI_VELORA));
    if (small) SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (big) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SetDlgItemTextW(window, IDC_TITLE, L"Velora Служба обмена данными");
    SetDlgItemTextW(window, IDC_FOLDER_LABEL, L"Папка обмена данными:");
    for (const ButtonText& b : kButtons) {
        HWND button = GetDlgItem(window, b.id);
        SetWindowTextW(button, b.text);
        MyButton::Attach(button, b.id == IDC_MORE ? 3 : 0);
    }
}

void PopUpFolderMenu(HWND window) {
    HMENU menu = CreateFolderMenu();
    if (!menu) return;
    RECT r;
    GetWindowRect(GetDlgItem(window, IDC_FOLDER_MENU), &r);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, r.left, r.bottom, 0, window, nullptr);
    DestroyMenu(menu);
}

void ApplyFolder() {
    std::wstring folder = FolderEditText();
    if (folder.empty()) {
        ShowBox(BoxKind::Warning, L"Сначала укажите папку обмена данными.");
        return;
    }
    if (!AskYesNo(L"Вы действительно хотите установить новую папку обмена?")) return;
    folder = DropTrailingBackslash(folder);
    if (!CheckFolderIsAnsi(g_app.mainWindow, folder) || !EnsureExchangeFolder(g_app.mainWindow, folder) ||
        !StoreExchangeFolder(g_app.mainWindow, folder))
        return;
    ShowCurrentFolder();
    int state = GetServiceStateCode();
    if (state == kStateStopped) {
        if (AskYesNo(L"Служба сейчас остановлена, запустить?")) RunStartCycle();
    } else if (state == kStateRunning) {
        if (AskYesNo(L"Служба сейчас запущена, перезапустить?") && StopServiceAndWait()) RunStartCycle();
    }
    RefreshServiceState();
}

void StartButton() {
    LoadExchangeFolder();
    ShowCurrentFolder();
    if (g_app.exchangeFolder.empty()) {
        // Nothing to check or create: the service would only fail with an unknown path.
        ShowBox(BoxKind::Error, L"Не выбрана папка обмена данными.");
        return;
    }
    if (!EnsureExchangeFolder(g_app.mainWindow, g_app.exchangeFolder)) return;
    RunStartCycle();
    RefreshServiceState();
}

void RemoveButton() {
    if (!AskYesNo(L"Вы действительно хотите удалить службу?")) return;
    if (!RemoveServiceEntry()) return;
    std::wstring path = ServiceExePath();
    if (!DeleteServiceExe(path))
        ShowBox(BoxKind::Plain, Fmt(L"Файл %ls службы '%ls' удалить не удалось - %ls", path.c_str(),
                                    kServiceDisplayName, ErrorText().c_str()));
    PostQuitMessage(0);
}

void OnCommand(HWND window, int id) {
    switch (id) {
        case IDC_MORE:
            g_app.expanded = !g_app.expanded;
            LayOutMainWindow();
            break;
        case IDC_FOLDER_MENU: PopUpFolderMenu(window); break;
        case IDM_CHOOSE_FOLDER: {
            std::wstring chosen;
            if (BrowseForFolder(window, FolderForAction(), &chosen))
                SetDlgItemTextW(window, IDC_FOLDER_EDIT, chosen.c_str());
            break;
        }
        case IDM_OPEN_EXPLORER: OpenFolderInExplorer(FolderForAction()); break;
        case IDM_VIEW_CONFIG: ViewConfigFile(FolderForAction()); break;
        case IDM_VIEW_LOG: ViewLogFile(FolderForAction()); break;
        case IDM_DEVICES: ShowDevicesWindow(FolderForAction()); break;
        case IDC_APPLY: ApplyFolder(); break;
        case IDC_START: StartButton(); break;
        case IDC_STOP:
            StopServiceAndWait();
            RefreshServiceState();
            break;
        case IDC_RESTART:
            if (StopServiceAndWait()) RunStartCycle();
            RefreshServiceState();
            break;
        case IDC_PAUSE:
            PauseServiceAndWait();
            RefreshServiceState();
            break;
        case IDC_CONTINUE:
            ContinueServiceAndWait();
            RefreshServiceState();
            break;
        case IDC_REMOVE: RemoveButton(); break;
    }
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            g_app.mainWindow = window;
            OnInitDialog(window);
            return TRUE;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == 1) RefreshServiceStateFromTimer();
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                PostQuitMessage(0);
                SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            return FALSE;  // minimise, restore and the rest: default handling
        case WM_CLOSE:
            return TRUE;  // only the system menu's close ends the program
    }
    return FALSE;
}
}  // namespace

HMENU CreateFolderMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    AppendMenuW(menu, MF_STRING, IDM_CHOOSE_FOLDER, L"Выбрать папку...");
    AppendMenuW(menu, MF_STRING, IDM_OPEN_EXPLORER, L"Открыть \"Проводник\"");
    AppendMenuW(menu, MF_STRING, IDM_VIEW_CONFIG, L"Просмотр файла настроек");
    AppendMenuW(menu, MF_STRING, IDM_VIEW_LOG, L"Просмотр лога");
    AppendMenuW(menu, MF_STRING, IDM_DEVICES, L"Устройства…");
    return menu;
}

HWND CreateMainWindow() {
    return CreateDialogParamW(g_app.instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
}

void LayOutMainWindow() {
    HWND window = g_app.mainWindow;
    bool expanded = g_app.expanded;
    SetDlgItemTextW(window, IDC_MORE, expanded ? L"Дополнительно <<" : L"Дополнительно >>");

    RECT w;
    GetWindowRect(window, &w);
    int height = GetSystemMetrics(SM_CYCAPTION) + (expanded ? 357 : 142);
    SetWindowPos(window, nullptr, 0, 0, w.right - w.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    HWND frame = GetDlgItem(window, IDC_MORE_FRAME);
    RECT f;
    GetWindowRect(frame, &f);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&f), 2);
    SetWindowPos(frame, nullptr, 0, 0, f.right - f.left, expanded ? 225 : 3,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (int id : kExpandedOnly) ShowWindow(GetDlgItem(window, id), expanded ? SW_SHOW : SW_HIDE);

    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    LoadExchangeFolder();
    ShowCurrentFolder();
    RefreshServiceState();
}
