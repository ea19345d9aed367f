// File encryption and signatures.
// Not built yet: every method answers as MethodNotBuilt says.
#include "methods.h"

void CallEncryptFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallDecryptFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallSetCryptPassword(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallAddSignature(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallVerifySignature(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
