// The devices whose new data 1C has not processed yet, in the order they were first seen.
#pragma once
#include <windows.h>

#include "my_din_array.h"

struct PPCQueueEntry {
  GUID deviceId;
  DWORD crc;
};

class PPCQueue : public MyDinArray {
 public:
  PPCQueue() {
    Initialize(16, 8, sizeof(PPCQueueEntry));
    Reset();
  }
  int Find(const GUID& id) const;  // -1 when absent
  // A queued device has its CRC replaced in place; a new one goes to the end.
  bool Put(const GUID& id, DWORD crc);
  void Remove(const GUID& id);
  bool RemoveFirst();  // false when empty
  const PPCQueueEntry* EntryAt(unsigned index) const { return static_cast<const PPCQueueEntry*>(At(index)); }
  void Clear() { Reset(); }
};
