// The text log and the code-page converter through the host emulator, on files in a
// scratch folder: the bytes each writes, its result codes and its refusals.
#include <cwchar>

#include "addin_fixture.h"
#include "exchange_folder.h"

namespace {
enum { kConvert = 11, kLogOn = 75, kLogAdd = 76 };

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  CloseHandle(file);
  return bytes;
}

std::string Le(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);
  return bytes;
}
std::string Be(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) bytes += char(c >> 8), bytes += char(c & 0xFF);
  return bytes;
}
const std::string kLeMark = "\xFF\xFE", kBeMark = "\xFE\xFF";
const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет"

std::string Hex(const std::string& bytes) {
  std::string out;
  char part[4];
  for (unsigned char b : bytes) std::snprintf(part, sizeof part, "%02X ", b), out += part;
  return out;
}

class LogAndConvert : public AddInTest {
 protected:
  long Long(long method, std::vector<Variant> args) {
    Variant result;
    EXPECT_EQ(S_OK, CallFunc(method, std::move(args), result));
    EXPECT_TRUE(result.IsLong());
    return result.Long();
  }
  long Convert(const std::wstring& source, Variant sourcePage, const std::wstring& destination, Variant destPage) {
    return Long(kConvert, {Variant(source), sourcePage, Variant(destination), destPage});
  }
  ExchangeFolder folder{L"conv"};
};

TEST_F(LogAndConvert, LogWritesUtf16WithOneMarkAndCrLfLines) {
  EXPECT_EQ(90, Long(kLogAdd, {Variant(L"before LogOn"), Variant(0L)}));
  const std::wstring path = folder.File(L"журнал.log");
  ASSERT_EQ(S_OK, CallProc(kLogOn, {Variant(path)}));
  EXPECT_EQ(0, Long(kLogAdd, {Variant(L"Первая строка"), Variant(0L)}));
  EXPECT_EQ(0, Long(kLogAdd, {Variant(L"two\nparts")}));  // the stamp flag defaults to 0
  EXPECT_EQ(0, Long(kLogAdd, {Variant(42L), Variant(L"1")}));  // a number is its text; a string is no flag
  EXPECT_EQ(kLeMark + Le(L"Первая строка\r\ntwo\r\nparts\r\n42\r\n"), ReadBytes(path));

  // A stamped line: the local time as "dd.mm.yy hh:mm:ss " before the text.
  ASSERT_TRUE(DeleteFileW(path.c_str()));
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  EXPECT_EQ(0, Long(kLogAdd, {Variant(L"stamped"), Variant(1L)}));
  GetLocalTime(&after);
  std::string bytes = ReadBytes(path);
  ASSERT_EQ(kLeMark, bytes.substr(0, 2));  // a new file gets the mark again
  auto stamp = [](const SYSTEMTIME& t) {
    wchar_t text[40];
    std::swprintf(text, 40, L"%02d.%02d.%02d %02d:%02d:%02d stamped\r\n", t.wDay, t.wMonth, t.wYear % 100, t.wHour,
                  t.wMinute, t.wSecond);
    return Le(text);
  };
  std::string line = bytes.substr(2);
  EXPECT_TRUE(line == stamp(before) || line == stamp(after)) << Hex(line);
}

TEST_F(LogAndConvert, LogRefusesWhatItCannotUse) {
  // A path that cannot be opened answers 91; LogOn ignores a number and a path too long.
  ASSERT_EQ(S_OK, CallProc(kLogOn, {Variant(folder.File(L"missing\\folder\\x.log"))}));
  EXPECT_EQ(91, Long(kLogAdd, {Variant(L"x"), Variant(0L)}));
  const std::wstring path = folder.File(L"ok.log");
  ASSERT_EQ(S_OK, CallProc(kLogOn, {Variant(path)}));
  ASSERT_EQ(S_OK, CallProc(kLogOn, {Variant(5L)}));
  ASSERT_EQ(S_OK, CallProc(kLogOn, {Variant(folder.File(std::wstring(260, L'a')))}));
  EXPECT_EQ(0, Long(kLogAdd, {Variant(L"kept"), Variant(0L)}));
  // No text at all writes nothing.
  EXPECT_EQ(111, Long(kLogAdd, {Variant(), Variant(0L)}));
  EXPECT_EQ(kLeMark + Le(L"kept\r\n"), ReadBytes(path));
}

TEST_F(LogAndConvert, ConvertsBetweenNarrowTextAndUtf16) {
  const std::wstring privet = L"Привет";
  const struct {
    const char* name;
    std::string source;
    Variant sourcePage;
    long destPage;
    long result;
    std::string destination;
  } cases[] = {
      {"1251 to LE", kPrivet1251, Variant(1251L), 1200, 1, kLeMark + Le(privet)},
      {"1251 to BE", kPrivet1251, Variant(1251L), 1201, 1, kBeMark + Be(privet)},
      {"LE with mark to 1251", kLeMark + Le(privet), Variant(1200L), 1251, 1, kPrivet1251},
      {"BE with mark to 1251", kBeMark + Be(privet), Variant(1251L), 1251, 1, kPrivet1251},
      {"BE with mark to UTF-8", kBeMark + Be(privet), Variant(1251L), 65001, 1, u8"Привет"},
      // without a mark the code page says UTF-16, and every character is kept
      {"LE without mark", Le(privet), Variant(1200L), 1251, 1, kPrivet1251},
      {"BE without mark", Be(privet), Variant(1201L), 1251, 1, kPrivet1251},
      {"page as text", kPrivet1251, Variant(L"1251"), 1200, 1, kLeMark + Le(privet)},
      {"empty narrow", "", Variant(1251L), 1200, 1, kLeMark},
      // refused pairs leave an empty destination
      {"LE to LE", kLeMark + Le(privet), Variant(1200L), 1200, 0, ""},
      {"LE to BE", kLeMark + Le(privet), Variant(1251L), 1201, 0, ""},
      {"1251 to 1251", kPrivet1251, Variant(1251L), 1251, 0, ""},
      // half a character at the end does not convert
      {"odd byte", kLeMark + Le(privet) + "\x41", Variant(1200L), 1251, 0, kPrivet1251},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(folder.Write(L"in.txt", c.source));
    folder.Remove(L"out.txt");
    EXPECT_EQ(c.result, Convert(folder.File(L"in.txt"), c.sourcePage, folder.File(L"out.txt"), Variant(c.destPage)));
    EXPECT_EQ(Hex(c.destination), Hex(ReadBytes(folder.File(L"out.txt"))));
  }
}

TEST_F(LogAndConvert, GeorgianMappingOfEveryLetterAndTheFourThatStay) {
  std::string source;
  for (int b = 0xC0; b <= 0xE4; ++b) source += char(b);  // U+0410 to U+0434 in 1251
  source += "A1";
  std::wstring expected = L"\x10D0\x10D1\x10D2\x10D3\x10D4\x10D5\x10D6" L"З"                  // А..Ж, З
                          L"\x10D7\x10D8\x10D9\x10DA\x10DB\x10DC" L"О"                         // И..Н, О
                          L"\x10DD\x10DE\x10DF\x10E0\x10E1\x10E2" L"Х"                         // П..Ф, Х
                          L"\x10E3\x10E4\x10E5\x10E6\x10E7\x10E8\x10E9\x10EA\x10EB\x10EC"      // Ц..Я
                          L"\x10ED\x10EE" L"в" L"\x10EF\x10F0" L"A1";                           // а б в г д
  ASSERT_TRUE(folder.Write(L"ge.txt", source));
  for (const wchar_t* page : {L"GE", L"ge-1251", L"Georgian"}) {
    folder.Remove(L"ge.out");
    EXPECT_EQ(1, Convert(folder.File(L"ge.txt"), Variant(page), folder.File(L"ge.out"), Variant(1200L)));
    EXPECT_EQ(Hex(kLeMark + Le(expected)), Hex(ReadBytes(folder.File(L"ge.out"))));
  }
  // Without the mapping the same bytes are plain Cyrillic.
  EXPECT_EQ(1, Convert(folder.File(L"ge.txt"), Variant(1251L), folder.File(L"ge.out"), Variant(1200L)));
  std::wstring cyrillic(source.size(), L'\0');
  MultiByteToWideChar(1251, 0, source.data(), int(source.size()), &cyrillic[0], int(cyrillic.size()));
  EXPECT_EQ(Hex(kLeMark + Le(cyrillic)), Hex(ReadBytes(folder.File(L"ge.out"))));
}

TEST_F(LogAndConvert, DestinationFolderAndRefusedParameters) {
  ASSERT_TRUE(folder.Write(L"src\\данные.txt", kPrivet1251));
  ASSERT_TRUE(folder.Write(L"dst\\keep", ""));
  EXPECT_EQ(1, Convert(folder.File(L"src\\данные.txt"), Variant(1251L), folder.File(L"dst"), Variant(1201L)));
  EXPECT_EQ(Hex(kBeMark + Be(L"Привет")), Hex(ReadBytes(folder.File(L"dst\\данные.txt"))));
  EXPECT_EQ(1, Convert(folder.File(L"src\\данные.txt"), Variant(1251L), folder.File(L"dst\\"), Variant(1200L)));
  EXPECT_EQ(Hex(kLeMark + Le(L"Привет")), Hex(ReadBytes(folder.File(L"dst\\данные.txt"))));

  const std::wstring src = folder.File(L"src\\данные.txt"), out = folder.File(L"refused.txt");
  EXPECT_EQ(0, Convert(folder.File(L"src\\none.txt"), Variant(1251L), out, Variant(1200L)));
  EXPECT_EQ(0, Convert(folder.File(L"src"), Variant(1251L), out, Variant(1200L)));
  EXPECT_EQ(0, Convert(src, Variant(0L), out, Variant(1200L)));
  EXPECT_EQ(0, Convert(src, Variant(1251L), out, Variant(0L)));
  EXPECT_EQ(0, Convert(src, Variant(L"cp1251"), out, Variant(1200L)));
  EXPECT_EQ(0, Convert(src, Variant(1251L), L"", Variant(1200L)));
  EXPECT_EQ(0, Long(kConvert, {Variant(5L), Variant(1251L), Variant(out), Variant(1200L)}));
  EXPECT_EQ(0, Long(kConvert, {Variant(src), Variant(1251L), Variant(out), Variant(L"1200")}));
  EXPECT_EQ("(missing)", ReadBytes(out));
}

TEST_F(LogAndConvert, CharactersSplitAcrossBlocksStayWhole) {
  // Narrow sources are read 128 bytes at a time: a two-byte character at bytes 127 and 128.
  const struct {
    const char* name;
    long page;
    std::string character;
    wchar_t expected;
  } cases[] = {
      {"Shift-JIS", 932, "\x82\xA0", L'\x3042'},
      {"GBK", 936, "\xC4\xE3", L'\x4F60'},
      {"UTF-8", 65001, "\xD0\x96", L'Ж'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(folder.Write(L"mb.txt", std::string(127, 'a') + c.character + "b"));
    EXPECT_EQ(1, Convert(folder.File(L"mb.txt"), Variant(c.page), folder.File(L"mb.out"), Variant(1200L)));
    EXPECT_EQ(Hex(kLeMark + Le(std::wstring(127, L'a') + c.expected + L"b")), Hex(ReadBytes(folder.File(L"mb.out"))));
  }
  // UTF-16 sources are read 256 bytes at a time: a surrogate pair across the boundary.
  std::wstring wide = std::wstring(127, L'x') + L"\xD83D\xDE00" + L"y";
  ASSERT_TRUE(folder.Write(L"pair.txt", kLeMark + Le(wide)));
  EXPECT_EQ(1, Convert(folder.File(L"pair.txt"), Variant(1200L), folder.File(L"pair.out"), Variant(65001L)));
  EXPECT_EQ(std::string(127, 'x') + "\xF0\x9F\x98\x80y", ReadBytes(folder.File(L"pair.out")));
}

TEST_F(LogAndConvert, ConversionFailingPartWayAnswersZero) {
  // The first block converts and is written; a lone surrogate in the second cannot be UTF-8.
  std::wstring wide = std::wstring(200, L'x') + L"\xDC00" + L"y";
  ASSERT_TRUE(folder.Write(L"bad.txt", kLeMark + Le(wide)));
  EXPECT_EQ(0, Convert(folder.File(L"bad.txt"), Variant(1200L), folder.File(L"bad.out"), Variant(65001L)));
  EXPECT_EQ(std::string(128, 'x'), ReadBytes(folder.File(L"bad.out")));
  // Bytes that are no UTF-8, after a first good block.
  ASSERT_TRUE(folder.Write(L"bad8.txt", std::string(200, 'a') + "\xFF\xFE\xFD"));
  EXPECT_EQ(0, Convert(folder.File(L"bad8.txt"), Variant(65001L), folder.File(L"bad8.out"), Variant(1200L)));
  EXPECT_EQ(Hex(kLeMark + Le(std::wstring(128, L'a'))), Hex(ReadBytes(folder.File(L"bad8.out"))));
}
}  // namespace
