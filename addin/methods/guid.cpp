// GUID methods: new identifiers, their text, the compact code form and single bytes.
#include "methods.h"

#include <objbase.h>

#include "../guid_code.h"

void CallCreateGUID(CAddIn&, CallParams&, VARIANT* result) {
  GUID id = {};
  if (FAILED(CoCreateGuid(&id))) id = GUID();
  SetResultString(result, GuidText(id));
}

void CallGUIDGetCode(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring text;
  if (!params.GetString(0, text) || text.size() != 36) {
    SetResultString(result, std::wstring());
    return;
  }
  SetResultString(result, GuidToCode(ParseGuidText(text)));
}

void CallGUIDGetFromCode(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring code;
  SetResultString(result, params.GetString(0, code) ? GuidText(GuidFromCode(code)) : std::wstring());
}

void CallGUIDGetSub(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring text;
  if (!params.GetString(0, text)) {
    SetResultString(result, std::wstring());
    return;
  }
  long index = 0, value = 0;
  params.GetLong(1, index);  // a parameter of another type counts as 0
  params.GetLong(2, value);
  SetResultString(result, GuidText(GuidWithByte(ParseGuidText(text), index, value)));
}
