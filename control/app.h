// State of the one control panel process: its window and the current exchange folder.
#pragma once
#include <windows.h>
#include <string>

constexpr wchar_t kCaption[] = L"Velora СОД";            // window and every message box
constexpr wchar_t kServiceNameW[] = L"VeloraService";
constexpr wchar_t kServiceDisplayName[] = L"Velora Service";
constexpr char kServiceDescription[] = "Velora СОД";     // ANSI, 11 bytes with the zero
constexpr wchar_t kServiceExeName[] = L"VeloraService.exe";
constexpr wchar_t kLegacyServiceName[] = L"VeloraServer";
constexpr unsigned kCurrentVersion = 2520;
constexpr size_t kMaxFolderChars = 259;                  // the folder edit box's limit less one

struct ControlApp {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;       // owner of the message boxes once it exists
    std::wstring exchangeFolder;     // current exchange folder
    bool expanded = false;
    int lastShownState = -1;         // none yet: the first status always counts as a change
    int openBoxes = 0;               // message boxes open right now (timer ticks stay quiet)
};
extern ControlApp g_app;
