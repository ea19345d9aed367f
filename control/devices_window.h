// The "Устройства" window: the devices of an exchange folder in a list view, one row each,
// read again every 5 seconds; a click on a column title sorts by it, a double-click (or
// Enter) on a row opens its folder in the file manager.
#pragma once
#include <windows.h>
#include <string>

// Opens the window for `folder`, or brings the open one forward and shows `folder` in it.
// An empty folder gives the error box "Не выбрана папка обмена данными.".
void ShowDevicesWindow(const std::wstring& folder);

constexpr wchar_t kDevicesWindowClass[] = L"VeloraDevices";
constexpr UINT kDevicesRefreshMs = 5000;
