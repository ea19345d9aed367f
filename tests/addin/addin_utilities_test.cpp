// The GUID methods and the small utilities through the host emulator: codes and bytes of
// GUIDs, version, square root, sleep, help, the clipboard and the colour dialog.
#include <algorithm>
#include <cmath>
#include <cwchar>
#include <thread>

#include "addin_fixture.h"

namespace {
enum {
  kSetClipboard = 52, kGuidFromCode = 70, kGuidGetCode = 71, kVersion = 72, kHelp = 73, kGuidGetSub = 74,
  kSqrt = 81, kSleep = 82, kCreateGuid = 83, kChooseColor = 84,
};

class Utilities : public AddInTest {
 public:
  using AddInTest::CallFunc;
  using AddInTest::CallProc;

 protected:
  Variant Func(long method, std::vector<Variant> args) {
    Variant result;
    EXPECT_EQ(S_OK, CallFunc(method, std::move(args), result));
    return result;
  }
  std::wstring Text(long method, std::vector<Variant> args) {
    Variant result = Func(method, std::move(args));
    EXPECT_EQ(VT_BSTR, result.Type());
    return result.String();
  }
  std::wstring Code(const std::wstring& guid) { return Text(kGuidGetCode, {Variant(guid)}); }
  std::wstring FromCode(const std::wstring& code) { return Text(kGuidFromCode, {Variant(code)}); }
  std::wstring Sub(const std::wstring& guid, Variant index, Variant value) {
    return Text(kGuidGetSub, {Variant(guid), index, value});
  }
};

TEST_F(Utilities, GuidCodesRoundTripByteForByte) {
  const struct {
    const wchar_t* guid;
    std::wstring code;
  } cases[] = {
      // memory order: the first three fields little-endian
      {L"01020304-0506-0708-090A-0B0C0D0E0F10",
       std::wstring(L"\x04\x03\x02\x01\x06\x05\x08\x07\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10")},
      // bytes of 128 and above are U+0400 to U+047F
      {L"4443C180-4645-4847-FF49-4A4B4C4D4E4F", L"\x0400\x0441" L"CDEFGH\x047FIJKLMNO"},
      // the third byte is 00: a two-character code, and back with every later byte zero
      {L"00004241-0000-0000-0000-000000000000", L"AB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.guid);
    EXPECT_EQ(c.code, Code(c.guid));
    EXPECT_EQ(c.guid, FromCode(c.code));
  }
  // A GUID with bytes after the first zero keeps only the code up to it.
  EXPECT_EQ(L"AB", Code(L"00004241-0000-0000-0000-000000000007"));
  // Lower case reads too; output is upper case.
  EXPECT_EQ(L"4443C180-4645-4847-FF49-4A4B4C4D4E4F", FromCode(Code(L"4443c180-4645-4847-ff49-4a4b4c4d4e4f")));
  // Longer than 16 characters: the first 16 are taken.
  EXPECT_EQ(L"44434241-4645-4847-494A-4B4C4D4E4F50", FromCode(L"ABCDEFGHIJKLMNOPQRS"));
  EXPECT_EQ(L"00000000-0000-0000-0000-000000000000", FromCode(L""));
}

TEST_F(Utilities, GuidCodesOfOtherCharactersUseTheWideForm) {
  // A character outside both ranges: FF FF, then the code's first character seven times.
  EXPECT_EQ(L"20ACFFFF-20AC-20AC-AC20-AC20AC20AC20", FromCode(L"\x20AC" L"AB"));
  EXPECT_EQ(L"0041FFFF-0041-0041-4100-410041004100", FromCode(L"A\x20AC"));
  EXPECT_EQ(std::wstring(7, L'\x20AC'), Code(L"20ACFFFF-20AC-20AC-AC20-AC20AC20AC20"));
  // The wide form ends at its first zero character.
  EXPECT_EQ(L"\x10D0z", Code(L"10D0FFFF-007A-0000-0000-000000000000"));
}

TEST_F(Utilities, GuidMethodsRefuseWhatIsNoGuidText) {
  EXPECT_EQ(L"", Code(L"44434241-4645-4847-494A-4B4C4D4E4F5"));  // 35 characters
  EXPECT_EQ(L"", Text(kGuidGetCode, {Variant(5L)}));
  EXPECT_EQ(L"", Text(kGuidFromCode, {Variant(5L)}));
  EXPECT_EQ(L"", Text(kGuidGetSub, {Variant(5L), Variant(0L), Variant(1L)}));
  EXPECT_EQ(L"", Text(kGuidGetCode, {}));
}

TEST_F(Utilities, GuidGetSubSetsOneByteOfTheMemoryForm) {
  const std::wstring zero = L"00000000-0000-0000-0000-000000000000";
  const std::wstring base = L"01020304-0506-0708-090A-0B0C0D0E0F10";
  const struct {
    Variant index, value;
    const wchar_t* expected;
  } cases[] = {
      {Variant(0L), Variant(0xABL), L"010203AB-0506-0708-090A-0B0C0D0E0F10"},
      {Variant(17L), Variant(0xABL), L"0102AB04-0506-0708-090A-0B0C0D0E0F10"},  // byte 1
      {Variant(4L), Variant(300L), L"01020304-052C-0708-090A-0B0C0D0E0F10"},   // 300 stores 44
      {Variant(15L), Variant(-1L), L"01020304-0506-0708-090A-0B0C0D0E0FFF"},
      // negative indexes count from the end, inside the 16 bytes
      {Variant(-1L), Variant(0xABL), L"01020304-0506-0708-090A-0B0C0D0E0FAB"},
      {Variant(-17L), Variant(0xABL), L"01020304-0506-0708-090A-0B0C0D0E0FAB"},
      {Variant(-16L), Variant(0xABL), L"010203AB-0506-0708-090A-0B0C0D0E0F10"},
      {Variant(long(0x80000000UL)), Variant(0xABL), L"010203AB-0506-0708-090A-0B0C0D0E0F10"},
      // parameters that are not numbers count as 0
      {Variant(L"5"), Variant(0xABL), L"010203AB-0506-0708-090A-0B0C0D0E0F10"},
      {Variant(8L), Variant(2.0), L"01020304-0506-0708-000A-0B0C0D0E0F10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index.Text() + L" " + c.value.Text());
    EXPECT_EQ(c.expected, Sub(base, c.index, c.value));
  }
  // Text that is no GUID starts from zeros.
  EXPECT_EQ(L"00000000-0000-0000-0000-000000000007", Sub(L"not a guid", Variant(15L), Variant(7L)));
  EXPECT_EQ(L"00000000-0000-0000-0000-000000000007", Sub(zero, Variant(15L), Variant(7L)));
}

TEST_F(Utilities, CreateGuidGivesNewUpperCaseIdentifiers) {
  std::wstring a = Text(kCreateGuid, {}), b = Text(kCreateGuid, {});
  ASSERT_EQ(36u, a.size());
  EXPECT_NE(a, b);
  EXPECT_NE(L"00000000-0000-0000-0000-000000000000", a);
  for (size_t i = 0; i < a.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) EXPECT_EQ(L'-', a[i]);
    else EXPECT_TRUE(iswxdigit(a[i]) && !iswlower(a[i])) << i;
  }
  EXPECT_EQ(a, Sub(a, Variant(3L), Variant(long(std::wcstoul(a.substr(0, 2).c_str(), nullptr, 16)))));
}

TEST_F(Utilities, VersionAndSquareRoot) {
  EXPECT_EQ(L"1.62.0.0", Text(kVersion, {}));
  const struct {
    Variant x;
    double root;
  } cases[] = {{Variant(2.25), 1.5}, {Variant(16L), 4.0}, {Variant(0L), 0.0}, {Variant(L"16"), 0.0}, {Variant(), 0.0}};
  for (const auto& c : cases) {
    Variant result = Func(kSqrt, {c.x});
    ASSERT_EQ(VT_R8, result.Type()) << std::string(c.x.Text().begin(), c.x.Text().end());
    EXPECT_DOUBLE_EQ(c.root, V_R8(result.Get()));
  }
}

DWORD TimedSleep(Utilities& test, Variant ms) {
  DWORD start = GetTickCount();
  EXPECT_EQ(S_OK, test.CallProc(kSleep, {ms}));
  return GetTickCount() - start;
}

TEST_F(Utilities, SleepBlocksAboutAsLongAsAskedAndNeverForEver) {
  DWORD slept = TimedSleep(*this, Variant(400L));
  EXPECT_GE(slept, 380u);
  EXPECT_LT(slept, 3000u);
  // -1 would be INFINITE to the system.
  EXPECT_LT(TimedSleep(*this, Variant(-1L)), 200u);
  EXPECT_LT(TimedSleep(*this, Variant(-400L)), 200u);
  EXPECT_LT(TimedSleep(*this, Variant(L"400")), 200u);
}

TEST_F(Utilities, HelpAnswersZeroWithAMissingFile) {
  DWORD start = GetTickCount();
  Variant result = Func(kHelp, {Variant(ExeDir() + L"no-such-help.chm"), Variant(0L)});
  EXPECT_TRUE(result.IsLong());
  EXPECT_EQ(0, result.Long());
  EXPECT_EQ(0, Func(kHelp, {Variant(3L), Variant(L"x")}).Long());
  EXPECT_LT(GetTickCount() - start, 10000u);
}

std::wstring ClipboardText() {
  std::wstring text = L"(no text)";
  if (!OpenClipboard(nullptr)) return L"(clipboard not open)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

TEST_F(Utilities, ClipboardReceivesTheTextAndNumbersAsText) {
  ASSERT_EQ(S_OK, CallProc(kSetClipboard, {Variant(L"Заказ №15, \"Агент 1\"")}));
  EXPECT_EQ(L"Заказ №15, \"Агент 1\"", ClipboardText());
  ASSERT_EQ(S_OK, CallProc(kSetClipboard, {Variant(42L)}));
  EXPECT_EQ(L"42", ClipboardText());
  // Nothing to copy: the clipboard keeps what it had.
  ASSERT_EQ(S_OK, CallProc(kSetClipboard, {}));
  EXPECT_EQ(L"42", ClipboardText());
  ASSERT_EQ(S_OK, CallProc(kSetClipboard, {Variant(L"")}));
  EXPECT_EQ(L"", ClipboardText());
}

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[32] = L"";
  GetClassNameW(window, cls, 32);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window) && wcscmp(cls, L"#32770") == 0) {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

// How many pixels of the dialog's client area show each of the colours.
std::vector<int> CountColours(HWND dialog, const std::vector<COLORREF>& colours) {
  RECT r;
  GetClientRect(dialog, &r);
  int w = r.right, h = r.bottom;
  std::vector<int> counts(colours.size(), 0);
  HDC dc = GetDC(dialog);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; i < w * h; ++i) {
      DWORD p = pixels[i] & 0xFFFFFF;  // 0x00RRGGBB
      COLORREF c = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
      for (size_t k = 0; k < colours.size(); ++k)
        if (colours[k] == c) ++counts[k];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(dialog, dc);
  return counts;
}

// Calls ChooseColor(initial) while a second thread finds the dialog, counts the custom
// colours on it and presses `button`.
long ChooseColorPressing(Utilities& test, long initial, int button, std::vector<int>* counts) {
  const std::vector<COLORREF> custom = {0xF41A1F, 0xFFD5FF, 0xFFFF00, 0xFF3737, 0xFFA4A4, 0x00C000,
                                        0x89E600, 0xCAFF5F, 0x48F1FF, 0x8AF7FF, 0x95D8FF, 0xD8D8D8,
                                        0x467977, 0x6DABA8, 0xA9A970, 0xAA00AA};
  bool found = false;
  std::thread driver([&] {
    HWND dialog = nullptr;
    for (int i = 0; i < 200 && !dialog; ++i) {
      EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
      if (!dialog) Sleep(100);
    }
    if (!dialog) return;
    found = true;
    // Counted once the dialog has painted; a few tries while it is still drawing.
    for (int i = 0; i < 20; ++i) {
      Sleep(200);
      *counts = CountColours(dialog, custom);
      if (std::count(counts->begin(), counts->end(), 0) == 0) break;
    }
    PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  });
  Variant result;
  EXPECT_EQ(S_OK, test.CallFunc(kChooseColor, {Variant(initial)}, result));
  driver.join();
  EXPECT_TRUE(found) << "no colour dialog showed up";
  EXPECT_TRUE(result.IsLong());
  return result.Long();
}

TEST_F(Utilities, ChooseColorShowsTheCustomColoursAndAnswersTheChoice) {
  std::vector<int> counts;
  EXPECT_EQ(0x3070B0, ChooseColorPressing(*this, 0x3070B0, IDOK, &counts));
  ASSERT_EQ(16u, counts.size());
  for (size_t k = 0; k < counts.size(); ++k) EXPECT_GE(counts[k], 20) << "custom colour " << k;
  EXPECT_EQ(-1, ChooseColorPressing(*this, 0x3070B0, IDCANCEL, &counts));
  // Not a number: no dialog, -1.
  Variant result;
  ASSERT_EQ(S_OK, CallFunc(kChooseColor, {Variant(L"red")}, result));
  EXPECT_EQ(-1, result.Long());
}
}  // namespace
