#include "call_params.h"

CallParams::CallParams(SAFEARRAY** host) {
  if (!host || !*host) return;
  SAFEARRAY* a = *host;
  if (SafeArrayGetDim(a) != 1) return;
  // An array made with SafeArrayAllocDescriptor carries FADF_VARIANT without a stored
  // type, and SafeArrayGetVartype refuses it: its feature flags and element size say enough.
  VARTYPE type = VT_EMPTY;
  bool variants = SUCCEEDED(SafeArrayGetVartype(a, &type))
                      ? type == VT_VARIANT
                      : (a->fFeatures & FADF_VARIANT) != 0 && a->cbElements == sizeof(VARIANT);
  if (!variants) return;
  LONG lower = 0, upper = -1;
  if (FAILED(SafeArrayGetLBound(a, 1, &lower)) || FAILED(SafeArrayGetUBound(a, 1, &upper))) return;
  if (upper < lower) return;
  array = a;
  lowerBound = lower;
  values.reserve(size_t(upper - lower + 1));
  for (LONG i = lower; i <= upper; ++i) {
    VARIANT element, copy;
    VariantInit(&element);
    VariantInit(&copy);
    if (SUCCEEDED(SafeArrayGetElement(a, &i, &element))) {
      // A by-reference element (a 1C variable) is read through its reference.
      if (FAILED(VariantCopyInd(&copy, &element))) VariantInit(&copy);
      VariantClear(&element);
    }
    values.push_back(copy);
  }
}

CallParams::~CallParams() {
  for (VARIANT& v : values) VariantClear(&v);
}

const VARIANT* CallParams::Get(long i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return &values[size_t(i)];
}

VARTYPE CallParams::Type(long i) const {
  const VARIANT* v = Get(i);
  return v ? V_VT(v) : VARTYPE(VT_EMPTY);
}

bool CallParams::GetString(long i, std::wstring& out) const {
  const VARIANT* v = Get(i);
  if (!v || V_VT(v) != VT_BSTR) return false;
  out.assign(V_BSTR(v) ? V_BSTR(v) : L"", V_BSTR(v) ? SysStringLen(V_BSTR(v)) : 0);
  return true;
}

bool CallParams::GetLong(long i, long& out) const {
  const VARIANT* v = Get(i);
  if (!v || V_VT(v) != VT_I4) return false;
  out = V_I4(v);
  return true;
}

bool CallParams::GetDouble(long i, double& out) const {
  const VARIANT* v = Get(i);
  if (!v) return false;
  if (V_VT(v) == VT_R8) out = V_R8(v);
  else if (V_VT(v) == VT_I4) out = V_I4(v);
  else return false;
  return true;
}

bool CallParams::GetText(long i, std::wstring& out) const {
  const VARIANT* v = Get(i);
  if (!v || V_VT(v) == VT_EMPTY || V_VT(v) == VT_NULL) return false;
  if (V_VT(v) == VT_BSTR) return GetString(i, out);
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR))) return false;
  out.assign(V_BSTR(&text) ? V_BSTR(&text) : L"");
  VariantClear(&text);
  return true;
}

bool CallParams::SetOut(long i, const VARIANT& value) {
  if (!array || i < 0 || i >= Count()) return false;
  LONG index = lowerBound + i;
  VARIANT element;
  VariantInit(&element);
  bool written = false;
  if (SUCCEEDED(SafeArrayGetElement(array, &index, &element)) &&
      V_VT(&element) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&element)) {
    // A by-reference element: the value goes to the variable it refers to.
    written = SUCCEEDED(VariantCopy(V_VARIANTREF(&element), const_cast<VARIANT*>(&value)));
  } else {
    written = SUCCEEDED(SafeArrayPutElement(array, &index, const_cast<VARIANT*>(&value)));
  }
  VariantClear(&element);
  if (!written) return false;
  VariantClear(&values[size_t(i)]);
  VariantCopy(&values[size_t(i)], const_cast<VARIANT*>(&value));
  return true;
}

void SetResultLong(VARIANT* result, long value) {
  if (!result) return;
  VariantInit(result);
  V_VT(result) = VT_I4;
  V_I4(result) = value;
}

void SetResultDouble(VARIANT* result, double value) {
  if (!result) return;
  VariantInit(result);
  V_VT(result) = VT_R8;
  V_R8(result) = value;
}

void SetResultString(VARIANT* result, const std::wstring& value) {
  if (!result) return;
  VariantInit(result);
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = SysAllocStringLen(value.data(), UINT(value.size()));
}
