#include "exchange/file_ops.h"

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/files.h"

#ifdef _WIN32
#include <share.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

FILE* OpenFile(const std::string& path, const char* mode) {
    FILE* f = FileOpen(path, mode);
#ifndef _WIN32
    if (f) ::flock(::fileno(f), LOCK_SH | LOCK_NB);
#endif
    return f;
}

bool TryOpenExclusive(const std::string& path) {
#ifdef _WIN32
    FileHandle f(::_fsopen(path.c_str(), "rb", _SH_DENYRW));
    return f != nullptr;
#else
    FileHandle f(FileOpen(path, "rb"));
    return f && ::flock(::fileno(f.get()), LOCK_EX | LOCK_NB) == 0;
#endif
}

bool SeekFile(FILE* f, std::uint64_t position) {
#ifdef _WIN32
    return ::_fseeki64(f, static_cast<long long>(position), SEEK_SET) == 0;
#else
    return ::fseeko(f, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

bool FileOpens(const std::string& path, std::uint64_t* size) {
    FileHandle f(FileOpen(path.c_str(), "rb"));
    if (!f) return false;
    if (size) {
        FileItem item;
        *size = GetFileItem(path, &item) ? item.size : 0;
    }
    return true;
}

bool CloseFile(FileHandle& f) {
    if (!f) return true;
    return std::fclose(f.release()) == 0;
}

namespace {
bool CopyStream(std::FILE* in, std::FILE* out) {
    std::vector<char> buffer(64 * 1024);  // not on the session thread's small stack
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
        if (std::fwrite(buffer.data(), 1, n, out) != n) return false;
    return !std::ferror(in);
}

// The side file that a replacement of `target` is built in.
std::string SidePath(const std::string& target) { return target + ".new"; }

// Moves a completed side file over target; on failure the side file is removed.
bool Commit(const std::string& side, const std::string& target) {
    if (ReplaceWaiting(side, target, kReplaceWaitMs)) return true;
    RemoveFile(side);
    return false;
}

// Closes the side file being written and, when everything went in, moves it over target.
bool Finish(FileHandle& out, bool ok, const std::string& side, const std::string& target) {
    if (!CloseFile(out)) ok = false;
    if (ok) return Commit(side, target);
    RemoveFile(side);
    return false;
}

// Writes `first` (when given and present) and then `second` into the side file of target and
// moves it over target.
bool Concatenate(const std::string* first, const std::string& second, const std::string& target) {
    std::string side = SidePath(target);
    FileHandle out(FileOpen(side.c_str(), "wb"));
    if (!out) return false;
    bool ok = true;
    if (first) {
        FileHandle old(FileOpen(first->c_str(), "rb"));
        if (old) ok = CopyStream(old.get(), out.get());
        else ok = !FileExists(*first);  // no previous file: nothing to keep
    }
    if (ok) {
        FileHandle in(FileOpen(second.c_str(), "rb"));
        ok = in && CopyStream(in.get(), out.get());
    }
    return Finish(out, ok, side, target);
}
}  // namespace

bool ReplaceWaiting(const std::string& from, const std::string& to, long waitMs,
                    const std::function<bool()>& stop) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!RenameReplace(from, to)) {
        if ((stop && stop()) || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return true;
}

bool AppendFile(const std::string& source, const std::string& target) {
    return Concatenate(&target, source, target);
}

bool CopyFileOver(const std::string& source, const std::string& target) {
    return Concatenate(nullptr, source, target);
}

bool ReplaceFileContent(const std::string& path, const std::string& bytes) {
    std::string side = SidePath(path);
    FileHandle out(FileOpen(side.c_str(), "wb"));
    if (!out) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size();
    return Finish(out, ok, side, path);
}

std::uint32_t ReadCrcFile(const std::string& folder) {
    FileHandle f(FileOpen(JoinPath(folder, "CRC").c_str(), "rb"));
    if (!f) return 0;
    char text[32] = {};
    std::size_t n = std::fread(text, 1, 31, f.get());
    f.reset();
    text[n] = '\0';
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

bool WriteCrcFile(const std::string& folder, std::uint32_t crc) {
    FileHandle f(FileOpen(JoinPath(folder, "CRC").c_str(), "wb"));
    if (!f) return false;
    bool ok = std::fprintf(f.get(), "%lu", static_cast<unsigned long>(crc)) > 0;
    if (!CloseFile(f)) ok = false;
    return ok;
}
