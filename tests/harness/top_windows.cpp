#include "top_windows.h"

#include <cwchar>

namespace {
struct Found {
    DWORD pid;
    const wchar_t* cls;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM param) {
    Found* found = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[32] = L"";
    GetClassNameW(window, cls, 32);
    if (pid == found->pid && IsWindowVisible(window) && std::wcscmp(cls, found->cls) == 0)
        found->windows.push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(DWORD pid, const wchar_t* windowClass) {
    Found found = {pid, windowClass, {}};
    EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}
