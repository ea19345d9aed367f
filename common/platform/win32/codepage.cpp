#include "platform/codepage.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace {
std::u16string ToUtf16(UINT codePage, const std::string& text) {
    if (text.empty()) return std::u16string();
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::u16string();
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                        reinterpret_cast<wchar_t*>(&out[0]), n);
    return out;
}

std::string FromUtf16(UINT codePage, const std::u16string& text) {
    if (text.empty()) return std::string();
    const wchar_t* w = reinterpret_cast<const wchar_t*>(text.data());
    // CP_UTF8 refuses a default character; ANSI replaces what it cannot map with '?'.
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    int n = WideCharToMultiByte(codePage, 0, w, static_cast<int>(text.size()), nullptr, 0, fallback, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w, static_cast<int>(text.size()), &out[0], n, fallback, nullptr);
    return out;
}
}  // namespace

std::u16string AnsiToUtf16(const std::string& ansi) { return ToUtf16(CP_ACP, ansi); }
std::string Utf16ToAnsi(const std::u16string& text) { return FromUtf16(CP_ACP, text); }
std::string Utf8ToAnsi(const std::string& utf8) { return FromUtf16(CP_ACP, ToUtf16(CP_UTF8, utf8)); }
std::string AnsiToUtf8(const std::string& ansi) { return FromUtf16(CP_UTF8, ToUtf16(CP_ACP, ansi)); }

int AnsiCompareNoCase(const char* a, const char* b) { return lstrcmpiA(a, b); }

void ConsoleWrite(const char* ansi) {
    std::fputs(ansi ? ansi : "", stdout);
    std::fflush(stdout);
}

void ConsolePrintf(const char* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    ConsoleWrite(buffer);
}
