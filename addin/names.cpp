#include "names.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE AddInModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::wstring LoadText(UINT id) {
  // With a zero buffer size LoadStringW hands out the resource's own read-only text.
  const wchar_t* text = nullptr;
  int length = LoadStringW(AddInModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return std::wstring();
  return std::wstring(text, size_t(length));
}

const std::wstring& NamePair::Alias(long alias) const {
  static const std::wstring empty;
  if (alias == 0) return first;
  if (alias == 1) return second;
  return empty;
}

NamePair SplitNames(const std::wstring& text) {
  NamePair pair;
  size_t comma = text.find(L',');
  if (comma == std::wstring::npos) {
    pair.first = text;
  } else {
    pair.first = text.substr(0, comma);
    pair.second = text.substr(comma + 1);
  }
  return pair;
}
