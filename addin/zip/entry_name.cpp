#include "zip/entry_name.h"

#include <windows.h>

namespace {
std::wstring Decode(UINT page, const std::string& text) {
  std::wstring wide;
  int n = MultiByteToWideChar(page, 0, text.data(), int(text.size()), nullptr, 0);
  if (n > 0) {
    wide.resize(size_t(n));
    MultiByteToWideChar(page, 0, text.data(), int(text.size()), &wide[0], n);
  }
  return wide;
}
}  // namespace

std::wstring DecodeEntryName(const std::string& stored, unsigned long flags) {
  std::wstring name = Decode((flags & 0x800) ? CP_UTF8 : CP_ACP, stored);
  for (wchar_t& c : name)
    if (c == L'/') c = L'\\';
  return name;
}

bool IsSafeEntryName(const std::wstring& name) {
  if (name.empty() || name[0] == L'\\') return false;
  if (name.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  for (;;) {
    size_t end = name.find(L'\\', start);
    std::wstring part = name.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    // Windows drops trailing dots and blanks, so ". ." or ".. " would climb as well.
    size_t last = part.find_last_not_of(L". ");
    bool onlyDots = last == std::wstring::npos;
    if (onlyDots && part.find(L"..") != std::wstring::npos) return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}
