// Stands in for the web browser registered for http in the map window's tests: writes its
// command line (UTF-16) to url_recorder.txt next to itself and ends.
#include <windows.h>

#include <string>

int main() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, n);
  file = file.substr(0, file.find_last_of(L"\\/") + 1) + L"url_recorder.txt";
  std::wstring line = GetCommandLineW();
  HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(out, line.data(), DWORD(line.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(out);
  return 0;
}
