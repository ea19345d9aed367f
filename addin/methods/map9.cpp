// Interop with the Map9 map program. The three methods have a result in the method table
// but set no value: 1C receives an empty one.
#include "addin.h"
#include "map9_link.h"
#include "methods.h"

namespace {
void NoValue(VARIANT* result) {
  if (result) VariantInit(result);
}
}  // namespace

void CallMap9EnableInterop(CAddIn& addIn, CallParams&, VARIANT* result) {
  NoValue(result);
  if (addIn.map9Link) addIn.map9Link->Enable();
}

void CallMap9DisableInterop(CAddIn& addIn, CallParams&, VARIANT* result) {
  NoValue(result);
  if (addIn.map9Link) addIn.map9Link->Disable();
}

void CallMap9EndOperation(CAddIn& addIn, CallParams& params, VARIANT* result) {
  NoValue(result);
  // The result is taken as a number whatever the variant's type; what cannot be one is 0.
  long answer = 0;
  const VARIANT* value = params.Get(0);
  VARIANT number;
  VariantInit(&number);
  if (value && SUCCEEDED(VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_I4))) answer = V_I4(&number);
  VariantClear(&number);
  if (addIn.map9Link) addIn.map9Link->EndOperation(answer);
}
