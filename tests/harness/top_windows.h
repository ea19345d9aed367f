// Finding the windows a test drives: the visible top-level windows of a process by class.
#pragma once
#include <windows.h>

#include <vector>

std::vector<HWND> TopWindows(DWORD pid, const wchar_t* windowClass);
