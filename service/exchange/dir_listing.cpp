#include "exchange/dir_listing.h"

#include "platform/codepage.h"

bool DirListing::ListInto(std::vector<DirEntry>& target, const std::string& folder, bool recurse) {
    std::vector<FileItem> items;
    if (!ListFolder(folder, &items)) return false;
    for (FileItem& item : items) {
        if (item.name == "." || item.name == "..") continue;
        DirEntry entry;
        entry.name = item.name;
        entry.type = item.IsFolder() ? 'd' : 'f';
        entry.findData = std::move(item);
        if (recurse && entry.type == 'd') ListInto(entry.children, JoinPath(folder, entry.name), true);
        target.push_back(std::move(entry));
    }
    return true;
}

bool DirListing::List(const std::string& folder) { return ListInto(entries, folder, true); }

bool DirListing::ListTop(const std::string& folder) { return ListInto(entries, folder, false); }

bool DirListing::ListChildren(DirEntry& entry, const std::string& folder) {
    entry.children.clear();
    return ListInto(entry.children, folder, false);
}

const DirEntry* DirListing::FindChild(const DirEntry& entry, const char* name, char type) {
    for (const DirEntry& child : entry.children)
        if (child.type == type && AnsiCompareNoCase(child.name.c_str(), name) == 0) return &child;
    return nullptr;
}

void DirListing::Dump(const std::vector<DirEntry>& list, int indent) {
    for (const DirEntry& e : list) {
        ConsolePrintf("%*s%c:%lu:%s\n", indent, "", e.type,
                      static_cast<unsigned long>(e.findData.size & 0xFFFFFFFFu), e.name.c_str());
        if (!e.children.empty()) Dump(e.children, indent + 2);
    }
}
