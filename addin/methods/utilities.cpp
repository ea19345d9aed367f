// Schedules, the log and small utilities.
// Not built yet: every method answers as MethodNotBuilt says.
#include "methods.h"

void CallConvertUTF16(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallWinSetClipboard(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGUIDGetFromCode(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGUIDGetCode(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVersion(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallHelp(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGUIDGetSub(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallLogOn(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallLogAdd(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallSheduleSet(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallSheduleRemove(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallSheduleEnable(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallSheduleConfirm(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallSqrt(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallSleep(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCreateGUID(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallChooseColor(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
