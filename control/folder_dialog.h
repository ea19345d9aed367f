// Choosing the exchange folder: the system's folder browser and the installation dialog.
#pragma once
#include <windows.h>
#include <string>

// The folder browser, opened at `start` (a backslash added when missing). False when the
// user cancelled; *chosen is set only on success.
bool BrowseForFolder(HWND owner, const std::wstring& start, std::wstring* chosen);

// The modal folder dialog of the installation: IDOK once a folder was stored in ExchFolder
// and made the current folder, anything else when the user gave up.
INT_PTR ShowFolderDialog(HWND owner);
