#include "host_variant.h"

#include <cwchar>

std::wstring Variant::String() const {
  if (V_VT(&v) != VT_BSTR || !V_BSTR(&v)) return std::wstring();
  return std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
}

std::wstring Variant::Text() const {
  wchar_t buffer[64];
  switch (V_VT(&v)) {
    case VT_EMPTY: return L"empty";
    case VT_NULL: return L"null";
    case VT_I4: swprintf(buffer, 64, L"%ld", long(V_I4(&v))); return buffer;
    case VT_R8: swprintf(buffer, 64, L"%.15g", V_R8(&v)); return buffer;
    case VT_BOOL: return V_BOOL(&v) ? L"true" : L"false";
    case VT_BSTR: {
      std::wstring text = L"\"";
      for (wchar_t c : String()) {
        text += c;
        if (c == L'"') text += L'"';
      }
      return text + L"\"";
    }
  }
  swprintf(buffer, 64, L"(variant type %u)", unsigned(V_VT(&v)));
  return buffer;
}
