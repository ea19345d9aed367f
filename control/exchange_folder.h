// The exchange folder: its creation, and its value in the service's registry key.
#pragma once
#include <windows.h>
#include <string>

// Creates `path` with every missing parent (a path that begins with two backslashes, a
// network path, in one step). False with the system's last error set on failure.
bool CreateFolderPath(const std::wstring& path);

// True when `path` is a folder or, after the user agreed, was created.
bool EnsureExchangeFolder(HWND owner, const std::wstring& path);

// Reads ExchFolder into the current folder ("" when missing).
void LoadExchangeFolder();
// Writes ExchFolder and makes `folder` the current folder; a message box and false when the
// folder cannot be passed on to the service (not in the ANSI code page) or not be written.
bool StoreExchangeFolder(HWND owner, const std::wstring& folder);
// False (after an error box) when `folder` has characters the ANSI code page lacks.
bool CheckFolderIsAnsi(HWND owner, const std::wstring& folder);
