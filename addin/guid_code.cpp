#include "guid_code.h"

#include <cstring>

#include "device_id.h"

namespace {
const wchar_t kHighBase = 896;  // byte 128 is U+0400
const int kWideChars = 7;       // UTF-16 characters after the two FF bytes

bool IsWideForm(const BYTE* bytes) { return bytes[0] == 0xFF && bytes[1] == 0xFF; }
}  // namespace

GUID ParseGuidText(const std::wstring& text) {
  GUID id = {};
  ParseDeviceId(text, &id);  // leaves the zero GUID for text that does not read as one
  return id;
}

std::wstring GuidText(const GUID& id) { return FormatDeviceId(id); }

std::wstring GuidToCode(const GUID& id) {
  BYTE bytes[16];
  std::memcpy(bytes, &id, sizeof bytes);
  std::wstring code;
  if (IsWideForm(bytes)) {
    for (int i = 0; i < kWideChars; ++i) {
      wchar_t c = wchar_t(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
      if (c == 0) break;
      code += c;
    }
    return code;
  }
  for (BYTE b : bytes) {
    if (b == 0) break;
    code += b < 128 ? wchar_t(b) : wchar_t(b + kHighBase);
  }
  return code;
}

GUID GuidFromCode(const std::wstring& code) {
  BYTE bytes[16] = {};
  size_t n = code.size() < 16 ? code.size() : 16;
  for (size_t i = 0; i < n; ++i) {
    wchar_t c = code[i];
    if (c < 128) {
      bytes[i] = BYTE(c);
    } else if (c >= 0x400 && c <= 0x47F) {
      bytes[i] = BYTE(c - kHighBase);
    } else {
      // A character of neither range: the wide form, holding the code's first character in
      // each of its seven places, as codes of this kind have always been made.
      std::memset(bytes, 0, sizeof bytes);
      bytes[0] = bytes[1] = 0xFF;
      for (int k = 0; k < kWideChars; ++k) {
        bytes[2 + 2 * k] = BYTE(code[0]);
        bytes[3 + 2 * k] = BYTE(code[0] >> 8);
      }
      break;
    }
  }
  GUID id;
  std::memcpy(&id, bytes, sizeof id);
  return id;
}

GUID GuidWithByte(const GUID& id, long index, long value) {
  BYTE bytes[16];
  std::memcpy(bytes, &id, sizeof bytes);
  long position = index % 16;
  if (position < 0) position += 16;
  bytes[position] = BYTE(static_cast<unsigned long>(value) & 0xFF);
  GUID result;
  std::memcpy(&result, bytes, sizeof result);
  return result;
}
