// The devices of config.xml as the server interop methods know them, with what the last
// refresh found of their data.
#pragma once
#include <windows.h>

#include "my_din_array.h"

struct DeviceRecord {
  GUID deviceId;
  wchar_t pseudonim[64];
  wchar_t directory[64];
  wchar_t file[64];  // data file relative to the exchange folder; empty when none
  SYSTEMTIME time;
  DWORD crc;
  BOOL hasNewData;
};

class DeviceList : public MyDinArray {
 public:
  DeviceList() {
    Initialize(16, 8, sizeof(DeviceRecord));
    Reset();
  }
  DeviceRecord* RecordAt(unsigned index) const { return static_cast<DeviceRecord*>(At(index)); }
  int Find(const GUID& id) const;  // linear, in file order; -1 when absent
};
