// The exchange folder listed into an in-memory tree; authorization finds the device folder and
// the files 1C left in it there.
#pragma once
#include <string>
#include <vector>

#include "platform/files.h"

struct DirEntry {
    std::string name;
    char type = 'f';          // 'd' folder, 'f' file
    FileItem findData;        // what the enumeration returned (size, times, attributes)
    std::vector<DirEntry> children;  // folders only
};

class DirListing {
public:
    // Adds the entries of `folder` and of every folder below it, in the system's order.
    // False when `folder` cannot be enumerated (the tree is unchanged).
    bool List(const std::string& folder);
    // Only the entries of `folder` itself; folders get no children.
    bool ListTop(const std::string& folder);
    // Fills the children of one folder entry (one level).
    static bool ListChildren(DirEntry& entry, const std::string& folder);

    const std::vector<DirEntry>& Entries() const { return entries; }
    std::vector<DirEntry>& Entries() { return entries; }
    int Count() const { return static_cast<int>(entries.size()); }
    void Clear() { entries.clear(); }

    // The first direct child whose name equals `name` ignoring case and whose type is `type`.
    static const DirEntry* FindChild(const DirEntry& entry, const char* name, char type);
    // Console dump, "%c:%lu:%s" per entry, children indented by two more spaces.
    static void Dump(const std::vector<DirEntry>& list, int indent);

private:
    static bool ListInto(std::vector<DirEntry>& target, const std::string& folder, bool recurse);
    std::vector<DirEntry> entries;
};
