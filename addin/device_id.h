// Device identifiers: GUIDs written as 36 hexadecimal digits and hyphens, without braces.
#pragma once
#include <windows.h>

#include <string>

// False for a text that is not 36 characters long or that reads as the all-zero GUID.
bool ParseDeviceId(const std::wstring& text, GUID* id);
// Upper case, without braces.
std::wstring FormatDeviceId(const GUID& id);
// Orders by the GUID's four 32-bit words, each unsigned.
int CompareDeviceIds(const GUID& a, const GUID& b);
// For MyDinArray::Sort/Search over records that begin with their GUID.
int CompareLeadingDeviceIds(const void* a, const void* b);
