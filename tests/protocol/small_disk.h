// A size-limited folder (a tmpfs of its own) for the faults of a full disk. Mounting needs the
// right to mount; where it is missing the tests that need one skip.
#pragma once
#include <cstddef>
#include <string>

#include "support.h"

class SmallDisk {
public:
    explicit SmallDisk(std::size_t bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted; }
    const std::string& Path() const { return path; }
    std::string operator/(const std::string& name) const;
    // Writes a filler file until nothing more fits; Unfill removes it.
    void Fill();
    void Unfill();

private:
    TempDir base;
    std::string path;
    bool mounted = false;
};

#define REQUIRE_SMALL_DISK(disk) \
    if (!(disk).Mounted()) GTEST_SKIP() << "no right to mount a size-limited folder"
