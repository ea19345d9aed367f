// Converts a file between a narrow code page and UTF-16 (either byte order), block by
// block, optionally mapping Cyrillic letters onto Georgian ones for a Georgian font that
// sits on Windows-1251.
#pragma once
#include <windows.h>

#include <string>

struct Utf16Conversion {
  std::wstring source, destination;  // a destination folder gets the source's file name
  UINT sourceCodePage = 0, destinationCodePage = 0;
  bool georgian = false;
};

// True when the whole file was converted. A refused pair leaves the destination created
// and empty; a failure part-way leaves what was written so far.
bool ConvertUtf16File(const Utf16Conversion& conversion);

// The Georgian letter a Cyrillic one stands for; every other character unchanged.
wchar_t GeorgianLetter(wchar_t c);
