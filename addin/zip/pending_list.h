// The files and folders collected by ZipAdd for the next ZipPack without a list. Each
// slot of the object's zipFiles array holds a pointer to one entry, so the array keeps its
// 12-byte elements on both platforms.
#pragma once
#include <string>

class CAddIn;

struct PendingEntry {
  std::wstring source;  // never ends in a backslash
  std::wstring name;    // name in the archive (unused for folders)
  bool folder = false;  // the source was a folder when it was added
};

// False when the list cannot grow (nothing is added).
bool PendingAdd(CAddIn& addIn, const PendingEntry& entry);
unsigned PendingCount(const CAddIn& addIn);
const PendingEntry& PendingAt(const CAddIn& addIn, unsigned index);
// Frees every entry and empties the list.
void PendingClear(CAddIn& addIn);
