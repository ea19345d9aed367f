// Signed text files: the text's lines, each followed by CR LF, then "<VLSGN>" and 32
// upper-case hexadecimal digits, a keyed checksum of the characters (line breaks excluded)
// that detects changes when checked with the same key.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// The seven 16-bit accumulators: seeded with the key's UTF-16 units, then three times
// every text character's byte value, each at its running position modulo 7.
class SignatureSums {
 public:
  explicit SignatureSums(const std::wstring& key);
  void AddText(const char* text, size_t length);
  // W[0..6] = A[k] + r and W[7] = r, packed as the four groups of eight digits.
  std::string Signature(uint16_t r) const;
  // True when the 32 digits are a signature of these sums (any r).
  bool Matches(const char* digits) const;

 private:
  uint16_t a[7] = {};
  unsigned long position = 0;
};

// Reads the next line of a text-mode file, at most 1023 characters, without up to two
// trailing CR or LF characters. A line of exactly 1023 characters takes its line break
// with it, so that it gives no empty line after it. False at the end of the file.
bool ReadSignedLine(FILE* file, std::string& line);

// 0, 4 (source cannot be opened) or 5 (destination cannot be written).
long AddSignature(const std::wstring& source, const std::wstring& destination, const std::wstring& key);
// 0 when the file carries a valid signature for the key, 4 when it cannot be opened, else 100.
long VerifySignature(const std::wstring& file, const std::wstring& key);
