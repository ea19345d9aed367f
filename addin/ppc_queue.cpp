#include "ppc_queue.h"

#include "device_id.h"

int PPCQueue::Find(const GUID& id) const {
  for (unsigned i = 0; i < Count(); ++i)
    if (CompareDeviceIds(EntryAt(i)->deviceId, id) == 0) return int(i);
  return -1;
}

bool PPCQueue::Put(const GUID& id, DWORD crc) {
  int i = Find(id);
  PPCQueueEntry* entry = i >= 0 ? static_cast<PPCQueueEntry*>(At(unsigned(i))) : static_cast<PPCQueueEntry*>(Add());
  if (!entry) return false;
  entry->deviceId = id;
  entry->crc = crc;
  return true;
}

void PPCQueue::Remove(const GUID& id) {
  int i = Find(id);
  if (i >= 0) RemoveAt(unsigned(i));
}

bool PPCQueue::RemoveFirst() {
  if (Count() == 0) return false;
  RemoveAt(0);
  return true;
}
