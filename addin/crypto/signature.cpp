#include "crypto/signature.h"

#include <windows.h>

#include <cstring>
#include <ctime>
#include <random>

namespace {
const char kMarker[] = "<VLSGN>";
const size_t kMarkerLength = sizeof(kMarker) - 1;
const size_t kDigits = 32;
const int kMaxLine = 1023;

class File {
 public:
  File(const std::wstring& path, const wchar_t* mode) : f(_wfopen(path.c_str(), mode)) {}
  ~File() { Close(); }
  bool Close() {
    bool ok = f && fclose(f) == 0;
    f = nullptr;
    return ok;
  }
  FILE* get() const { return f; }

 private:
  FILE* f;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint16_t RandomWord() {
  static std::mt19937 generator(GetTickCount() ^ GetCurrentProcessId() ^ unsigned(time(nullptr)));
  return uint16_t(generator() % 32768);
}
}  // namespace

SignatureSums::SignatureSums(const std::wstring& key) {
  for (size_t i = 0; i < key.size(); ++i) a[i % 7] = uint16_t(a[i % 7] + uint16_t(key[i]));
}

void SignatureSums::AddText(const char* text, size_t length) {
  // Byte values: a signed char would subtract for every Cyrillic letter.
  for (size_t i = 0; i < length; ++i, ++position)
    a[position % 7] = uint16_t(a[position % 7] + 3 * static_cast<unsigned char>(text[i]));
}

std::string SignatureSums::Signature(uint16_t r) const {
  uint16_t w[8];
  for (int k = 0; k < 7; ++k) w[k] = uint16_t(a[k] + r);
  w[7] = r;
  char text[kDigits + 1];
  for (int j = 0; j < 4; ++j)
    snprintf(text + 8 * j, 9, "%08lX", static_cast<unsigned long>(w[2 * j]) + 65536UL * w[2 * j + 1]);
  return std::string(text, kDigits);
}

bool SignatureSums::Matches(const char* digits) const {
  uint16_t w[8];
  for (int j = 0; j < 4; ++j) {
    unsigned long group = 0;
    for (int i = 0; i < 8; ++i) {
      int d = HexDigit(digits[8 * j + i]);
      if (d < 0) return false;
      group = group * 16 + unsigned(d);
    }
    w[2 * j] = uint16_t(group & 0xFFFF);
    w[2 * j + 1] = uint16_t(group >> 16);
  }
  for (int k = 0; k < 7; ++k)
    if (uint16_t(w[k] - w[7]) != a[k]) return false;
  return true;
}

bool ReadSignedLine(FILE* file, std::string& line) {
  char buffer[kMaxLine + 1];
  if (!fgets(buffer, sizeof(buffer), file)) return false;
  size_t length = strlen(buffer);
  if (length == size_t(kMaxLine) && buffer[length - 1] != '\n') {
    int next = fgetc(file);
    if (next != '\n' && next != EOF) ungetc(next, file);
  }
  for (int i = 0; i < 2 && length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n'); ++i) --length;
  line.assign(buffer, length);
  return true;
}

long AddSignature(const std::wstring& source, const std::wstring& destination, const std::wstring& key) {
  SignatureSums sums(key);
  File in(source, L"rt");
  if (!in.get()) return 4;
  File out(destination, L"wb");
  if (!out.get()) return 5;
  std::string line;
  bool written = true;
  while (ReadSignedLine(in.get(), line)) {
    sums.AddText(line.data(), line.size());
    line += "\r\n";
    written = written && fwrite(line.data(), 1, line.size(), out.get()) == line.size();
  }
  std::string tail = kMarker + sums.Signature(RandomWord());
  written = written && fwrite(tail.data(), 1, tail.size(), out.get()) == tail.size();
  return out.Close() && written ? 0 : 5;
}

long VerifySignature(const std::wstring& path, const std::wstring& key) {
  SignatureSums sums(key);
  File in(path, L"rt");
  if (!in.get()) return 4;
  std::string line;
  while (ReadSignedLine(in.get(), line)) {
    size_t marker = line.find(kMarker);
    if (marker == std::string::npos) {
      sums.AddText(line.data(), line.size());
      continue;
    }
    sums.AddText(line.data(), marker);
    if (line.size() - marker - kMarkerLength < kDigits) return 100;
    return sums.Matches(line.data() + marker + kMarkerLength) ? 0 : 100;
  }
  return 100;
}
