#include "devices_window.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "app.h"
#include "device_rows.h"
#include "exchange_state.h"
#include "file_actions.h"
#include "message_box.h"
#include "resource.h"
#include "text.h"

namespace {
constexpr UINT kStateRead = WM_APP + 1;  // lParam: a new ExchangeState from the reading thread
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kListId = 100, kStatusId = 101;

struct DevicesWindow {
    HWND window = nullptr, list = nullptr, status = nullptr;
    std::wstring folder;
    std::vector<DeviceRow> rows;
    int sortColumn = -1;  // -1: the morning order
    bool descending = false;
    bool reading = false;  // a read is under way: the timer does not start another
    bool sized = false;    // the columns fitted to the first rows; later the user's widths stay
};
DevicesWindow g_devices;

// Reads the folder on a thread of its own, so that a slow or unreachable folder never holds up
// the window; the result arrives as kStateRead (and is dropped if the window has gone).
void StartRead() {
    if (g_devices.reading || !g_devices.window) return;
    g_devices.reading = true;
    HWND window = g_devices.window;
    std::string folder = WideToAnsi(g_devices.folder);
    std::thread([window, folder] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // the XML parser of config.xml
        auto state = std::make_unique<ExchangeState>(ReadExchangeState(folder));
        CoUninitialize();
        if (PostMessageW(window, kStateRead, 0, reinterpret_cast<LPARAM>(state.get()))) state.release();
    }).detach();
}

std::wstring SelectedFolder() {
    int item = static_cast<int>(SendMessageW(g_devices.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (item < 0 || item >= static_cast<int>(g_devices.rows.size())) return std::wstring();
    return AnsiToWide(g_devices.rows[static_cast<std::size_t>(item)].folderPath);
}

void ShowSortMark() {
    HWND header = reinterpret_cast<HWND>(SendMessageW(g_devices.list, LVM_GETHEADER, 0, 0));
    for (int c = 0; c < kColumnCount; ++c) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, c, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == g_devices.sortColumn) item.fmt |= g_devices.descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, c, reinterpret_cast<LPARAM>(&item));
    }
}

int TextWidth(const std::wstring& text) {
    return static_cast<int>(SendMessageW(g_devices.list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

// Each column as wide as its title (with room for the sort mark) or its widest cell.
void FitColumns() {
    for (int c = 0; c < kColumnCount; ++c) {
        int width = TextWidth(AnsiToWide(ColumnTitle(c, RowLanguage::Russian))) + 28;
        for (const DeviceRow& row : g_devices.rows) width = std::max(width, TextWidth(AnsiToWide(row.cells[c])) + 16);
        SendMessageW(g_devices.list, LVM_SETCOLUMNWIDTH, c, width);
    }
}

// Puts the rows into the list in the current order, keeping the selected device selected.
void FillList() {
    std::wstring selected = SelectedFolder();
    SortDeviceRows(&g_devices.rows, g_devices.sortColumn, g_devices.descending);
    SendMessageW(g_devices.list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(g_devices.list, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < g_devices.rows.size(); ++i) {
        const DeviceRow& row = g_devices.rows[i];
        for (int c = 0; c < kColumnCount; ++c) {
            std::wstring text = AnsiToWide(row.cells[c]);
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.iSubItem = c;
            item.pszText = &text[0];
            SendMessageW(g_devices.list, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, c == 0 ? 0 : i,
                         reinterpret_cast<LPARAM>(&item));
        }
        if (!selected.empty() && AnsiToWide(row.folderPath) == selected) {
            LVITEMW state = {};
            state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(g_devices.list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
            SendMessageW(g_devices.list, LVM_ENSUREVISIBLE, i, FALSE);
        }
    }
    if (!g_devices.sized && !g_devices.rows.empty()) {
        FitColumns();
        g_devices.sized = true;
    }
    SendMessageW(g_devices.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_devices.list, nullptr, TRUE);
    ShowSortMark();
}

void SetStatus(const std::wstring& text) {
    SendMessageW(g_devices.status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring StatusText(const ExchangeState& state) {
    wchar_t time[16];
    std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_s(&local, &now);
    std::wcsftime(time, 16, L"%H:%M:%S", &local);
    std::wstring text = g_devices.folder + L"    обновлено " + time;
    if (state.config == ExchangeState::Config::Missing)
        text += L"    Не найден файл настроек " + JoinPathW(g_devices.folder, L"config.xml");
    else if (state.config == ExchangeState::Config::Unparsed)
        text += L"    Файл настроек не читается: " + AnsiToWide(state.configReason);
    return text;
}

void OnStateRead(ExchangeState* received) {
    std::unique_ptr<ExchangeState> state(received);
    g_devices.reading = false;
    // A read for a folder the window no longer shows is only a reason to read again.
    if (AnsiToWide(state->folder) != DropTrailingBackslash(g_devices.folder)) {
        StartRead();
        return;
    }
    g_devices.rows = BuildDeviceRows(*state, static_cast<std::int64_t>(std::time(nullptr)), RowLanguage::Russian);
    FillList();
    SetStatus(StatusText(*state));
}

void CreateColumns() {
    for (int c = 0; c < kColumnCount; ++c) {
        std::wstring title = AnsiToWide(ColumnTitle(c, RowLanguage::Russian));
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = IsNumericColumn(c) && c != kColNamed ? LVCFMT_RIGHT : LVCFMT_LEFT;  // names sort by count
        column.cx = 80;  // until the first rows arrive
        column.pszText = &title[0];
        column.iSubItem = c;
        SendMessageW(g_devices.list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
}

void OnCreate(HWND window) {
    g_devices.window = window;
    HINSTANCE instance = g_app.instance;
    g_devices.list = CreateWindowExW(0, WC_LISTVIEWW, L"",
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL,
                                     0, 0, 0, 0, window, reinterpret_cast<HMENU>(kListId), instance, nullptr);
    SendMessageW(g_devices.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    g_devices.status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                       window, reinterpret_cast<HMENU>(kStatusId), instance, nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(g_devices.list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(g_devices.status, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    CreateColumns();
    SetTimer(window, kRefreshTimer, kDevicesRefreshMs, nullptr);
}

void OnSize(HWND window) {
    SendMessageW(g_devices.status, WM_SIZE, 0, 0);
    RECT client, bar;
    GetClientRect(window, &client);
    GetWindowRect(g_devices.status, &bar);
    MoveWindow(g_devices.list, 0, 0, client.right, client.bottom - (bar.bottom - bar.top), TRUE);
}

// The rows not connected today stand out in dark red, the folders of no device in grey.
LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw) {
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        std::size_t i = static_cast<std::size_t>(draw->nmcd.dwItemSpec);
        if (i < g_devices.rows.size()) {
            const DeviceRow& row = g_devices.rows[i];
            if (!row.configured) draw->clrText = GetSysColor(COLOR_GRAYTEXT);
            else if (!row.connectedToday) draw->clrText = RGB(160, 0, 0);
        }
    }
    return CDRF_DODEFAULT;
}

LRESULT OnNotify(NMHDR* header) {
    if (header->idFrom != kListId) return 0;
    switch (header->code) {
        case LVN_COLUMNCLICK: {
            int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
            // The same column again turns the order round; a new column starts ascending.
            g_devices.descending = column == g_devices.sortColumn && !g_devices.descending;
            g_devices.sortColumn = column;
            FillList();
            return 0;
        }
        case LVN_ITEMACTIVATE: {  // double-click or Enter
            std::size_t i = static_cast<std::size_t>(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
            if (i < g_devices.rows.size()) OpenFolderInExplorer(AnsiToWide(g_devices.rows[i].folderPath));
            return 0;
        }
        case NM_CUSTOMDRAW: return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    }
    return 0;
}

LRESULT CALLBACK DevicesProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: OnCreate(window); return 0;
        case WM_SIZE: OnSize(window); return 0;
        case WM_TIMER:
            if (wParam == kRefreshTimer) StartRead();
            return 0;
        case kStateRead: OnStateRead(reinterpret_cast<ExchangeState*>(lParam)); return 0;
        case WM_NOTIFY: return OnNotify(reinterpret_cast<NMHDR*>(lParam));
        case WM_SETFOCUS: SetFocus(g_devices.list); return 0;
        case WM_GETMINMAXINFO: {
            MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {320, 160};
            return 0;
        }
        case WM_DESTROY:
            KillTimer(window, kRefreshTimer);
            g_devices = DevicesWindow();
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterDevicesClass() {
    static bool registered = false;
    if (registered) return true;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW cls = {};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = DevicesProc;
    cls.hInstance = g_app.instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kDevicesWindowClass;
    cls.hIcon = LoadIconW(g_app.instance, MAKEINTRESOURCEW(IDI_VELORA));
    registered = RegisterClassExW(&cls) != 0;
    return registered;
}
}  // namespace

void ShowDevicesWindow(const std::wstring& folder) {
    if (folder.empty()) {
        ShowBox(BoxKind::Error, L"Не выбрана папка обмена данными.");
        return;
    }
    if (!g_devices.window) {
        if (!RegisterDevicesClass()) return;
        // Owned by nobody: it has its own button in the task bar and stays behind or before
        // the main window as the user likes.
        HWND window = CreateWindowExW(WS_EX_APPWINDOW, kDevicesWindowClass, L"Устройства - Velora СОД",
                                      WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 1000, 360, nullptr, nullptr,
                                      g_app.instance, nullptr);
        if (!window) {
            ShowBox(BoxKind::Plain, L"Не удалось открыть окно устройств - " + ErrorText());
            return;
        }
        ShowWindow(window, SW_SHOWNORMAL);
    }
    g_devices.folder = DropTrailingBackslash(folder);
    SetStatus(g_devices.folder);
    SetForegroundWindow(g_devices.window);
    StartRead();
}
