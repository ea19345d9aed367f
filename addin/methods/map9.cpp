// Interop with the Map9 map program.
// Not built yet: every method answers as MethodNotBuilt says.
#include "methods.h"

void CallMap9EnableInterop(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallMap9DisableInterop(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallMap9EndOperation(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
