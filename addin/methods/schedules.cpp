// Schedules that raise "VLShedule" events in 1C: set, enable, remove, confirm.
#include "../addin.h"
#include "../guid_code.h"
#include "../schedule_list.h"
#include "../server_link.h"
#include "methods.h"

namespace {
const UINT kScheduleTimerInterval = 5000;  // ms between checks when schedules start the timer
}  // namespace

void CallSheduleSet(CAddIn& addIn, CallParams& params, VARIANT* result) {
  std::wstring name, period, times;
  long confirm = 0;
  if (!params.GetString(0, name) || !params.GetString(1, period) || !params.GetString(2, times) ||
      !params.GetLong(3, confirm))
    return SetResultLong(result, kScheduleWrongType);
  if (!addIn.schedules) return SetResultLong(result, kScheduleNoList);
  Schedule schedule;
  long code = ParseSchedule(name, period, times, confirm, schedule);
  if (code == kScheduleOk && !addIn.schedules->Set(schedule)) code = kScheduleCannotAdd;
  // A timer that server polling runs already keeps its interval.
  if (code == kScheduleOk && addIn.timerId == 0) addIn.StartAddInTimer(kScheduleTimerInterval);
  SetResultLong(result, code);
}

void CallSheduleRemove(CAddIn& addIn, CallParams& params, VARIANT* result) {
  std::wstring name;
  bool all = params.Type(0) == VT_I4;
  if (!all && !params.GetString(0, name)) return SetResultLong(result, kScheduleWrongType);
  if (!addIn.schedules) return SetResultLong(result, kScheduleNoList);
  if (all) addIn.schedules->RemoveAll();
  else if (!addIn.schedules->Remove(name.c_str())) return SetResultLong(result, kScheduleNotFound);
  // The timer stops with the last schedule unless server polling still needs it.
  bool polling = addIn.serverLink && addIn.serverLink->serverEnabled;
  if (addIn.timerId != 0 && addIn.schedules->Count() == 0 && !polling) addIn.KillAddInTimer();
  SetResultLong(result, kScheduleOk);
}

void CallSheduleEnable(CAddIn& addIn, CallParams& params, VARIANT* result) {
  std::wstring name;
  long on = 0;
  if (!params.GetString(0, name) || !params.GetLong(1, on)) return SetResultLong(result, kScheduleWrongType);
  if (!addIn.schedules) return SetResultLong(result, kScheduleNoList);
  SetResultLong(result, addIn.schedules->Enable(name.c_str(), on != 0));
}

void CallSheduleConfirm(CAddIn& addIn, CallParams& params, VARIANT* result) {
  std::wstring id;
  if (!params.GetString(0, id)) return SetResultLong(result, kScheduleWrongType);
  if (!addIn.schedules) return SetResultLong(result, kScheduleNoList);
  SetResultLong(result, addIn.schedules->Confirm(ParseGuidText(id)));
}
