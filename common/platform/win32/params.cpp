// The parameters store on Windows: values under HKEY_LOCAL_MACHINE.
#include "platform/params.h"

#include <windows.h>

#include <cstring>

bool ParamsWriteString(const char* key, const char* name, const char* value) {
    if (!key || !name || !value) return false;
    HKEY h;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>(std::strlen(value) + 1));
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

bool ParamsWriteDword(const char* key, const char* name, std::uint32_t value) {
    if (!key || !name) return false;
    HKEY h;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    DWORD v = value;
    LONG r = RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

bool ParamsReadString(const char* key, const char* name, char* buffer, std::size_t size) {
    if (!buffer || size == 0) return false;
    buffer[0] = '\0';
    if (!key || !name || size > 0x7FFFFFFF) return false;
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    DWORD type = 0, bytes = static_cast<DWORD>(size);
    LONG r = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(h);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        buffer[0] = '\0';
        return false;
    }
    // A stored string need not end in NUL; without room to add one it does not fit.
    if (bytes > 0 && buffer[bytes - 1] == '\0') return true;
    if (bytes < size) {
        buffer[bytes] = '\0';
        return true;
    }
    buffer[0] = '\0';
    return false;
}

bool ParamsReadDword(const char* key, const char* name, std::uint32_t* value) {
    if (!key || !name || !value) return false;
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    DWORD type = 0, v = 0, bytes = sizeof v;
    LONG r = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &bytes);
    RegCloseKey(h);
    if (r != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof v) return false;
    *value = v;
    return true;
}

bool ParamsDeleteTree(const char* key) {
    if (!key || !*key) return false;
    return RegDeleteTreeA(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS;  // the key itself goes too
}

std::string ParamsLocation() { return "HKEY_LOCAL_MACHINE"; }
