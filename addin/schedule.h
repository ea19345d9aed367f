// One daily schedule: the record the schedule list holds, and the parsing of SheduleSet's
// name, period and times into it.
#pragma once
#include <windows.h>

#include <string>

// Times are local FILETIME counts (100 ns); "none" is all bits set.
const ULONGLONG kNoTime = ~0ULL;

struct Schedule {
  wchar_t name[128];
  LONG periodKind;  // 1 days of the week (Monday 1 .. Sunday 7), 2 days of the month
  ULONGLONG startOfDay;
  ULONGLONG endOfDay;  // kNoTime: no end
  BYTE days[32];       // day numbers, unused entries 0
  LONG confirm;        // every event waits for SheduleConfirm
  ULONGLONG interval;  // 0: once a day
  ULONGLONG windowStart;
  ULONGLONG nextFire;   // 0: not armed
  ULONGLONG windowEnd;  // 0: none
  GUID eventId;         // the event that awaits confirmation
  BOOL enabled;
  BOOL awaiting;
};
static_assert(sizeof(Schedule) == 376, "the schedule list holds 376-byte records");

// SheduleSet's result codes.
enum ScheduleResult : long {
  kScheduleOk = 0,
  kScheduleNoList = 100,
  kScheduleWrongType = 111,
  kScheduleBadName = 112,
  kScheduleBadPeriod = 113,
  kScheduleBadDay = 114,
  kScheduleTooManyDays = 115,
  kScheduleBadTime = 116,
  kScheduleBadInterval = 117,
  kScheduleCannotAdd = 118,
  kScheduleNotFound = 119,
};

// Fills a cleared, disabled record from SheduleSet's parameters; kScheduleOk or the code
// of the first fault.
long ParseSchedule(const std::wstring& name, const std::wstring& period, const std::wstring& times, long confirm,
                   Schedule& out);
