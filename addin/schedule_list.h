// The schedules that raise "VLShedule" events: a MyDinArray of 376-byte records.
#pragma once
#include "my_din_array.h"

struct IAsyncEvent;

class ScheduleList : public MyDinArray {
 public:
  enum { kRecordSize = 376, kInitialCapacity = 4, kGrowth = 4 };

  ScheduleList() { Initialize(kInitialCapacity, kGrowth, kRecordSize); }

  // The host's event sink (not owned; null when the host has none or after Done).
  IAsyncEvent* asyncEvent = nullptr;

  // The check of due schedules, run on every timer tick while the list holds a schedule.
  // Schedules are created by the schedule methods, which are not built yet: no effect.
  virtual void Check() {}
};
