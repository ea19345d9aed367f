#include "text_log.h"

#include <cwchar>

#include "local_clock.h"

std::wstring LogStamp(ULONGLONG localNow) {
  SYSTEMTIME t = CountToLocalTime(localNow);
  wchar_t text[32];
  std::swprintf(text, 32, L"%02d.%02d.%02d %02d:%02d:%02d ", t.wDay, t.wMonth, t.wYear % 100, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

bool AppendLogLine(const std::wstring& path, const std::wstring& text, bool stamp, ULONGLONG localNow) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // As a text stream in UTF-16LE appends: the mark on a new (empty) file, "\n" as CR LF.
  std::wstring out;
  LARGE_INTEGER size = {};
  if (GetFileSizeEx(file, &size) && size.QuadPart == 0) out += L'\xFEFF';
  std::wstring line = (stamp ? LogStamp(localNow) : std::wstring()) + text + L"\n";
  for (wchar_t c : line) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  std::string bytes;
  bytes.reserve(out.size() * 2);
  for (wchar_t c : out) {
    bytes += char(c & 0xFF);
    bytes += char((c >> 8) & 0xFF);
  }
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  return ok;
}
