#include "gui_driver.h"
#include "top_windows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {
const wchar_t kCaption[] = L"Velora СОД";
const int kStatusId = 1028;
const int kFolderBrowseId = 1031;

std::vector<HWND> Dialogs(DWORD pid) { return TopWindows(pid, L"#32770"); }

std::wstring Title(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

struct Children {
    std::vector<HWND> statics;
    HWND icon = nullptr;
};

BOOL CALLBACK CollectStatics(HWND child, LPARAM param) {
    Children* c = reinterpret_cast<Children*>(param);
    wchar_t cls[32] = L"";
    GetClassNameW(child, cls, 32);
    if (_wcsicmp(cls, L"Static") != 0) return TRUE;
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        c->icon = child;
    else
        c->statics.push_back(child);
    return TRUE;
}

bool IsMessageBox(HWND window) {
    if (Title(window) != kCaption) return false;
    if (GetDlgItem(window, kStatusId) || GetDlgItem(window, kFolderBrowseId)) return false;
    return GetDlgItem(window, IDOK) || GetDlgItem(window, IDYES);
}

// The colour of the box's icon as it is on the screen: red for the error icon, yellow for
// the warning icon, blue for the information icon. Returns 'r', 'y', 'b', or '?' while it
// is not painted (yet).
char IconColour(HWND icon) {
    RECT r;
    GetWindowRect(icon, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return '?';
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    int red = 0, yellow = 0, blue = 0;
    const unsigned char* p = static_cast<const unsigned char*>(bits);
    for (int i = 0; i < w * h; ++i, p += 4) {
        int b = p[0], g = p[1], rr = p[2];
        if (rr > 150 && g < 110 && b < 110) ++red;
        if (rr > 170 && g > 140 && b < 110) ++yellow;
        if (b > 150 && rr < 110) ++blue;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    const int enough = w * h / 10;  // a tenth of the icon's square, far above stray pixels
    if (red > enough && red > 2 * (yellow + blue)) return 'r';
    if (yellow > enough && yellow > 2 * (red + blue)) return 'y';
    if (blue > enough && blue > 2 * (red + yellow)) return 'b';
    return '?';
}

// A box without an icon keeps its icon control, empty (or hidden).
bool HasIcon(HWND icon) {
    if (!icon || !IsWindowVisible(icon)) return false;
    DWORD_PTR handle = 0;
    SendMessageTimeoutW(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle);
    return handle != 0;
}

// Whether the box shows an icon. A busy machine can leave the handle unset (or the query
// timed out) for a moment after the text is there, so a visible icon control is asked again
// for up to 3 s before the box counts as plain.
bool IconSettles(HWND icon) {
    for (DWORD start = GetTickCount();; Sleep(100)) {
        if (HasIcon(icon)) return true;
        if (!icon || !IsWindowVisible(icon) || GetTickCount() - start > 3000) return false;
    }
}

// Reads a box once its text is there and its icon painted; a box whose icon stays
// unreadable is of Kind::Unknown and matches no expectation.
Box ReadBox(HWND window) {
    Box box;
    box.window = window;
    Children c;
    DWORD start = GetTickCount();
    do {
        c = Children();
        EnumChildWindows(window, CollectStatics, reinterpret_cast<LPARAM>(&c));
        for (HWND s : c.statics) {
            std::wstring t = Title(s);
            if (!t.empty()) {
                box.text = t;
                break;
            }
        }
        if (!box.text.empty()) break;
        Sleep(50);
    } while (GetTickCount() - start < 10000);
    if (GetDlgItem(window, IDYES)) {
        box.kind = Kind::Question;
    } else if (!IconSettles(c.icon)) {
        box.kind = Kind::Plain;
    } else {
        char colour = '?';
        for (start = GetTickCount(); colour == '?' && GetTickCount() - start < 10000;) {
            colour = IconColour(c.icon);
            if (colour == '?') Sleep(100);  // not painted yet
        }
        box.kind = colour == 'r' ? Kind::Error : colour == 'y' ? Kind::Warning
                 : colour == 'b' ? Kind::Information : Kind::Unknown;
    }
    return box;
}

HWND FindDialogWith(DWORD pid, int childId) {
    for (HWND w : Dialogs(pid))
        if (GetDlgItem(w, childId)) return w;
    return nullptr;
}
}  // namespace

std::string Narrow(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Error: return "error";
        case Kind::Question: return "question";
        case Kind::Warning: return "warning";
        case Kind::Information: return "information";
        case Kind::Unknown: return "unknown (icon not readable)";
        default: return "plain";
    }
}

namespace {
// The built control panel, or the one VELORA_CTRL_EXE names (a Windows path: the setup's
// test runs these tests against the installed copy).
std::wstring ControlPanelExe() {
    wchar_t installed[MAX_PATH] = L"";
    DWORD n = GetEnvironmentVariableW(L"VELORA_CTRL_EXE", installed, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return installed;
    return HostPath(CTRL_EXE);
}
}  // namespace

CtrlProcess::CtrlProcess(const std::wstring& arguments, const std::wstring& program) {
    std::wstring command = L"\"" + (program.empty() ? ControlPanelExe() : program) + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start the control panel: error " << GetLastError();
        return;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
}

CtrlProcess::~CtrlProcess() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool CtrlProcess::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

long CtrlProcess::WaitExit(DWORD timeoutMs) {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
}

std::string DescribeWindows(DWORD pid) {
    std::string out;
    for (HWND w : Dialogs(pid)) {
        Children c;
        EnumChildWindows(w, CollectStatics, reinterpret_cast<LPARAM>(&c));
        out += "[" + Narrow(Title(w)) + " |";
        for (HWND s : c.statics) out += " " + Narrow(Title(s));
        out += "] ";
    }
    return out.empty() ? "(no windows)" : out;
}

Box WaitBox(DWORD pid, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        for (HWND w : Dialogs(pid))
            if (IsMessageBox(w)) return ReadBox(w);
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    ADD_FAILURE() << "no message box within " << timeoutMs << " ms; on screen: " << DescribeWindows(pid);
    return Box();
}

void Press(HWND dialog, int buttonId, bool waitClose) {
    HWND button = GetDlgItem(dialog, buttonId);
    if (!button) {
        ADD_FAILURE() << "the dialog has no button " << buttonId;
        return;
    }
    PostMessageW(button, BM_CLICK, 0, 0);
    if (!waitClose) return;
    for (int i = 0; i < 100 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) Sleep(100);
    if (IsWindow(dialog) && IsWindowVisible(dialog)) ADD_FAILURE() << "the dialog did not close after button " << buttonId;
}

void ExpectBox(DWORD pid, const std::wstring& text, Kind kind, int buttonId, DWORD timeoutMs) {
    Box box = WaitBox(pid, timeoutMs);
    if (!box.window) return;
    EXPECT_EQ(Narrow(box.text), Narrow(text));
    EXPECT_STREQ(KindName(box.kind), KindName(kind)) << Narrow(box.text);
    Press(box.window, buttonId);
}

bool NoBoxWithin(DWORD pid, DWORD ms) {
    DWORD start = GetTickCount();
    do {
        for (HWND w : Dialogs(pid))
            if (IsMessageBox(w)) return false;
        Sleep(100);
    } while (GetTickCount() - start < ms);
    return true;
}

namespace {
// The dialog of the process that has a control `id`; null, with a failure naming `what`,
// after timeoutMs.
HWND WaitDialogWith(DWORD pid, int id, const char* what, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        if (HWND w = FindDialogWith(pid, id)) return w;
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    ADD_FAILURE() << "no " << what << " within " << timeoutMs << " ms; on screen: " << DescribeWindows(pid);
    return nullptr;
}
}  // namespace

HWND WaitMainWindow(DWORD pid, DWORD timeoutMs) { return WaitDialogWith(pid, kStatusId, "main window", timeoutMs); }

HWND WaitFolderDialog(DWORD pid, DWORD timeoutMs) {
    return WaitDialogWith(pid, kFolderBrowseId, "folder dialog", timeoutMs);
}

namespace {
struct TopSearch {
    const wchar_t* cls;
    const std::wstring* titlePart;
    HWND found;
};

BOOL CALLBACK FindTop(HWND window, LPARAM param) {
    TopSearch* search = reinterpret_cast<TopSearch*>(param);
    wchar_t cls[64] = L"";
    GetClassNameW(window, cls, 64);
    if (IsWindowVisible(window) && (!search->cls || _wcsicmp(cls, search->cls) == 0) &&
        Title(window).find(*search->titlePart) != std::wstring::npos) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND WaitTopWindow(const wchar_t* cls, const std::wstring& titlePart, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        TopSearch search = {cls, &titlePart, nullptr};
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

namespace {
BOOL CALLBACK FindTree(HWND child, LPARAM param) {
    wchar_t cls[32] = L"";
    GetClassNameW(child, cls, 32);
    if (_wcsicmp(cls, L"SysTreeView32") != 0) return TRUE;
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
}

}  // namespace

HWND WaitFolderBrowser(DWORD pid, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        for (HWND w : Dialogs(pid)) {
            bool tree = false;
            EnumChildWindows(w, FindTree, reinterpret_cast<LPARAM>(&tree));
            if (tree) return w;
        }
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    ADD_FAILURE() << "no folder browser within " << timeoutMs << " ms; on screen: " << DescribeWindows(pid);
    return nullptr;
}

bool HasStaticText(HWND dialog, const std::wstring& text) {
    Children c;
    EnumChildWindows(dialog, CollectStatics, reinterpret_cast<LPARAM>(&c));
    for (HWND s : c.statics)
        if (Title(s) == text) return true;
    return false;
}

void ChooseMenuItem(DWORD pid, int index, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    std::vector<HWND> menus;
    while ((menus = TopWindows(pid, L"#32768")).empty() && GetTickCount() - start < timeoutMs) Sleep(100);
    if (menus.empty()) {
        ADD_FAILURE() << "no popup menu within " << timeoutMs << " ms";
        return;
    }
    // The menu's own loop reads the keys from its thread's queue.
    for (int i = 0; i <= index; ++i) PostMessageW(menus[0], WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menus[0], WM_KEYDOWN, VK_RETURN, 0);
}

void WaitIdle(HWND window) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result))
        ADD_FAILURE() << "the window did not answer within 60 s";
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    wchar_t text[1024] = L"";
    DWORD_PTR result = 0;
    // WM_GETTEXT, not GetWindowText: an edit box of another process keeps its own text.
    if (item) SendMessageTimeoutW(item, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &result);
    return text;
}

void SetItemText(HWND dialog, int id, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool ItemVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void WaitStatus(HWND main, const std::wstring& text, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    std::wstring now;
    do {
        wchar_t buffer[512] = L"";
        // The static's own title: readable while the control panel is busy polling.
        GetWindowTextW(GetDlgItem(main, kStatusId), buffer, 512);
        now = buffer;
        if (now == text) return;
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    ADD_FAILURE() << "status line \"" << Narrow(now) << "\", expected \"" << Narrow(text) << "\"; on screen: "
                  << DescribeWindows(pid);
}

std::string ServiceButtons(HWND main) {
    WaitIdle(main);  // a refresh sets the status line first and the buttons after it
    const int ids[6] = {1026, 1027, 1032, 1033, 1034, 1035};
    std::string out;
    for (int id : ids) out += ItemEnabled(main, id) ? '1' : '0';
    return out;
}

