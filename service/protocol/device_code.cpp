#include "protocol/device_code.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

void DecodeDeviceCode(const std::uint8_t code[kDeviceCodeSize], char id[kDeviceCodeSize + 1],
                      int* version) {
    if (code[17] == '*') {
        const std::uint8_t* c = code;
        unsigned long data1 = static_cast<unsigned long>(c[0]) | (static_cast<unsigned long>(c[1]) << 8) |
                              (static_cast<unsigned long>(c[2]) << 16) | (static_cast<unsigned long>(c[3]) << 24);
        unsigned data2 = static_cast<unsigned>(c[4] | (c[5] << 8));
        unsigned data3 = static_cast<unsigned>(c[6] | (c[7] << 8));
        std::snprintf(id, kDeviceCodeSize + 1, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                      data1, data2, data3, c[8], c[9], c[10], c[11], c[12], c[13], c[14], c[15]);
        if (version) *version = code[16];
    } else {
        std::memcpy(id, code, kDeviceCodeSize);
        id[kDeviceCodeSize] = '\0';
        if (version) *version = 0;
    }
}

namespace {
int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

bool EncodeBinaryDeviceCode(const char* id, std::uint8_t version, std::uint8_t code[kDeviceCodeSize]) {
    std::string text(id);
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return false;
    std::uint8_t raw[16];
    int k = 0;
    for (std::size_t i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return false;
            ++i;
            continue;
        }
        int hi = Hex(text[i]), lo = Hex(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        raw[k++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    std::memset(code, 0, kDeviceCodeSize);
    // Text order is big-endian per group; memory order is little-endian for the first three.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i) code[i] = raw[order[i]];
    code[16] = version;
    code[17] = '*';
    return true;
}
