// The parameters of one method call: element i of the host's SAFEARRAY of VARIANT is
// parameter i, taken as a copy that the method owns. Anything the host hands over (no
// array, an array of another element type or shape, fewer elements than the method's
// count) reads as missing parameters, never as a fault.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

class CallParams {
 public:
  explicit CallParams(SAFEARRAY** array);
  ~CallParams();
  CallParams(const CallParams&) = delete;
  CallParams& operator=(const CallParams&) = delete;

  // Number of parameters the host passed.
  long Count() const { return long(values.size()); }
  // Copy of parameter i; null when missing.
  const VARIANT* Get(long i) const;
  // Type of parameter i; VT_EMPTY when missing.
  VARTYPE Type(long i) const;
  // Parameter i when it is a VT_BSTR (a null BSTR reads as the empty string).
  bool GetString(long i, std::wstring& out) const;
  // Parameter i when it is a VT_I4.
  bool GetLong(long i, long& out) const;
  // Parameter i when it is a VT_R8 or a VT_I4.
  bool GetDouble(long i, double& out) const;
  // Parameter i as text whatever its type (numbers converted); false when missing or not
  // convertible.
  bool GetText(long i, std::wstring& out) const;
  // Writes an output parameter back into the host's array.
  bool SetOut(long i, const VARIANT& value);

 private:
  SAFEARRAY* array = nullptr;
  LONG lowerBound = 0;
  std::vector<VARIANT> values;
};

// Method results: the result VARIANT is written over whatever it held.
void SetResultLong(VARIANT* result, long value);
void SetResultDouble(VARIANT* result, double value);
void SetResultString(VARIANT* result, const std::wstring& value);
