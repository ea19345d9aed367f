#include "device_id.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// The hexadecimal number of `length` characters at `position`, read as strtoul would.
unsigned long HexAt(const std::wstring& text, size_t position, size_t length) {
  wchar_t part[9] = {};
  text.copy(part, length, position);
  return std::wcstoul(part, nullptr, 16);
}
}  // namespace

bool ParseDeviceId(const std::wstring& text, GUID* id) {
  if (text.size() != 36) return false;
  GUID g = {};
  g.Data1 = DWORD(HexAt(text, 0, 8));
  g.Data2 = WORD(HexAt(text, 9, 4));
  g.Data3 = WORD(HexAt(text, 14, 4));
  static const size_t kPairs[4] = {19, 24, 28, 32};
  for (int i = 0; i < 4; ++i) {
    unsigned long pair = HexAt(text, kPairs[i], 4);
    g.Data4[2 * i] = BYTE(pair >> 8);
    g.Data4[2 * i + 1] = BYTE(pair);
  }
  static const GUID kZero = {};
  if (std::memcmp(&g, &kZero, sizeof g) == 0) return false;
  *id = g;
  return true;
}

std::wstring FormatDeviceId(const GUID& id) {
  wchar_t text[40];
  std::swprintf(text, 40, L"%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", (unsigned long)id.Data1, id.Data2,
                id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6],
                id.Data4[7]);
  return text;
}

int CompareDeviceIds(const GUID& a, const GUID& b) {
  DWORD wa[4], wb[4];
  std::memcpy(wa, &a, sizeof wa);
  std::memcpy(wb, &b, sizeof wb);
  for (int i = 0; i < 4; ++i)
    if (wa[i] != wb[i]) return wa[i] < wb[i] ? -1 : 1;
  return 0;
}

int CompareLeadingDeviceIds(const void* a, const void* b) {
  return CompareDeviceIds(*static_cast<const GUID*>(a), *static_cast<const GUID*>(b));
}
