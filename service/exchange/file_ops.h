// The few file operations of the device folder's hand-off files.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// fopen with the caller's mode. In the POSIX build the file is also marked as in use, which is
// what TryOpenExclusive sees (Windows sees the open handle itself).
FILE* OpenFile(const std::string& path, const char* mode);
// Opens the file for reading allowing no sharing and closes it again: false when it is
// missing or another handle has it open.
bool TryOpenExclusive(const std::string& path);
// True when the file opens for binary reading; its size then goes to *size (if given).
bool FileOpens(const std::string& path, std::uint64_t* size);
bool SeekFile(FILE* f, std::uint64_t position);
// Appends source to target ("a+b"); false when target cannot be opened or a write fails.
bool AppendFile(const std::string& source, const std::string& target);
// Copies source over target; false (and no target left behind) on any failure.
bool CopyFileOver(const std::string& source, const std::string& target);

// The CRC file of a device folder: unsigned decimal text; a missing file reads as 0.
std::uint32_t ReadCrcFile(const std::string& folder);
bool WriteCrcFile(const std::string& folder, std::uint32_t crc);
