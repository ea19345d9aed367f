// The handheld over ActiveSync.
// Not built yet: every method answers as MethodNotBuilt says.
#include "methods.h"
#include "../activesync_state.h"

void CallCePutFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeGetFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeDeleteFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeFileExists(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeGuestOnly(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeSetFileBuffSize(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeExecute(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeRapiInit(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeRapiUnInit(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeRegQueryValue(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeRegSetValue(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeGetVersionOS(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallCeFindWndOnClass(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }

// The ActiveSync connection is made by CeRapiInit, which is not built yet: never initialised.
bool IsRapiInitialised() { return false; }
