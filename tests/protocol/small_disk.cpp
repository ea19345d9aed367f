#include "small_disk.h"

#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/mount.h>
#endif

#include "platform/files.h"

SmallDisk::SmallDisk(std::size_t bytes) : path(base / "disk") {
    CreateFolder(path);
#ifndef _WIN32
    std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
#else
    (void)bytes;
#endif
}

SmallDisk::~SmallDisk() {
#ifndef _WIN32
    if (mounted) ::umount2(path.c_str(), MNT_DETACH);
#endif
}

std::string SmallDisk::operator/(const std::string& name) const { return JoinPath(path, name); }

void SmallDisk::Fill() {
    std::FILE* f = std::fopen((*this / "filler").c_str(), "ab");
    if (!f) return;
    std::setvbuf(f, nullptr, _IONBF, 0);
    std::vector<char> chunk(4096, 'x');
    while (std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size()) {}
    while (std::fwrite(chunk.data(), 1, 1, f) == 1) {}
    std::fclose(f);
}

void SmallDisk::Unfill() { RemoveFile(*this / "filler"); }
