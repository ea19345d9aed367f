// CRC-32 of IEEE 802.3 (zlib's crc32) over block data and whole files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

std::uint32_t Crc32(const void* data, std::size_t length);
// Continues a running CRC: Crc32Update(Crc32(a), b) == Crc32(a + b).
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t length);
// CRC of the whole file read in chunks of 2048 bytes; 0 when it cannot be opened.
std::uint32_t FileCrc32(const std::string& path);
