#include "fuzz_folder.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/files.h"

namespace {
// Everything below `path`, and `path` itself unless `keep`.
void Clear(const std::string& path, bool keep) {
    std::vector<FileItem> items;
    ListFolder(path, &items);
    for (const FileItem& i : items) {
        std::string p = JoinPath(path, i.name);
        if (i.IsFolder())
            Clear(p, false);
        else
            RemoveFile(p);
    }
    if (!keep) rmdir(path.c_str());
}
}  // namespace

FuzzFolder::FuzzFolder(const char* stem) {
    std::string pattern = std::string("/tmp/") + stem + "-XXXXXX";
    base = mkdtemp(&pattern[0]);
    exchange = JoinPath(base, "ex");
    CreateFolder(exchange);
}

FuzzFolder::~FuzzFolder() { Clear(base, false); }

void FuzzFolder::Empty() const { Clear(exchange, true); }

void FuzzFolder::CheckNothingBeside() const {
    std::vector<FileItem> items;
    ListFolder(base, &items);
    if (items.size() == 1 && items[0].name == "ex") return;
    for (const FileItem& i : items) std::fprintf(stderr, "fuzz: outside the exchange folder: %s\n", i.name.c_str());
    std::abort();
}
