// Files and folders: enumeration, attributes, identity and the few file operations the
// service needs. Paths are narrow ANSI strings joined with kPathSep.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
constexpr char kPathSep = '\\';
#else
constexpr char kPathSep = '/';
#endif

bool IsPathSep(char c);  // '\\' and '/' on Windows, '/' on POSIX
// folder + separator + name; the separator is added only when folder does not end with one.
std::string JoinPath(const std::string& folder, const std::string& name);

// What a directory enumeration returns for one item (the fields of WIN32_FIND_DATA the
// service uses). Times are FILETIME units: 100 ns since 1601-01-01 UTC.
struct FileItem {
    std::string name;
    std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_* numbering; 0x10 = directory
    std::uint64_t size = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t lastAccessTime = 0;
    std::uint64_t lastWriteTime = 0;
    bool IsFolder() const { return (attributes & 0x10) != 0; }
};
constexpr std::uint32_t kAttrReadOnly = 0x01, kAttrHidden = 0x02, kAttrDirectory = 0x10,
                        kAttrNormal = 0x80;

// Items of `folder` in the system's order, without "." and "..". False when the folder
// cannot be enumerated (out is left empty).
bool ListFolder(const std::string& folder, std::vector<FileItem>* out);
// Attributes, size and times of one path (GetFileAttributesEx). False when it does not exist.
bool GetFileItem(const std::string& path, FileItem* out);
bool FileExists(const std::string& path);    // a file, not a folder
bool FolderExists(const std::string& path);
bool CreateFolder(const std::string& path);   // one level; an existing folder counts as success
bool CreateFolderTree(const std::string& path);  // every missing level
bool ClearFileAttributes(const std::string& path);  // to normal; false if it does not exist
bool RemoveFile(const std::string& path);
bool RenameReplace(const std::string& from, const std::string& to);  // replaces `to`
// fopen with an ANSI path; null on failure. Use "rb"/"wb": line ends are written explicitly.
std::FILE* FileOpen(const std::string& path, const char* mode);
// Bytes the caller may still write on the disk that holds `folder`; false when unknown.
bool FreeDiskSpace(const std::string& folder, std::uint64_t* bytes);
std::uint32_t LastSystemError();  // GetLastError / errno
