#include "platform/files.h"

#include <windows.h>

namespace {
std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }
std::uint64_t Time(const FILETIME& t) { return Join(t.dwHighDateTime, t.dwLowDateTime); }

std::string BaseName(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && IsPathSep(path[end - 1])) --end;
    std::size_t start = end;
    while (start > 0 && !IsPathSep(path[start - 1]) && path[start - 1] != ':') --start;
    return path.substr(start, end - start);
}
}  // namespace

bool ListFolder(const std::string& folder, std::vector<FileItem>* out) {
    out->clear();
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(JoinPath(folder, "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND && FolderExists(folder);
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        FileItem item;
        item.name = name;
        item.attributes = data.dwFileAttributes;
        item.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
        item.creationTime = Time(data.ftCreationTime);
        item.lastAccessTime = Time(data.ftLastAccessTime);
        item.lastWriteTime = Time(data.ftLastWriteTime);
        out->push_back(item);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return true;
}

bool GetFileItem(const std::string& path, FileItem* out) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    out->name = BaseName(path);
    out->attributes = data.dwFileAttributes;
    out->size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    out->creationTime = Time(data.ftCreationTime);
    out->lastAccessTime = Time(data.ftLastAccessTime);
    out->lastWriteTime = Time(data.ftLastWriteTime);
    return true;
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return true;
    DWORD e = GetLastError();
    if (e == ERROR_ALREADY_EXISTS && FolderExists(path)) return true;
    SetLastError(e);
    return false;
}

bool CreateFolderTree(const std::string& path) {
    if (path.empty()) return false;
    // Skip the root of the path: "C:\", "\\server\share\" or a leading separator.
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
        start = 2;
    } else if (path.size() >= 2 && IsPathSep(path[0]) && IsPathSep(path[1])) {
        std::size_t server = path.find_first_of("\\/", 2);
        start = server == std::string::npos ? path.size() : path.find_first_of("\\/", server + 1);
        if (start == std::string::npos) start = path.size();
    }
    for (std::size_t i = start + 1; i < path.size(); ++i) {
        if (IsPathSep(path[i]) && !IsPathSep(path[i - 1])) {
            std::string part = path.substr(0, i);
            if (!FolderExists(part) && !CreateFolder(part)) return false;
        }
    }
    return CreateFolder(path);
}

bool ClearFileAttributes(const std::string& path) {
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool RenameReplace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

std::FILE* FileOpen(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool FreeDiskSpace(const std::string& folder, std::uint64_t* bytes) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return false;
    *bytes = available.QuadPart;
    return true;
}

std::uint32_t LastSystemError() { return GetLastError(); }
