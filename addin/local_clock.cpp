#include "local_clock.h"

namespace {
class SystemClock : public LocalClock {
 public:
  ULONGLONG Now() const override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTimeToCount(now);
  }
};
}  // namespace

const LocalClock& SystemLocalClock() {
  static const SystemClock clock;
  return clock;
}

ULONGLONG LocalTimeToCount(const SYSTEMTIME& time) {
  FILETIME file = {};
  SystemTimeToFileTime(&time, &file);
  return (ULONGLONG(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

SYSTEMTIME CountToLocalTime(ULONGLONG count) {
  FILETIME file;
  file.dwLowDateTime = DWORD(count);
  file.dwHighDateTime = DWORD(count >> 32);
  SYSTEMTIME time = {};
  FileTimeToSystemTime(&file, &time);
  return time;
}
