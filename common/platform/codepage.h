// Code pages. "ANSI" is the system's ANSI code page on Windows (1251 on the office machines)
// and Windows-1251 in the POSIX build, so files written for the office read the same.
#pragma once
#include <string>

std::u16string AnsiToUtf16(const std::string& ansi);
std::string Utf16ToAnsi(const std::u16string& text);   // unmappable characters become '?'
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);

// Case-insensitive comparison of ANSI texts, Cyrillic included (lstrcmpiA on Windows).
int AnsiCompareNoCase(const char* a, const char* b);

// Writes ANSI text to the console: unchanged on Windows, as UTF-8 on a POSIX terminal.
void ConsoleWrite(const char* ansi);
void ConsolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
