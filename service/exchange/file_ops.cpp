#include "exchange/file_ops.h"

#include <cstdlib>

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
    FILE* f = ::_fsopen(path.c_str(), "rb", _SH_DENYRW);
    if (!f) return false;
    std::fclose(f);
    return true;
#else
    FILE* f = FileOpen(path, "rb");
    if (!f) return false;
    bool ok = ::flock(::fileno(f), LOCK_EX | LOCK_NB) == 0;
    std::fclose(f);
    return ok;
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
    FILE* f = FileOpen(path.c_str(), "rb");
    if (!f) return false;
    if (size) {
        FileItem item;
        *size = GetFileItem(path, &item) ? item.size : 0;
    }
    std::fclose(f);
    return true;
}

namespace {
bool CopyStream(FILE* in, FILE* out) {
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        if (std::fwrite(buffer, 1, n, out) != n) return false;
    return !std::ferror(in);
}
}  // namespace

bool AppendFile(const std::string& source, const std::string& target) {
    FILE* out = FileOpen(target.c_str(), "a+b");
    if (!out) return false;
    bool ok = false;
    if (FILE* in = FileOpen(source.c_str(), "rb")) {
        ok = CopyStream(in, out);
        std::fclose(in);
    }
    if (std::fclose(out) != 0) ok = false;
    return ok;
}

bool CopyFileOver(const std::string& source, const std::string& target) {
    FILE* in = FileOpen(source.c_str(), "rb");
    if (!in) return false;
    FILE* out = FileOpen(target.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    bool ok = CopyStream(in, out);
    std::fclose(in);
    if (std::fclose(out) != 0) ok = false;
    if (!ok) RemoveFile(target);
    return ok;
}

std::uint32_t ReadCrcFile(const std::string& folder) {
    FILE* f = FileOpen(JoinPath(folder, "CRC").c_str(), "rb");
    if (!f) return 0;
    char text[32] = {};
    std::size_t n = std::fread(text, 1, 31, f);
    std::fclose(f);
    text[n] = '\0';
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

bool WriteCrcFile(const std::string& folder, std::uint32_t crc) {
    FILE* f = FileOpen(JoinPath(folder, "CRC").c_str(), "wb");
    if (!f) return false;
    bool ok = std::fprintf(f, "%lu", static_cast<unsigned long>(crc)) > 0;
    if (std::fclose(f) != 0) ok = false;
    return ok;
}
