// Windows-1251 is the "ANSI" code page of the POSIX build: a fixed table keeps the conversion
// independent of the process locale and identical to what the office machines write.
#include "platform/codepage.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "platform/posix/cp1251.h"

std::u16string AnsiToUtf16(const std::string& ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (unsigned char c : ansi) out.push_back(Cp1251ToUnicode(c));
    return out;
}

std::string Utf16ToAnsi(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    // Surrogates have no Windows-1251 form: each unit becomes '?', as on Windows.
    for (char16_t u : text) out.push_back(static_cast<char>(UnicodeToCp1251(u)));
    return out;
}

std::string Utf8ToAnsi(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::uint32_t cp = 0;
        std::size_t used = DecodeUtf8(utf8, i, &cp);
        if (cp > 0xFFFF) out.push_back('?');  // two UTF-16 units, two '?' as on Windows
        out.push_back(cp > 0xFFFF ? '?' : static_cast<char>(UnicodeToCp1251(static_cast<char16_t>(cp))));
        i += used;
    }
    return out;
}

std::string AnsiToUtf8(const std::string& ansi) {
    std::string out;
    out.reserve(ansi.size() * 2);
    for (unsigned char c : ansi) AppendUtf8(&out, Cp1251ToUnicode(c));
    return out;
}

int AnsiCompareNoCase(const char* a, const char* b) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        int cx = Cp1251Lower(*x), cy = Cp1251Lower(*y);
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
    }
}

void ConsoleWrite(const char* ansi) {
    std::string text = AnsiToUtf8(ansi ? ansi : "");
    std::fwrite(text.data(), 1, text.size(), stdout);
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
