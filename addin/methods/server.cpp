// Server interop: following the service through the exchange folder.
// Not built yet: every method answers as MethodNotBuilt says.
#include "methods.h"

void CallVlsSetServerAddress(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsGetPPCInfo(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsGetPPCCount(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsSrvNote(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsProcessDone(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsSetExchangeDir(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsGetExchangeDir(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsEnableServer(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsDisableServer(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsAddPPCId(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsClearPPCId(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVlsGetFieldPPCInfo(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
