#include "last_error.h"

#include <windows.h>

#include <cstdio>

char* LastErrorText(char* buffer, std::size_t size) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = '\0';
    // The code is taken once, before the formatting calls can change the thread's last error,
    // and left in place for the caller.
    DWORD code = GetLastError();
    char* text = nullptr;
    // No arguments are given, so inserts such as %1 must stay as they are: without
    // IGNORE_INSERTS the system would read them from a null argument array.
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, LANG_NEUTRAL, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length != 0 && text && size >= static_cast<std::size_t>(length) + 14) {
        // System messages end in a line break (CR LF), which the caller's line does not want.
        DWORD end = length;
        for (int cut = 0; cut < 2 && end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'); ++cut) --end;
        text[end] = '\0';
        std::snprintf(buffer, size, "%s (0x%lx)", text, static_cast<unsigned long>(code));
    }
    if (text) LocalFree(text);
    SetLastError(code);
    return buffer;
}
