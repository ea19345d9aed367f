// ILanguageExtender: names, properties and the two dispatchers. Failures of a method are
// its result code, never the HRESULT; S_FALSE answers numbers outside the table.
#include <cwchar>

#include "activesync_state.h"
#include "addin.h"
#include "guard.h"
#include "method_table.h"

namespace {
// Exact, case-sensitive comparison of UTF-16 strings (a null BSTR is the empty name).
bool SameName(BSTR name, const std::wstring& candidate) {
  UINT length = name ? SysStringLen(name) : 0;
  return length == candidate.size() &&
         std::wmemcmp(name ? name : L"", candidate.data(), length) == 0;
}

bool Matches(BSTR name, const NamePair& names) {
  return SameName(name, names.first) || SameName(name, names.second);
}

BSTR NewBstr(const std::wstring& text) { return SysAllocStringLen(text.data(), UINT(text.size())); }
}  // namespace

STDMETHODIMP CAddIn::RegisterExtensionAs(BSTR* name) {
  if (!name) return E_POINTER;
  *name = SysAllocString(L"CeDataExch");
  return S_OK;
}

STDMETHODIMP CAddIn::GetNProps(long* count) {
  if (!count) return E_POINTER;
  *count = kPropCount;
  return S_OK;
}

STDMETHODIMP CAddIn::GetNMethods(long* count) {
  if (!count) return E_POINTER;
  *count = kMethodCount;
  return S_OK;
}

STDMETHODIMP CAddIn::FindProp(BSTR name, long* number) {
  if (!number) return E_POINTER;
  *number = -1;
  for (long i = 0; i < kPropCount; ++i)
    if (Matches(name, PropertyNames(i))) *number = i;
  return *number >= 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CAddIn::FindMethod(BSTR name, long* number) {
  if (!number) return E_POINTER;
  *number = -1;
  for (long i = 0; i < kMethodCount; ++i)
    if (Matches(name, MethodNames(i))) *number = i;
  for (int i = 0; i < 2; ++i)
    if (Matches(name, ErrDescriptionAliases(i))) *number = kErrDescriptionMethod;
  return *number >= 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CAddIn::GetPropName(long number, long alias, BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  if (!PropertyAt(number)) {
    *name = SysAllocString(L"");
    return S_FALSE;
  }
  return Guarded(E_OUTOFMEMORY, [&] {
    *name = NewBstr(PropertyNames(number).Alias(alias));
    return S_OK;
  });
}

STDMETHODIMP CAddIn::GetMethodName(long number, long alias, BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  if (!MethodAt(number)) {
    *name = SysAllocString(L"");
    return S_FALSE;
  }
  return Guarded(E_OUTOFMEMORY, [&] {
    *name = NewBstr(MethodNames(number).Alias(alias));
    return S_OK;
  });
}

STDMETHODIMP CAddIn::GetPropVal(long number, VARIANT* value) {
  if (!value) return E_POINTER;
  VariantInit(value);
  long v = 0;
  switch (number) {
    case 0: v = enabled ? 1 : 0; break;
    case 1: v = 1; break;
    case 2: v = copyWindowVisible ? 1 : 0; break;
    case 3: v = IsRapiInitialised() ? 1 : 0; break;
    default: return S_FALSE;
  }
  V_VT(value) = VT_I4;
  V_I4(value) = v;
  return S_OK;
}

STDMETHODIMP CAddIn::SetPropVal(long number, VARIANT* value) {
  if ((number < 0 || number > 2) || !value || V_VT(value) != VT_I4) return S_FALSE;
  if (number == 1) return S_OK;  // IsTimerPresent: accepted, nothing changes
  BOOL flag = V_I4(value) ? TRUE : FALSE;
  if (number == 0) enabled = flag;
  else copyWindowVisible = flag;
  return S_OK;
}

STDMETHODIMP CAddIn::IsPropReadable(long number, BOOL* flag) {
  if (!flag) return E_POINTER;
  if (!PropertyAt(number)) return S_FALSE;
  *flag = TRUE;
  return S_OK;
}

STDMETHODIMP CAddIn::IsPropWritable(long number, BOOL* flag) {
  if (!flag) return E_POINTER;
  const PropertyEntry* entry = PropertyAt(number);
  if (!entry) return S_FALSE;
  *flag = entry->writable ? TRUE : FALSE;
  return S_OK;
}

STDMETHODIMP CAddIn::GetNParams(long number, long* count) {
  if (!count) return E_POINTER;
  *count = 0;
  const MethodEntry* entry = MethodAt(number);
  if (!entry) return S_FALSE;
  *count = entry->params;
  return S_OK;
}

STDMETHODIMP CAddIn::GetParamDefValue(long method, long param, VARIANT* value) {
  if (!value) return E_POINTER;
  VariantInit(value);
  const MethodEntry* entry = MethodAt(method);
  if (!entry || !entry->defaultsAnswer) return S_FALSE;
  if (entry->defaultParam >= 0 && param == entry->defaultParam) {
    V_VT(value) = VT_I4;
    V_I4(value) = entry->defaultValue;
  }
  return S_OK;
}

STDMETHODIMP CAddIn::HasRetVal(long number, BOOL* flag) {
  if (!flag) return E_POINTER;
  const MethodEntry* entry = MethodAt(number);
  if (!entry) return S_FALSE;
  *flag = entry->hasResult ? TRUE : FALSE;
  return S_OK;
}

STDMETHODIMP CAddIn::CallAsProc(long number, SAFEARRAY** params) {
  const MethodEntry* entry = MethodAt(number);
  if (!entry || entry->dispatcher != kProc || !entry->handler) return S_FALSE;
  // A procedure has no result to carry a failure: one that could not run simply ends.
  return Guarded(S_OK, [&] {
    CallParams call(params);
    entry->handler(*this, call, nullptr);
    return S_OK;
  });
}

STDMETHODIMP CAddIn::CallAsFunc(long number, VARIANT* result, SAFEARRAY** params) {
  const MethodEntry* entry = MethodAt(number);
  if (!entry || entry->dispatcher != kFunc || !entry->handler) return S_FALSE;
  if (!result) return E_POINTER;
  // Every handler of a method with a result sets it; the general error stands if one fails
  // to, or runs out of memory part-way.
  VARIANT value;
  SetResultLong(&value, kResultGeneralError);
  bool done = Guarded(false, [&] {
    CallParams call(params);
    entry->handler(*this, call, &value);
    return true;
  });
  if (!done) {
    VariantClear(&value);
    SetResultLong(&value, kResultGeneralError);
  }
  *result = value;
  return S_OK;
}
