#include "platform/shared_read.h"

#include <windows.h>

#include <algorithm>

bool ReadSharedFile(const std::string& path, std::size_t maxBytes, std::string* out) {
    out->clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    char buffer[8192];
    while (out->size() < maxBytes) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, maxBytes - out->size()));
        DWORD got = 0;
        if (!ReadFile(file, buffer, want, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        out->append(buffer, got);
    }
    CloseHandle(file);
    if (!ok) out->clear();
    return ok;
}
