// velora-devices: which devices exchanged today and what waits for whom. See devices_tool.cpp.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <windows.h>
#endif

#include "devices_tool.h"
#include "platform/codepage.h"

namespace {
// The table is ANSI text. A Windows console shows the OEM code page, so Cyrillic names go to
// it as UTF-16; redirected output (a file, a pipe) keeps the ANSI bytes a spreadsheet expects.
void Write(std::FILE* stream, const std::string& ansi) {
#ifdef _WIN32
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        std::u16string wide = AnsiToUtf16(ansi);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    // Binary stream: lone line feeds become CR LF here, the CSV's CR LF stay as they are.
    std::string text;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        if (ansi[i] == '\n' && (i == 0 || ansi[i - 1] != '\r')) text += '\r';
        text += ansi[i];
    }
    std::fwrite(text.data(), 1, text.size(), stream);
#else
    std::string utf8 = AnsiToUtf8(ansi);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
#endif
    std::fflush(stream);
}
}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the XML parser of config.xml
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    ToolOutput result = RunDevicesTool(args, static_cast<std::int64_t>(std::time(nullptr)));
    Write(stdout, result.out);
    Write(stderr, result.err);
#ifdef _WIN32
    CoUninitialize();
#endif
    return result.exitCode;
}
