// GUID text and the compact code form of a GUID that 1C keeps in short fields: each byte
// of the GUID's memory form becomes one character (bytes of 128 and above as U+0400 to
// U+047F), or, for a code with other characters, the GUID holds UTF-16 characters.
#pragma once
#include <windows.h>

#include <string>

// 36 characters as device identifiers are read; any other text gives the all-zero GUID.
GUID ParseGuidText(const std::wstring& text);
// Upper case, without braces.
std::wstring GuidText(const GUID& id);

std::wstring GuidToCode(const GUID& id);
GUID GuidFromCode(const std::wstring& code);
// The GUID with byte `index` of its memory form set to `value` modulo 256; the index is
// taken modulo 16 into 0 to 15, so a negative one counts from the end and never reaches
// outside the 16 bytes.
GUID GuidWithByte(const GUID& id, long index, long value);
