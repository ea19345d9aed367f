// Zip archives.
// Not built yet: every method answers as MethodNotBuilt says.
#include "methods.h"

void CallZipPack(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallZipUnPack(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallZipSetPassword(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallZipClear(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallZipAdd(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
