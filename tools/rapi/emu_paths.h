// Device paths ("\My Documents\a.txt") as paths of the PC folder that is the device's root.
#pragma once
#include <windows.h>

#include <string>

// The PC path of a device path, or false with the device's error: a path of MAX_PATH
// characters or more, one that climbs out of the root ("..") or names a drive or stream
// (':') is refused. "/" separates as "\" does; a path without a leading "\" starts at the
// root, as the device has no current folder.
bool DevicePathToPc(const wchar_t* devicePath, std::wstring& pcPath, DWORD& error);
