// The schedules that raise "VLShedule" events in 1C: a MyDinArray of 376-byte Schedule
// records, checked on every tick of the object's timer.
#pragma once
#include "local_clock.h"
#include "my_din_array.h"
#include "schedule.h"

struct IAsyncEvent;

class ScheduleList : public MyDinArray {
 public:
  enum { kRecordSize = 376, kInitialCapacity = 4, kGrowth = 4 };

  ScheduleList() { Initialize(kInitialCapacity, kGrowth, kRecordSize); }

  // The host's event sink (not owned; null when the host has none or after Done).
  IAsyncEvent* asyncEvent = nullptr;
  // Where the local time comes from (the system's; tests put in their own).
  const LocalClock* clock = &SystemLocalClock();

  Schedule* At(unsigned index) const { return static_cast<Schedule*>(MyDinArray::At(index)); }
  // By name, in any case; null when there is none.
  Schedule* Find(const wchar_t* name) const;
  // Replaces the schedule of the same name or appends it, disabled; false when it cannot grow.
  bool Set(const Schedule& schedule);
  bool Remove(const wchar_t* name);
  void RemoveAll();
  // kScheduleOk or kScheduleNotFound.
  long Enable(const wchar_t* name, bool on);
  long Confirm(const GUID& eventId);

  // The check of due schedules, run on every timer tick while the list holds a schedule.
  virtual void Check();

 private:
  enum ArmKind { kArmNow, kArmAfterConfirmation };
  void Arm(Schedule& s, ULONGLONG now, ArmKind kind);
  void ResetAfterEvent(Schedule& s, ULONGLONG now);
  void Fire(Schedule& s, ULONGLONG now);
  void Raise(const Schedule& s);

  // When the pass that arms schedules whose window has opened last ran.
  ULONGLONG lastRearm = 0;
};
