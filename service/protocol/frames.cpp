#include "protocol/frames.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string FormatStatus(int code, const char* text) {
    if (code > 999) code = 999;
    if (code < -999) code = -999;
    char head[6];
    std::snprintf(head, sizeof head, "%c%03d ", code < 0 ? '-' : '+', code < 0 ? -code : code);
    std::string out(head, 5);
    out += text ? text : "";
    out.push_back('\0');
    return out;
}

void FormatBlockHeader(std::uint32_t number, std::uint32_t length, std::uint32_t crc, char out[31]) {
    // The 9-digit fields cannot hold more; no real transfer comes near (lengths are capped).
    char text[48];
    std::snprintf(text, sizeof text, "%09lu:%09lu:%010lu",
                  static_cast<unsigned long>(number % 1000000000u),
                  static_cast<unsigned long>(length % 1000000000u), static_cast<unsigned long>(crc));
    std::memcpy(out, text, 31);
}

bool ParseBlockHeader(const char header[kBlockHeaderSize], std::uint32_t& number,
                      std::uint32_t& length, std::uint32_t& crc) {
    if (header[9] != ':' || header[19] != ':') return false;
    std::uint32_t* out[3] = {&number, &length, &crc};
    std::size_t pos = 0;
    for (int k = 0; k < 3; ++k) {
        std::uint32_t value = 0;
        while (pos < kBlockHeaderSize && header[pos] >= '0' && header[pos] <= '9') {
            value = value * 10 + static_cast<std::uint32_t>(header[pos] - '0');
            ++pos;
        }
        *out[k] = value;
        ++pos;  // the character that stopped this number
    }
    return true;
}

std::vector<std::string> SplitCommandFields(const std::string& text) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ',') ++i;
        if (i >= text.size()) break;
        std::size_t end = text.find(',', i);
        if (end == std::string::npos) end = text.size();
        fields.push_back(text.substr(i, end - i));
        i = end;
    }
    return fields;
}

std::uint32_t CommandNumber(const std::vector<std::string>& fields, std::size_t index) {
    if (index >= fields.size()) return 0;
    errno = 0;
    unsigned long long v = std::strtoull(fields[index].c_str(), nullptr, 10);
    if (errno == ERANGE || v > 0xFFFFFFFFull) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(v);
}

std::string CommandField(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}
