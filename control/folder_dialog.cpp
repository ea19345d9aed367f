#include "folder_dialog.h"

#include "app.h"
#include "exchange_folder.h"
#include "message_box.h"
#include "resource.h"
#include "text.h"

#include <shlobj.h>

namespace {
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

std::wstring EditText(HWND dialog, int id) {
    wchar_t text[kMaxFolderChars + 1] = L"";
    GetDlgItemTextW(dialog, id, text, static_cast<int>(kMaxFolderChars + 1));
    return text;
}

INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowTextW(dialog, kCaption);
            SetDlgItemTextW(dialog, IDC_SETUP_LABEL, L"Папка обмена данными:");
            SendDlgItemMessageW(dialog, IDC_SETUP_EDIT, EM_LIMITTEXT, kMaxFolderChars, 0);
            SetDlgItemTextW(dialog, IDC_SETUP_EDIT, L"C:\\VeloraSrvRoot");
            SetDlgItemTextW(dialog, IDC_SETUP_BROWSE, L"...");
            SetDlgItemTextW(dialog, IDCANCEL, L"Отмена");
            SetDlgItemTextW(dialog, IDOK, L"OK");
            if (HICON icon = LoadIconW(g_app.instance, MAKEINTRESOURCEW(IDI_VELORA)))
                SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: {
                    std::wstring folder = EditText(dialog, IDC_SETUP_EDIT);
                    if (folder.empty()) {
                        ShowBox(BoxKind::Warning, L"Укажите папку обмена данными.", dialog);
                        return TRUE;
                    }
                    folder = DropTrailingBackslash(folder);
                    if (CheckFolderIsAnsi(dialog, folder) && EnsureExchangeFolder(dialog, folder) &&
                        StoreExchangeFolder(dialog, folder))
                        EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                case IDC_SETUP_BROWSE: {
                    std::wstring start = EditText(dialog, IDC_SETUP_EDIT), chosen;
                    if (BrowseForFolder(dialog, start, &chosen))
                        SetDlgItemTextW(dialog, IDC_SETUP_EDIT, chosen.c_str());
                    return TRUE;
                }
            }
            break;
    }
    return FALSE;
}
}  // namespace

bool BrowseForFolder(HWND owner, const std::wstring& start, std::wstring* chosen) {
    std::wstring initial = start;
    if (!initial.empty() && initial.back() != L'\\') initial += L'\\';
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = L"Выберите путь к папке обмена данными";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = initial.empty() ? 0 : reinterpret_cast<LPARAM>(initial.c_str());
    ++g_app.openBoxes;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    --g_app.openBoxes;
    if (!item) return false;
    wchar_t path[MAX_PATH] = L"";
    bool ok = SHGetPathFromIDListW(item, path) != FALSE;
    CoTaskMemFree(item);
    if (ok) *chosen = path;
    return ok;
}

INT_PTR ShowFolderDialog(HWND owner) {
    ++g_app.openBoxes;
    INT_PTR result = DialogBoxParamW(g_app.instance, MAKEINTRESOURCEW(IDD_FOLDER), owner, FolderDialogProc, 0);
    --g_app.openBoxes;
    return result;
}
