#include "schedule_list.h"

#include <objbase.h>

#include <cstring>
#include <cwchar>

#include "device_id.h"
#include "velora_addin.h"

namespace {
const ULONGLONG kRearmPace = 20 * kTicksPerSecond;
const ULONGLONG kOpenWindow = 60 * kTicksPerSecond;  // a schedule without an end fires within its first minute

ULONGLONG Midnight(ULONGLONG now) { return now - now % kTicksPerDay; }

// Today's day number in the schedule's period kind.
int TodayNumber(const Schedule& s, ULONGLONG now) {
  SYSTEMTIME t = CountToLocalTime(now);
  if (s.periodKind == 1) return t.wDayOfWeek == 0 ? 7 : t.wDayOfWeek;
  return t.wDay;
}

bool IsListedDay(const Schedule& s, int day) {
  int entries = s.periodKind == 1 ? 7 : 31;
  for (int i = 0; i < entries; ++i)
    if (s.days[i] == day) return true;
  return false;
}

void Disarm(Schedule& s) { s.nextFire = s.windowEnd = 0; }
}  // namespace

Schedule* ScheduleList::Find(const wchar_t* name) const {
  for (unsigned i = 0; i < Count(); ++i)
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, At(i)->name, -1, name, -1) == CSTR_EQUAL) return At(i);
  return nullptr;
}

bool ScheduleList::Set(const Schedule& schedule) {
  Schedule* slot = Find(schedule.name);
  if (!slot) slot = static_cast<Schedule*>(Add());
  if (!slot) return false;
  *slot = schedule;
  slot->enabled = FALSE;
  Disarm(*slot);
  return true;
}

bool ScheduleList::Remove(const wchar_t* name) {
  Schedule* s = Find(name);
  if (!s) return false;
  RemoveAt(unsigned(s - At(0)));
  return true;
}

void ScheduleList::RemoveAll() {
  while (Count() > 0) RemoveAt(Count() - 1);
}

long ScheduleList::Enable(const wchar_t* name, bool on) {
  Schedule* s = Find(name);
  if (!s) return kScheduleNotFound;
  s->enabled = on ? TRUE : FALSE;
  if (on) Arm(*s, clock->Now(), kArmNow);
  return kScheduleOk;
}

long ScheduleList::Confirm(const GUID& eventId) {
  for (unsigned i = 0; i < Count(); ++i) {
    Schedule& s = *At(i);
    if (s.awaiting && std::memcmp(&s.eventId, &eventId, sizeof eventId) == 0) {
      ResetAfterEvent(s, clock->Now());
      return kScheduleOk;
    }
  }
  return kScheduleNotFound;
}

void ScheduleList::Arm(Schedule& s, ULONGLONG now, ArmKind kind) {
  if (!s.enabled) return;
  ULONGLONG midnight = Midnight(now);
  s.windowEnd = 0;
  if (s.endOfDay != kNoTime) {
    s.windowEnd = midnight + s.endOfDay;
    if (now > s.windowEnd) return Disarm(s);
  }
  s.windowStart = midnight + s.startOfDay;
  if (s.windowStart > now) return Disarm(s);
  if (!IsListedDay(s, TodayNumber(s, now))) return Disarm(s);
  s.nextFire = kind == kArmNow ? now : now + s.interval;
}

void ScheduleList::ResetAfterEvent(Schedule& s, ULONGLONG now) {
  s.eventId = GUID();
  s.awaiting = FALSE;
  if (s.interval != 0) {
    Arm(s, now, kArmAfterConfirmation);
  } else {
    s.nextFire += kTicksPerDay;
    s.windowEnd = s.nextFire;
  }
}

void ScheduleList::Fire(Schedule& s, ULONGLONG now) {
  if (!s.confirm) {
    if (s.interval != 0) {
      s.nextFire = now + s.interval;
      if (s.nextFire > s.windowEnd) Disarm(s);
    } else {
      s.nextFire += kTicksPerDay;
      s.windowEnd = s.nextFire;
    }
  } else if (!s.awaiting) {
    // The first event of a confirmed schedule gets its identifier; repeats reuse it.
    if (FAILED(CoCreateGuid(&s.eventId))) return;
    s.awaiting = TRUE;
  }
  Raise(s);
}

void ScheduleList::Raise(const Schedule& s) {
  if (!asyncEvent) return;
  BSTR source = SysAllocString(L"VLShedule");
  BSTR message = SysAllocStringLen(s.name, UINT(wcsnlen(s.name, sizeof(s.name) / sizeof(wchar_t))));
  BSTR data = SysAllocString(s.confirm ? FormatDeviceId(s.eventId).c_str() : L"");
  asyncEvent->ExternalEvent(source, message, data);
  SysFreeString(source);
  SysFreeString(message);
  SysFreeString(data);
}

void ScheduleList::Check() {
  ULONGLONG now = clock->Now();
  for (unsigned i = 0; i < Count(); ++i) {
    Schedule& s = *At(i);
    if (!s.enabled) continue;
    if (s.awaiting) {
      if (s.windowEnd != 0 && now > s.windowEnd) ResetAfterEvent(s, now);
      else Fire(s, now);
      continue;
    }
    if (s.nextFire == 0 || s.nextFire > now) continue;
    if (s.windowEnd != 0) {
      if (now > s.windowEnd) Disarm(s);
      else Fire(s, now);
    } else if (now - s.windowStart >= kOpenWindow) {
      Disarm(s);
    } else {
      Fire(s, now);
    }
  }
  if (lastRearm + kRearmPace < now) {
    lastRearm = now;
    for (unsigned i = 0; i < Count(); ++i)
      if (At(i)->enabled && At(i)->nextFire == 0) Arm(*At(i), now, kArmNow);
  }
}
