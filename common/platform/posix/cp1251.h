// The Windows-1251 table and UTF-8 helpers behind the POSIX code-page layer and the POSIX
// parameters store. Byte 0x98 (unassigned) maps to U+0098 and back, as Windows does, so every
// byte survives a round trip.
#pragma once
#include <cstdint>
#include <string>

char16_t Cp1251ToUnicode(unsigned char c);
unsigned char UnicodeToCp1251(char16_t u);  // '?' when there is no Windows-1251 form
unsigned char Cp1251Lower(unsigned char c);  // Latin and Cyrillic letters to lower case

// Decodes one code point at utf8[pos]; returns the bytes used (at least 1). A malformed
// sequence gives '?' for its first byte.
std::size_t DecodeUtf8(const std::string& utf8, std::size_t pos, std::uint32_t* cp);
void AppendUtf8(std::string* out, std::uint32_t cp);
