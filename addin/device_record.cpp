#include "device_record.h"

#include "device_id.h"

int DeviceList::Find(const GUID& id) const {
  for (unsigned i = 0; i < Count(); ++i)
    if (CompareDeviceIds(RecordAt(i)->deviceId, id) == 0) return int(i);
  return -1;
}
