#include "map9/map9_request.h"

#include <cstring>

namespace {
// The string starting at character `first` of `count`, up to its zero; false without one.
bool TakeString(const unsigned char* bytes, size_t count, size_t& first, std::u16string& out) {
  out.clear();
  for (size_t i = first; i < count; ++i) {
    char16_t c = char16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    if (c == 0) {
      first = i + 1;
      return true;
    }
    out.push_back(c);
  }
  return false;
}
}  // namespace

bool ParseMap9Request(const void* view, size_t size, std::u16string& name, std::u16string& data) {
  const unsigned char* bytes = static_cast<const unsigned char*>(view);
  size_t count = size / 2, next = 0;
  return TakeString(bytes, count, next, name) && TakeString(bytes, count, next, data);
}

std::u16string FormatMap9Request(const std::u16string& name, const std::u16string& data) {
  std::u16string text = name;
  text.push_back(0);
  text += data;
  text.push_back(0);
  return text;
}

void WriteMap9Result(void* view, int32_t result) {
  uint32_t v = uint32_t(result);
  unsigned char bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  std::memcpy(view, bytes, 4);
}

int32_t ReadMap9Result(const void* view) {
  const unsigned char* b = static_cast<const unsigned char*>(view);
  return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}
