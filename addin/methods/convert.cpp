// ConvertUTF16: a file from a narrow code page to UTF-16 or back.
#include <cwctype>

#include "../utf16_convert.h"
#include "methods.h"

namespace {
const UINT kGeorgianBase = 1251;

// The source code page: a number, or a string: "GE…" for Georgian on 1251, else its
// decimal number (0, refused, when it is none).
bool SourceCodePage(CallParams& params, Utf16Conversion& c) {
  long number = 0;
  std::wstring text;
  if (params.GetLong(1, number)) {
    c.sourceCodePage = number > 0 ? UINT(number) : 0;
    return true;
  }
  if (!params.GetString(1, text)) return false;
  if (text.size() >= 2 && std::towupper(text[0]) == L'G' && std::towupper(text[1]) == L'E') {
    c.sourceCodePage = kGeorgianBase;
    c.georgian = true;
    return true;
  }
  wchar_t* end = nullptr;
  unsigned long value = std::wcstoul(text.c_str(), &end, 10);
  if (text.empty() || *end != L'\0' || value == 0 || value > 0xFFFF) return false;
  c.sourceCodePage = UINT(value);
  return true;
}
}  // namespace

void CallConvertUTF16(CAddIn&, CallParams& params, VARIANT* result) {
  Utf16Conversion c;
  long destinationPage = 0;
  bool ok = params.GetString(0, c.source) && SourceCodePage(params, c) && params.GetString(2, c.destination) &&
            params.GetLong(3, destinationPage) && destinationPage > 0;
  if (ok) {
    c.destinationCodePage = UINT(destinationPage);
    ok = ConvertUtf16File(c);
  }
  SetResultLong(result, ok ? 1 : 0);
}
