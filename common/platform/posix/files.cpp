#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/codepage.h"

namespace {
std::string Os(const std::string& ansi) { return AnsiToUtf8(ansi); }

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kEpochDelta = 11644473600ULL;

std::uint64_t ToFileTime(const struct timespec& t) {
    if (t.tv_sec < 0) return 0;
    return (static_cast<std::uint64_t>(t.tv_sec) + kEpochDelta) * 10000000ULL +
           static_cast<std::uint64_t>(t.tv_nsec) / 100;
}

// `osPath` is the system's (UTF-8) path; `name` the ANSI name reported for it.
bool Describe(const std::string& osPath, const std::string& name, FileItem* out) {
    struct stat st;
    if (::stat(osPath.c_str(), &st) != 0) return false;
    out->name = name;
    out->attributes = 0;
    if (S_ISDIR(st.st_mode)) out->attributes |= kAttrDirectory;
    if (!(st.st_mode & S_IWUSR)) out->attributes |= kAttrReadOnly;
    if (!name.empty() && name[0] == '.') out->attributes |= kAttrHidden;
    if (out->attributes == 0) out->attributes = kAttrNormal;
    out->size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    out->lastWriteTime = ToFileTime(st.st_mtim);
    out->lastAccessTime = ToFileTime(st.st_atim);
    // POSIX stat has no birth time; the status-change time is the nearest stand-in.
    out->creationTime = ToFileTime(st.st_ctim);
    return true;
}

std::string BaseName(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    std::size_t start = path.rfind('/', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end - start);
}
}  // namespace

bool ListFolder(const std::string& folder, std::vector<FileItem>* out) {
    out->clear();
    std::string osFolder = Os(folder);
    DIR* dir = ::opendir(osFolder.c_str());
    if (!dir) return false;
    while (struct dirent* e = ::readdir(dir)) {
        std::string raw = e->d_name;
        if (raw == "." || raw == "..") continue;
        FileItem item;
        if (Describe(JoinPath(osFolder, raw), Utf8ToAnsi(raw), &item)) out->push_back(item);
    }
    ::closedir(dir);
    return true;
}

bool GetFileItem(const std::string& path, FileItem* out) { return Describe(Os(path), BaseName(path), out); }

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(Os(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return ::stat(Os(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::string& path) {
    if (::mkdir(Os(path).c_str(), 0777) == 0) return true;
    return errno == EEXIST && FolderExists(path);
}

bool CreateFolderTree(const std::string& path) {
    if (path.empty()) return false;
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/' && path[i - 1] != '/') {
            std::string part = path.substr(0, i);
            if (!FolderExists(part) && !CreateFolder(part)) return false;
        }
    }
    return CreateFolder(path);
}

bool ClearFileAttributes(const std::string& path) {
    struct stat st;
    if (::stat(Os(path).c_str(), &st) != 0) return false;
    if (st.st_mode & S_IWUSR) return true;
    return ::chmod(Os(path).c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(Os(path).c_str()) == 0; }

bool RenameReplace(const std::string& from, const std::string& to) {
    return ::rename(Os(from).c_str(), Os(to).c_str()) == 0;
}

std::FILE* FileOpen(const std::string& path, const char* mode) {
    return std::fopen(Os(path).c_str(), mode);
}

bool FreeDiskSpace(const std::string& folder, std::uint64_t* bytes) {
    struct statvfs st;
    if (::statvfs(Os(folder).c_str(), &st) != 0) return false;
    *bytes = static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
    return true;
}

std::uint32_t LastSystemError() { return static_cast<std::uint32_t>(errno); }
