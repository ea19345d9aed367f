#include "protocol/crc32.h"

#include <cstdio>
#include <zlib.h>

#include "exchange/file_ops.h"
#include "platform/files.h"

std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t length) {
    const Bytef* p = static_cast<const Bytef*>(data);
    // zlib takes uInt lengths; feed very large buffers in pieces.
    while (length > 0) {
        uInt piece = length > 0x40000000u ? 0x40000000u : static_cast<uInt>(length);
        crc = static_cast<std::uint32_t>(::crc32(crc, p, piece));
        p += piece;
        length -= piece;
    }
    return crc;
}

std::uint32_t Crc32(const void* data, std::size_t length) { return Crc32Update(0, data, length); }

std::uint32_t FileCrc32(const std::string& path) {
    FileHandle f(FileOpen(path.c_str(), "rb"));
    if (!f) return 0;
    unsigned char buffer[2048];
    std::uint32_t crc = 0;
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) crc = Crc32Update(crc, buffer, n);
    return crc;
}
