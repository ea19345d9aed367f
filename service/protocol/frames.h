// The two frames on the wire, shared by the service and the handheld simulator.
// Status message: '+' or '-', three digits, a space, the text and a NUL.
// Block header: 30 ASCII bytes "NNNNNNNNN:LLLLLLLLL:CCCCCCCCCC" (number, length, CRC).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kBlockHeaderSize = 30;
// Largest data length accepted from a block header: far above any real block size, small
// enough that a hostile header cannot make the service allocate without bound.
constexpr std::uint32_t kMaxBlockLength = 16u * 1024 * 1024;

// The bytes of a status message, NUL included; codes are clamped to -999..999.
std::string FormatStatus(int code, const char* text);
// 30 characters and a terminator.
void FormatBlockHeader(std::uint32_t number, std::uint32_t length, std::uint32_t crc, char out[31]);
// False unless bytes 9 and 19 are ':'. Each number runs while the characters are digits; the
// next starts one character after the one that stopped it.
bool ParseBlockHeader(const char header[kBlockHeaderSize], std::uint32_t& number,
                      std::uint32_t& length, std::uint32_t& crc);

// Fields of a command text: split at commas (consecutive commas count as one); a field that is
// not a number reads as 0, a missing one as 0 / "".
std::vector<std::string> SplitCommandFields(const std::string& text);
std::uint32_t CommandNumber(const std::vector<std::string>& fields, std::size_t index);
std::string CommandField(const std::vector<std::string>& fields, std::size_t index);
