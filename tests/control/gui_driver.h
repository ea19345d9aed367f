// Drives the control panel from outside, as a user would: starts it, finds its windows and
// message boxes, reads them and presses their buttons. Every wait is bounded and fails the
// test with what was on the screen.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "screenshot.h"


class CtrlProcess {
public:
    // Starts the control panel (or `program`, a Windows path) with `arguments` as its command
    // line after the program name.
    explicit CtrlProcess(const std::wstring& arguments, const std::wstring& program = L"");
    ~CtrlProcess();  // terminates a control panel that is still running
    CtrlProcess(const CtrlProcess&) = delete;
    CtrlProcess& operator=(const CtrlProcess&) = delete;

    DWORD Pid() const { return pid_; }
    bool Running() const;
    // The exit code, or -1 when the process did not end within timeoutMs.
    long WaitExit(DWORD timeoutMs);

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// The kind of a box by its icon; Unknown when the icon could not be read.
enum class Kind { Error, Question, Warning, Information, Plain, Unknown };
const char* KindName(Kind kind);

struct Box {
    HWND window = nullptr;
    std::wstring text;
    Kind kind = Kind::Plain;
};

// Visible top-level dialog windows of the process, for diagnostics: "title | texts".
std::string DescribeWindows(DWORD pid);

// The next message box of the process (caption "Velora СОД"); fails the test after timeoutMs.
Box WaitBox(DWORD pid, DWORD timeoutMs = 20000);
// Presses a button of a box or dialog (IDOK, IDYES, IDNO, IDCANCEL); with waitClose, waits
// until the dialog has closed.
void Press(HWND dialog, int buttonId, bool waitClose = true);
// WaitBox, check text and kind, press `buttonId`.
void ExpectBox(DWORD pid, const std::wstring& text, Kind kind, int buttonId, DWORD timeoutMs = 20000);
// True when no message box of the process shows up within ms.
bool NoBoxWithin(DWORD pid, DWORD ms);

// The visible main window of the control panel (the dialog with the status line).
HWND WaitMainWindow(DWORD pid, DWORD timeoutMs = 20000);
// The folder dialog of the installation (the dialog with the "..." button 1031).
HWND WaitFolderDialog(DWORD pid, DWORD timeoutMs = 20000);

// A visible top-level window of any process with window class `cls` (any class when null)
// whose title contains
// `titlePart` (an editor the control panel started); null after timeoutMs.
HWND WaitTopWindow(const wchar_t* cls, const std::wstring& titlePart, DWORD timeoutMs = 20000);

// The shell's folder browser of the process (the dialog with a folder tree); null, with a
// failure, after timeoutMs.
HWND WaitFolderBrowser(DWORD pid, DWORD timeoutMs = 20000);
// Whether one of the dialog's static texts is `text`.
bool HasStaticText(HWND dialog, const std::wstring& text);
// Picks item `index` (0 = first) of the popup menu the process shows, with the keyboard.
void ChooseMenuItem(DWORD pid, int index, DWORD timeoutMs = 20000);
// Returns once the window's thread has finished the message it is handling: a message sent
// to it is only answered between two messages.
void WaitIdle(HWND window);

std::wstring ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::wstring& text);
bool ItemEnabled(HWND dialog, int id);
bool ItemVisible(HWND dialog, int id);
// Clicks an owner-painted button of the main window the way a mouse click reaches it.
void Click(HWND dialog, int id);
// Waits until the status line reads `text`; fails the test after timeoutMs.
void WaitStatus(HWND main, const std::wstring& text, DWORD timeoutMs = 30000);
// The six service buttons' enabled states as "101001" (Старт ... Удалить службу), read once
// the window has finished the message it is handling.
std::string ServiceButtons(HWND main);

// Writes a PNG of the X screen (xwd | convert) to `posixPath`: the whole screen, or only the
// window `window` (frame included) when it is given.

std::string Narrow(const std::wstring& text);  // UTF-8, for test messages
