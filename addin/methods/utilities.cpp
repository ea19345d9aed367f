// Small utilities: version, HTML help, square root, sleep, the colour dialog, the clipboard.
#include "methods.h"

#include <commdlg.h>

#include <cmath>
#include <cstring>

namespace {
const wchar_t kVersion[] = L"1.62.0.0";

// The custom colours the colour dialog offers (0x00BBGGRR).
const COLORREF kCustomColours[16] = {
    0xF41A1F, 0xFFD5FF, 0xFFFF00, 0xFF3737, 0xFFA4A4, 0x00C000, 0x89E600, 0xCAFF5F,
    0x48F1FF, 0x8AF7FF, 0x95D8FF, 0xD8D8D8, 0x467977, 0x6DABA8, 0xA9A970, 0xAA00AA,
};

typedef HWND(WINAPI* HtmlHelpFn)(HWND, LPCWSTR, UINT, DWORD_PTR);

// HtmlHelpW from hhctrl.ocx, loaded on first use (most sessions never ask for help).
HtmlHelpFn HtmlHelpEntry() {
  static HtmlHelpFn entry = [] {
    HMODULE module = LoadLibraryW(L"hhctrl.ocx");
    return module ? reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")))
                  : nullptr;
  }();
  return entry;
}
}  // namespace

void CallVersion(CAddIn&, CallParams&, VARIANT* result) { SetResultString(result, kVersion); }

void CallHelp(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring file;
  long command = 0;
  if (params.GetString(0, file) && params.GetLong(1, command)) {
    if (HtmlHelpFn help = HtmlHelpEntry()) help(nullptr, file.c_str(), UINT(command), 0);
  }
  SetResultLong(result, 0);
}

void CallSqrt(CAddIn&, CallParams& params, VARIANT* result) {
  double x = 0.0;
  SetResultDouble(result, params.GetDouble(0, x) ? std::sqrt(x) : 0.0);
}

void CallSleep(CAddIn&, CallParams& params, VARIANT*) {
  long ms = 0;
  // A negative number would be INFINITE (or close to it) to the system: no wait at all.
  if (params.GetLong(0, ms) && ms > 0) Sleep(DWORD(ms));
}

void CallChooseColor(CAddIn&, CallParams& params, VARIANT* result) {
  long initial = 0;
  if (!params.GetLong(0, initial)) {
    SetResultLong(result, -1);
    return;
  }
  COLORREF custom[16];
  std::memcpy(custom, kCustomColours, sizeof custom);
  CHOOSECOLORW choose = {};
  choose.lStructSize = sizeof choose;
  choose.rgbResult = COLORREF(initial);
  choose.lpCustColors = custom;
  choose.Flags = CC_RGBINIT;
  SetResultLong(result, ChooseColorW(&choose) ? long(choose.rgbResult) : -1);
}

void CallWinSetClipboard(CAddIn&, CallParams& params, VARIANT*) {
  // A number is copied as its text; a missing parameter copies nothing.
  std::wstring text;
  if (!params.GetText(0, text)) return;
  size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!memory) return;
  void* data = GlobalLock(memory);
  if (!data) {
    GlobalFree(memory);
    return;
  }
  std::memcpy(data, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!OpenClipboard(nullptr)) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  // The clipboard owns the memory once it takes it.
  if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  CloseClipboard();
}
