// The few file operations of the device folder's hand-off files.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

// An open file that is closed on every way out of its scope (an exception included), so a
// failed session never leaves a device's file held open.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
typedef std::unique_ptr<std::FILE, FileCloser> FileHandle;
// Closes the file now; false when the close (the last flush) failed.
bool CloseFile(FileHandle& f);

// fopen with the caller's mode. In the POSIX build the file is also marked as in use, which is
// what TryOpenExclusive sees (Windows sees the open handle itself).
FILE* OpenFile(const std::string& path, const char* mode);
// Opens the file for reading allowing no sharing and closes it again: false when it is
// missing or another handle has it open.
bool TryOpenExclusive(const std::string& path);
// True when the file opens for binary reading; its size then goes to *size (if given).
bool FileOpens(const std::string& path, std::uint64_t* size);
bool SeekFile(FILE* f, std::uint64_t position);
// RenameReplace, tried again every 200 ms for up to waitMs while it fails: Windows refuses to
// replace a file that a reader holds open (1C's component, the control panel's device list),
// and such a hold is short. `stop` (when given) ends the wait early.
bool ReplaceWaiting(const std::string& from, const std::string& to, long waitMs,
                    const std::function<bool()>& stop = nullptr);
// How long a side file waits to replace a file held open by a reader.
constexpr long kReplaceWaitMs = 3000;
// Appends source to target. The result is built in a side file next to target and replaces
// it in one step, so a failure (full disk) leaves target as it was; false on any failure.
bool AppendFile(const std::string& source, const std::string& target);
// Copies source over target the same way: on failure target keeps its old content.
bool CopyFileOver(const std::string& source, const std::string& target);
// Writes `bytes` to a side file and replaces `path` with it in one step (readers that open it
// with delete sharing keep their old copy); false, `path` unchanged, on any failure.
bool ReplaceFileContent(const std::string& path, const std::string& bytes);

// The CRC file of a device folder: unsigned decimal text; a missing file reads as 0.
std::uint32_t ReadCrcFile(const std::string& folder);
bool WriteCrcFile(const std::string& folder, std::uint32_t crc);
