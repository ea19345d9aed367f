#include "list_view.h"

#include <commctrl.h>

#include "pointer.h"

namespace {
constexpr SIZE_T kBufferSize = 4096;
constexpr SIZE_T kTextOffset = 1024;  // the structure first, the text behind it
constexpr int kTextChars = 512;

// The middle of `r` in `window`'s client, with the real cursor put there too.
LPARAM Point(HWND window, const RECT& r) {
    POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    PointerTo(window, at);
    return MAKELPARAM(at.x, at.y);
}
}  // namespace

RemoteListView::RemoteListView(HWND list) : list_(list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
        buffer_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kBufferSize, MEM_COMMIT, PAGE_READWRITE));
}

RemoteListView::~RemoteListView() {
    if (buffer_) VirtualFreeEx(process_, buffer_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
}

std::wstring RemoteListView::Text(UINT message, WPARAM index, int subItem) {
    wchar_t* remoteText = reinterpret_cast<wchar_t*>(buffer_ + kTextOffset);
    wchar_t empty = 0;
    WriteProcessMemory(process_, remoteText, &empty, sizeof empty, nullptr);
    if (message == LVM_GETCOLUMNW) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        column.pszText = remoteText;
        column.cchTextMax = kTextChars;
        WriteProcessMemory(process_, buffer_, &column, sizeof column, nullptr);
    } else {
        LVITEMW item = {};
        item.iSubItem = subItem;
        item.pszText = remoteText;
        item.cchTextMax = kTextChars;
        WriteProcessMemory(process_, buffer_, &item, sizeof item, nullptr);
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list_, message, index, reinterpret_cast<LPARAM>(buffer_), SMTO_ABORTIFHUNG, 5000, &result);
    wchar_t text[kTextChars] = L"";
    ReadProcessMemory(process_, remoteText, text, sizeof text - sizeof(wchar_t), nullptr);
    return text;
}

bool RemoteListView::Rect(UINT message, WPARAM index, int code, RECT* out) {
    RECT r = {code, 0, 0, 0};
    WriteProcessMemory(process_, buffer_, &r, sizeof r, nullptr);
    HWND target = message == HDM_GETITEMRECT ? ListView_GetHeader(list_) : list_;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(target, message, index, reinterpret_cast<LPARAM>(buffer_), SMTO_ABORTIFHUNG, 5000, &result) ||
        !result)
        return false;
    return ReadProcessMemory(process_, buffer_, out, sizeof *out, nullptr) != 0;
}

std::vector<std::wstring> RemoteListView::Columns() {
    std::vector<std::wstring> titles;
    int count = static_cast<int>(SendMessageW(ListView_GetHeader(list_), HDM_GETITEMCOUNT, 0, 0));
    for (int c = 0; c < count; ++c) titles.push_back(Text(LVM_GETCOLUMNW, c, 0));
    return titles;
}

std::vector<std::vector<std::wstring>> RemoteListView::Rows() {
    std::vector<std::vector<std::wstring>> rows;
    int columns = static_cast<int>(SendMessageW(ListView_GetHeader(list_), HDM_GETITEMCOUNT, 0, 0));
    int count = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::vector<std::wstring> cells;
        for (int c = 0; c < columns; ++c) cells.push_back(Text(LVM_GETITEMTEXTW, i, c));
        rows.push_back(cells);
    }
    return rows;
}

void RemoteListView::ClickColumn(int column) {
    RECT r;
    if (!Rect(HDM_GETITEMRECT, column, 0, &r)) return;
    HWND header = ListView_GetHeader(list_);
    LPARAM at = Point(header, r);
    PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(header, WM_LBUTTONUP, 0, at);
}

void RemoteListView::DoubleClickRow(int row) {
    RECT r;
    if (!Rect(LVM_GETITEMRECT, row, LVIR_LABEL, &r)) return;
    LPARAM at = Point(list_, r);
    PostMessageW(list_, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list_, WM_LBUTTONUP, 0, at);
    PostMessageW(list_, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list_, WM_LBUTTONUP, 0, at);
}

void RemoteListView::Scroll(int dx) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list_, LVM_SCROLL, static_cast<WPARAM>(dx), 0, SMTO_ABORTIFHUNG, 5000, &result);
}
