#include "platform/shared_read.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

// POSIX opens never keep others from writing, renaming or deleting the file.
bool ReadSharedFile(const std::string& path, std::size_t maxBytes, std::string* out) {
    out->clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = true;
    char buffer[8192];
    while (out->size() < maxBytes) {
        ssize_t got = read(fd, buffer, std::min(sizeof buffer, maxBytes - out->size()));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) break;
        out->append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    if (!ok) out->clear();
    return ok;
}
