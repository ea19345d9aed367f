// What an HRESULT of creating or initialising a component means, in words an operator reads:
// "the file was not found (0x8007007E)".
#pragma once
#include <windows.h>

#include <string>

// Own words for the failures a host meets when it loads a component, else the system's
// message; always followed by the code in hexadecimal.
std::wstring HresultText(HRESULT hr);
