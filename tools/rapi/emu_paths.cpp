#include "emu_paths.h"

#include <cwchar>

#include "emu_state.h"

bool DevicePathToPc(const wchar_t* devicePath, std::wstring& pcPath, DWORD& error) {
  if (!devicePath) {
    error = ERROR_INVALID_PARAMETER;
    return false;
  }
  size_t length = wcsnlen(devicePath, MAX_PATH);
  if (length >= MAX_PATH) {
    error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  pcPath = State().config.root;
  std::wstring part;
  for (size_t i = 0; i <= length; ++i) {
    wchar_t c = i < length ? devicePath[i] : L'\\';
    if (c != L'\\' && c != L'/') {
      if (c == L':') {
        error = ERROR_INVALID_NAME;
        return false;
      }
      part += c;
      continue;
    }
    if (part == L"..") {
      error = ERROR_PATH_NOT_FOUND;
      return false;
    }
    if (!part.empty() && part != L".") pcPath += L'\\' + part;
    part.clear();
  }
  return true;
}
