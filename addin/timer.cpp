// The object's window-less thread timer. Its messages are dispatched by the message loop
// of the thread that started it (1C's main thread), so ticks never run concurrently with
// a method call except inside a modal window of that call.
//
// Each object owns its timer: the callback finds the object by the timer's identifier, so
// two objects of one 1C session each keep their polling and schedules, and releasing one
// stops only its own timer.
#include <map>
#include <mutex>

#include "addin.h"
#include "guard.h"
#include "schedule_list.h"
#include "server_link.h"

namespace {
std::mutex ownersLock;
std::map<UINT_PTR, CAddIn*>& TimerOwners() {
  static std::map<UINT_PTR, CAddIn*> owners;
  return owners;
}

CAddIn* OwnerOf(UINT_PTR id) {
  std::lock_guard<std::mutex> hold(ownersLock);
  auto found = TimerOwners().find(id);
  return found == TimerOwners().end() ? nullptr : found->second;
}
}  // namespace

bool CAddIn::StartAddInTimer(UINT interval) {
  if (timerId != 0) return true;
  UINT_PTR id = SetTimer(nullptr, 0, interval, OnAddInTimer);
  if (id == 0) return false;
  bool recorded = Guarded(false, [&] {
    std::lock_guard<std::mutex> hold(ownersLock);
    TimerOwners()[id] = this;
    return true;
  });
  if (!recorded) {
    KillTimer(nullptr, id);
    return false;
  }
  timerId = id;
  return true;
}

void CAddIn::KillAddInTimer() {
  if (timerId == 0) return;
  KillTimer(nullptr, timerId);
  {
    std::lock_guard<std::mutex> hold(ownersLock);
    TimerOwners().erase(timerId);
  }
  timerId = 0;
}

void CALLBACK OnAddInTimer(HWND, UINT, UINT_PTR id, DWORD) {
  CAddIn* addIn = OwnerOf(id);
  if (!addIn) {
    // The object that started this timer is gone: nothing may tick on.
    KillTimer(nullptr, id);
    return;
  }
  ++addIn->timerTicks;
  // A tick that fails (out of memory on a huge Status.txt) is skipped; the next one tries again.
  Guarded(0, [&] {
    if (addIn->serverLink && addIn->serverLink->serverEnabled) addIn->serverLink->Poll();
    if (addIn->schedules && addIn->schedules->Count() > 0) addIn->schedules->Check();
    return 0;
  });
}
