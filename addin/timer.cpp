// The object's window-less thread timer. Its messages are dispatched by the message loop
// of the thread that started it (1C's main thread), so ticks never run concurrently with
// a method call except inside a modal window of that call.
#include "addin.h"
#include "schedule_list.h"
#include "server_link.h"

bool CAddIn::StartAddInTimer(UINT interval) {
  if (timerId == 0) timerId = SetTimer(nullptr, 0, interval, OnAddInTimer);
  return timerId != 0;
}

void CAddIn::KillAddInTimer() {
  if (timerId != 0) {
    KillTimer(nullptr, timerId);
    timerId = 0;
  }
}

void CALLBACK OnAddInTimer(HWND, UINT, UINT_PTR id, DWORD) {
  CAddIn* addIn = currentAddIn;
  if (!addIn) {
    // The object that started this timer is gone: nothing may tick on.
    KillTimer(nullptr, id);
    return;
  }
  ++addIn->timerTicks;
  if (addIn->serverLink && addIn->serverLink->serverEnabled) addIn->serverLink->Poll();
  if (addIn->schedules && addIn->schedules->Count() > 0) addIn->schedules->Check();
}
