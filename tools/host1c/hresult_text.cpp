#include "hresult_text.h"

#include <cwchar>

namespace {
const wchar_t* OwnWords(HRESULT hr) {
  switch (hr) {
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND):
      return L"the file was not found";
    case HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT):
      return L"it is not a DLL for this process (32-bit and 64-bit do not mix)";
    case HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND):
      return L"the DLL does not export DllGetClassObject";
    case CLASS_E_CLASSNOTAVAILABLE:
      return L"the DLL does not offer the component's class";
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING:
      return L"it is not registered (regsvr32 the DLL, or use --dll)";
    case E_NOINTERFACE:
      return L"the object lacks the interface";
    case E_UNEXPECTED:
      return L"the component was not created";
    default:
      return nullptr;
  }
}

std::wstring SystemWords(HRESULT hr) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, DWORD(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = length && text ? std::wstring(text, length) : L"";
  if (text) LocalFree(text);
  while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ' ||
                            words.back() == L'.'))
    words.pop_back();
  return words.empty() ? L"failed" : words;
}
}  // namespace

std::wstring HresultText(HRESULT hr) {
  const wchar_t* own = OwnWords(hr);
  wchar_t code[16];
  swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return (own ? std::wstring(own) : SystemWords(hr)) + L" (" + code + L")";
}
