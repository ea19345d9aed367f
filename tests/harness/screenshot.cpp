#include "screenshot.h"

#include <vector>

std::wstring HostPath(const char* posixPath) {
  std::wstring out = L"Z:";
  for (const char* p = posixPath; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return out;
}

void DrawWindowFrames() {
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Decorated", REG_SZ, L"N", 4);
  // The caption buttons are drawn with the Marlett font, which this Wine does not find in its
  // own data folder; one copy in the Windows font folder makes the pictures show the buttons'
  // symbols rather than the letters that stand for them.
  wchar_t fonts[MAX_PATH] = L"";
  GetWindowsDirectoryW(fonts, MAX_PATH);
  std::wstring marlett = std::wstring(fonts) + L"\\Fonts\\marlett.ttf";
  if (GetFileAttributesW(marlett.c_str()) == INVALID_FILE_ATTRIBUTES)
    CopyFileW(L"Z:\\usr\\share\\wine\\fonts\\marlett.ttf", marlett.c_str(), TRUE);
}

bool Screenshot(const std::string& posixPath, HWND window) {
  // Without a window manager Wine's screen coordinates are those of the X root window.
  std::string crop;
  RECT r;
  if (window && GetWindowRect(window, &r))
    crop = "-crop " + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
           std::to_string(r.left) + "+" + std::to_string(r.top) + " +repage ";
  // Wine runs a Unix program named by its Unix path; the picture is written under a
  // temporary name and renamed, so that a complete file appears at once.
  std::string temp = posixPath + ".part.png";
  std::string command = "/bin/sh -c \"xwd -root -silent | convert xwd:- " + crop + "'" + temp + "' && mv '" +
                        temp + "' '" + posixPath + "'\"";
  DeleteFileW(HostPath(posixPath.c_str()).c_str());
  std::wstring wide(command.begin(), command.end());
  std::vector<wchar_t> line(wide.begin(), wide.end());
  line.push_back(L'\0');
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::wstring target = HostPath(posixPath.c_str());
  for (int i = 0; i < 200; ++i) {
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(100);
  }
  return false;
}
