// The 36 bytes a handheld sends for authorization: the device identifier as text, or the
// device GUID in binary (Windows in-memory layout), its program version and '*' at byte 17.
#pragma once
#include <cstdint>

constexpr int kDeviceCodeSize = 36;

// Writes the 36-character identifier and a terminator to `id`; *version is the program
// version of a binary code and 0 for a text code.
void DecodeDeviceCode(const std::uint8_t code[kDeviceCodeSize], char id[kDeviceCodeSize + 1],
                      int* version);
// The binary form of an identifier in GUID text form (with or without braces); false when the
// text is not a GUID.
bool EncodeBinaryDeviceCode(const char* id, std::uint8_t version, std::uint8_t code[kDeviceCodeSize]);
