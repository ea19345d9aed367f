// The local time that the log stamps and the schedules read, as a FILETIME count of 100 ns
// since 1601 in local time. The product reads the system's clock; tests put in a clock they
// set and step.
#pragma once
#include <windows.h>

class LocalClock {
 public:
  virtual ~LocalClock() = default;
  virtual ULONGLONG Now() const = 0;
};

// GetLocalTime, as a FILETIME count.
const LocalClock& SystemLocalClock();

// Conversions between the count and calendar fields.
ULONGLONG LocalTimeToCount(const SYSTEMTIME& time);
SYSTEMTIME CountToLocalTime(ULONGLONG count);

const ULONGLONG kTicksPerSecond = 10000000ULL;
const ULONGLONG kTicksPerDay = 24ULL * 3600ULL * kTicksPerSecond;
