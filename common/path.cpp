#include "platform/files.h"

bool IsPathSep(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || IsPathSep(folder.back())) return folder + name;
    return folder + kPathSep + name;
}
