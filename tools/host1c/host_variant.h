// A VARIANT that owns its value, and the text forms the host prints.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

class Variant {
 public:
  Variant() { VariantInit(&v); }
  Variant(long number) : Variant() { V_VT(&v) = VT_I4; V_I4(&v) = number; }
  Variant(int number) : Variant(long(number)) {}
  Variant(double number) : Variant() { V_VT(&v) = VT_R8; V_R8(&v) = number; }
  Variant(const wchar_t* text) : Variant() {
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
  }
  Variant(const std::wstring& text) : Variant() {
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(text.data(), UINT(text.size()));
  }
  Variant(const Variant& other) : Variant() { VariantCopy(&v, const_cast<VARIANT*>(&other.v)); }
  Variant& operator=(const Variant& other) {
    if (this != &other) {
      VariantClear(&v);
      VariantCopy(&v, const_cast<VARIANT*>(&other.v));
    }
    return *this;
  }
  ~Variant() { VariantClear(&v); }

  // Takes over a VARIANT that the caller owned.
  static Variant Adopt(VARIANT& value) {
    Variant result;
    result.v = value;
    VariantInit(&value);
    return result;
  }

  VARIANT* Get() { return &v; }
  const VARIANT* Get() const { return &v; }
  VARTYPE Type() const { return V_VT(&v); }
  bool IsLong() const { return V_VT(&v) == VT_I4; }
  bool IsString() const { return V_VT(&v) == VT_BSTR; }
  long Long() const { return V_VT(&v) == VT_I4 ? V_I4(&v) : 0; }
  std::wstring String() const;
  // As the host prints it: numbers plain, strings in double quotes ("" for a quote inside),
  // "empty" for VT_EMPTY, otherwise the type number.
  std::wstring Text() const;

 private:
  VARIANT v;
};
