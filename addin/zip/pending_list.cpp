#include "zip/pending_list.h"

#include <cstring>
#include <new>

#include "addin.h"

namespace {
// Slots are 12 bytes apart, so a pointer in one may be unaligned on x86-64: copied bytewise.
PendingEntry* EntryAt(const CAddIn& addIn, unsigned index) {
  PendingEntry* entry = nullptr;
  if (void* slot = addIn.zipFiles.At(index)) std::memcpy(&entry, slot, sizeof(entry));
  return entry;
}
}  // namespace

bool PendingAdd(CAddIn& addIn, const PendingEntry& entry) {
  static_assert(sizeof(PendingEntry*) <= 12, "an entry pointer fits a zipFiles slot");
  PendingEntry* copy = new (std::nothrow) PendingEntry;
  if (!copy) return false;
  try {
    *copy = entry;
  } catch (...) {
    delete copy;
    return false;
  }
  void* slot = addIn.zipFiles.Add();
  if (!slot) {
    delete copy;
    return false;
  }
  std::memcpy(slot, &copy, sizeof(copy));
  return true;
}

unsigned PendingCount(const CAddIn& addIn) { return addIn.zipFiles.Count(); }

const PendingEntry& PendingAt(const CAddIn& addIn, unsigned index) { return *EntryAt(addIn, index); }

void PendingClear(CAddIn& addIn) {
  for (unsigned i = 0; i < addIn.zipFiles.Count(); ++i) delete EntryAt(addIn, i);
  addIn.zipFiles.Reset();
}
