// Pictures of Windows programs under Wine and Xvfb, for the tests and the documentation.
#pragma once
#include <windows.h>

#include <string>

// A POSIX path (as CMake and the Linux tools know it) as Wine sees it: Z:\...
std::wstring HostPath(const char* posixPath);

// Makes Wine draw the frames and captions of windows created from now on itself, as the test
// display has no window manager; call it once before the windows to be pictured exist.
void DrawWindowFrames();

// Writes a PNG of the screen, cropped to `window` when given, to posixPath; false when no
// picture appeared within 20 s.
bool Screenshot(const std::string& posixPath, HWND window = nullptr);
