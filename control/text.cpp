#include "text.h"

#include <windows.h>
#include <cstdarg>
#include <cwchar>
#include <vector>

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string WideToAnsi(const std::wstring& text, bool* lossless) {
    if (lossless) *lossless = true;
    if (text.empty()) return std::string();
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                        &out[0], n, nullptr, &usedDefault);
    if (lossless) *lossless = !usedDefault;
    return out;
}

std::wstring Fmt(const wchar_t* format, ...) {
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::wstring(buffer.data(), n);
        if (buffer.size() > (1u << 20)) return std::wstring(format);  // malformed format
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring JoinPathW(const std::wstring& folder, const wchar_t* name) {
    if (folder.empty() || folder.back() == L'\\') return folder + name;
    return folder + L'\\' + name;
}

std::wstring DropTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring FolderFromCommandLine(const std::wstring& commandLine) {
    const wchar_t* blanks = L" \t\r\n";
    size_t first = commandLine.find_first_not_of(blanks);
    if (first == std::wstring::npos) return std::wstring();
    size_t last = commandLine.find_last_not_of(blanks);
    std::wstring text = commandLine.substr(first, last - first + 1);
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        text = text.substr(1, text.size() - 2);
    return text;
}
