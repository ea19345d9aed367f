// The handheld methods against the device emulator (tools/rapi), which the test puts on the
// PATH before the component loads, with its configuration in a scratch folder: connection,
// copies both ways, files, programs, the device registry, version, windows, guest-only mode,
// a connection that drops mid-copy, and the progress window.
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "activesync/copy_progress.h"
#include "addin_fixture.h"
#include "device_windows.h"
#include "exchange_folder.h"

namespace {
enum {
  kPut = 5, kGet = 6, kDelete = 7, kExists = 8, kGuestOnly = 10, kBufferSize = 12, kExecute = 13, kInit = 14,
  kUninit = 15, kRegQuery = 16, kRegSet = 17, kVersion = 18, kFindWindow = 19
};
enum { kPropWindowVisible = 2, kPropInited = 3 };

// The emulator's folder first on the PATH, before any component is loaded.
class EmulatorOnPath : public ::testing::Environment {
 public:
  void SetUp() override {
    std::wstring dir = ExeDir();
    for (const char* p = VELORA_RAPI_DIR; *p; ++p) dir += wchar_t(*p);
    for (wchar_t& c : dir)
      if (c == L'/') c = L'\\';
    wchar_t path[32768] = L"";
    GetEnvironmentVariableW(L"PATH", path, 32768);
    SetEnvironmentVariableW(L"PATH", (dir + L";" + path).c_str());
  }
};
const ::testing::Environment* const onPath = ::testing::AddGlobalTestEnvironment(new EmulatorOnPath);

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t x = 2463534242u;
  for (char& b : bytes) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = char(x);
  }
  return bytes;
}

class Device : public AddInTest {
 protected:
  // The configuration is written before the component (and with it rapi.dll) loads.
  void SetUp() override {
    Configure("");
    AddInTest::SetUp();
  }
  void Configure(const std::string& extra) {
    ASSERT_TRUE(dir.Write(L"rapi.ini", "[Device]\r\nRoot=device\r\n" + device + extra));
    SetEnvironmentVariableW(L"VELORA_RAPI_CONFIG", dir.File(L"rapi.ini").c_str());
  }
  void Connect() { ASSERT_EQ(0, Func(kInit, {})); }
  long Put(const std::wstring& pc, const std::wstring& onDevice) { return Func(kPut, {Variant(pc), Variant(onDevice)}); }
  long Get(const std::wstring& onDevice, const std::wstring& pc) { return Func(kGet, {Variant(onDevice), Variant(pc)}); }
  // The PC file behind a device path below the root.
  std::wstring OnDevice(const std::wstring& relative) { return dir.File(L"device\\" + relative); }
  std::string Log() { return dir.Read(L"rapi.log"); }
  void HideCopyWindow() { ASSERT_EQ(S_OK, component.SetProp(kPropWindowVisible, Variant(0L))); }
  Variant Query(const Variant& root, const Variant& key, const Variant& name) {
    Variant result;
    EXPECT_EQ(S_OK, CallFunc(kRegQuery, {root, key, name}, result));
    return result;
  }

  ExchangeFolder dir{L"rapi"};
  std::string device = u8"Windows=HHTaskBar; Агент.Обмен\r\nMajor=5\r\nMinor=2\r\nPlatform=3\r\nServicePack=Build 1236\r\n";
};

TEST_F(Device, NothingWorksUntilTheConnectionIsInitialised) {
  ASSERT_TRUE(dir.Write(L"pc.txt", "x"));
  Variant inited;
  ASSERT_EQ(S_OK, component.GetProp(kPropInited, inited));
  EXPECT_EQ(0, inited.Long());
  EXPECT_EQ(3, Put(dir.File(L"pc.txt"), L"\\a.txt"));
  EXPECT_EQ(3, Get(L"\\a.txt", dir.File(L"b.txt")));
  EXPECT_EQ(3, Func(kDelete, {Variant(L"\\a.txt")}));
  EXPECT_EQ(3, Func(kExists, {Variant(L"\\a.txt")}));
  EXPECT_EQ(3, Func(kExecute, {Variant(L"\\Windows\\a.exe"), Variant(L"")}));
  EXPECT_EQ(3, Func(kFindWindow, {Variant(L"HHTaskBar")}));
  EXPECT_EQ(100, Func(kUninit, {}));

  EXPECT_EQ(0, Func(kInit, {}));
  ASSERT_EQ(S_OK, component.GetProp(kPropInited, inited));
  EXPECT_EQ(1, inited.Long());
  EXPECT_EQ(0, Func(kInit, {})) << "already initialised";
  EXPECT_EQ(0, Func(kUninit, {}));
  EXPECT_EQ(100, Func(kUninit, {}));
  ASSERT_EQ(S_OK, component.GetProp(kPropInited, inited));
  EXPECT_EQ(0, inited.Long());
}

TEST_F(Device, AConnectionThatNeverComesUpFailsAfterFiveSecondsAndALaterOneWorks) {
  Configure("[Connection]\r\nState=never\r\n");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(3, Func(kInit, {}));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 4.8);
  EXPECT_LT(seconds, 9.0);
  Configure("[Connection]\r\nState=fail\r\n");
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(3, Func(kInit, {})) << "the device reports a failure";
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
  // The failed requests were let go, so the library accepts a new one.
  Configure("");
  EXPECT_EQ(0, Func(kInit, {}));
}

TEST_F(Device, FilesCopyByteForByteBothWays) {
  const std::string big = Pattern(3 * 1024 * 1024 + 17);
  ASSERT_TRUE(dir.Write(L"big.bin", big));
  ASSERT_TRUE(dir.Write(L"empty.bin", ""));
  ASSERT_TRUE(dir.Write(L"back\\keep.txt", "k"));
  Connect();
  // Into a device folder: the file keeps its name there.
  EXPECT_EQ(0, Put(dir.File(L"big.bin"), L"\\My Documents"));
  EXPECT_EQ(big, dir.Read(L"device\\My Documents\\big.bin"));
  EXPECT_EQ(0, Put(dir.File(L"empty.bin"), L"\\My Documents\\"));
  EXPECT_TRUE(dir.Exists(L"device\\My Documents\\empty.bin"));
  EXPECT_EQ(0, Put(dir.File(L"big.bin"), L"\\Копия.bin"));
  EXPECT_EQ(big, dir.Read(L"device\\Копия.bin"));

  // Back to the PC: into a folder, and under a name of its own.
  EXPECT_EQ(0, Get(L"\\Копия.bin", dir.File(L"back")));
  EXPECT_EQ(big, dir.Read(L"back\\Копия.bin"));
  EXPECT_EQ(0, Get(L"\\My Documents\\empty.bin", dir.File(L"back\\empty-copy.bin")));
  EXPECT_TRUE(dir.Exists(L"back\\empty-copy.bin"));
  EXPECT_EQ("", dir.Read(L"back\\empty-copy.bin"));
  HideCopyWindow();
  EXPECT_EQ(0, Get(L"/My Documents/big.bin", dir.File(L"back\\big.bin")));
  EXPECT_EQ(big, dir.Read(L"back\\big.bin"));
}

TEST_F(Device, CopyFailuresAnswerTheirCodes) {
  ASSERT_TRUE(dir.Write(L"a.txt", "abc"));
  ASSERT_TRUE(dir.Write(L"device\\My Documents\\d.txt", "def"));
  HideCopyWindow();
  Connect();
  struct Case {
    const char* what;
    long method;
    std::wstring source, destination;
    long code;
  } cases[] = {
      {"missing PC source", kPut, dir.File(L"none.txt"), L"\\x.txt", 1},
      {"PC folder as source", kPut, dir.Path(), L"\\x.txt", 2},
      {"device folder missing", kPut, dir.File(L"a.txt"), L"\\No such\\x.txt", 5},
      {"device path climbing out", kPut, dir.File(L"a.txt"), L"\\..\\x.txt", 5},
      {"device path too long", kPut, dir.File(L"a.txt"), L"\\" + std::wstring(300, L'n'), 5},
      {"missing device source", kGet, L"\\none.txt", dir.File(L"x.txt"), 1},
      {"device folder as source", kGet, L"\\My Documents", dir.File(L"x.txt"), 2},
      {"PC folder missing", kGet, L"\\My Documents\\d.txt", dir.File(L"no such\\x.txt"), 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.code, Func(c.method, {Variant(c.source), Variant(c.destination)})) << c.what;
  EXPECT_FALSE(dir.Exists(L"x.txt"));
  EXPECT_EQ(111, Func(kPut, {Variant(1L), Variant(L"\\x.txt")}));

  // A PC source that another program holds exclusively cannot be opened.
  HANDLE held = CreateFileW(dir.File(L"a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_EQ(4, Put(dir.File(L"a.txt"), L"\\x.txt"));
  CloseHandle(held);
  EXPECT_EQ(0, Put(dir.File(L"a.txt"), L"\\x.txt"));
}

TEST_F(Device, TheBufferSizeChangesOnlyToFourKilobytesOrMore) {
  EXPECT_EQ(131072, Func(kBufferSize, {Variant(1000L)}));
  EXPECT_EQ(131072, Func(kBufferSize, {Variant(L"65536")}));
  EXPECT_EQ(131072, Func(kBufferSize, {Variant(65536L)}));
  EXPECT_EQ(65536, Func(kBufferSize, {Variant(-5L)}));
  ASSERT_TRUE(dir.Write(L"blocks.bin", Pattern(200000)));
  HideCopyWindow();
  Connect();
  ASSERT_EQ(0, Put(dir.File(L"blocks.bin"), L"\\blocks.bin"));
  EXPECT_NE(std::string::npos, Log().find("CeCloseHandle \\blocks.bin written 200000 in 4 writes of at most 65536"))
      << Log();
}

TEST_F(Device, DeleteAndExists) {
  ASSERT_TRUE(dir.Write(L"device\\My Documents\\order.txt", "1"));
  ASSERT_TRUE(dir.Write(L"device\\held.txt", "2"));
  Connect();
  EXPECT_EQ(0, Func(kExists, {Variant(L"\\My Documents\\order.txt")}));
  EXPECT_EQ(0, Func(kExists, {Variant(L"\\my documents\\ORDER.TXT")}));
  EXPECT_EQ(100, Func(kExists, {Variant(L"\\My Documents\\none.txt")}));
  HANDLE held = CreateFileW(OnDevice(L"held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_EQ(99, Func(kExists, {Variant(L"\\held.txt")})) << "there, but cannot be opened";
  CloseHandle(held);
  EXPECT_EQ(0, Func(kDelete, {Variant(L"\\My Documents\\order.txt")}));
  EXPECT_FALSE(dir.Exists(L"device\\My Documents\\order.txt"));
  EXPECT_EQ(100, Func(kExists, {Variant(L"\\My Documents\\order.txt")}));
  EXPECT_EQ(100, Func(kDelete, {Variant(L"\\My Documents\\order.txt")}));
  EXPECT_EQ(111, Func(kDelete, {Variant(3L)}));
}

TEST_F(Device, ExecuteStartsAProgramOrShowsTheDevicesError) {
  ASSERT_TRUE(dir.Write(L"device\\Windows\\agent.exe", "MZ"));
  Connect();
  EXPECT_EQ(0, Func(kExecute, {Variant(L"\\Windows\\agent.exe"), Variant(L"/sync \"Агент 1\"")}));
  EXPECT_NE(std::string::npos, Log().find("CeCreateProcess \\Windows\\agent.exe | /sync \"\xD0\x90\xD0\xB3\xD0\xB5\xD0\xBD\xD1\x82 1\""))
      << Log();
  MessageBoxPresser box;
  EXPECT_EQ(100, Func(kExecute, {Variant(L"\\Windows\\none.exe"), Variant(L"")}));
  box.Join();
  ASSERT_TRUE(box.found);
  EXPECT_EQ(L"Failed run application on Pocket PC device! Errorcode = 2\n", box.text);
  EXPECT_EQ(nullptr, box.owner) << "no property page, no owner";
}

// With the property page open, the message box belongs to the page's top-level window.
TEST_F(Device, MessageBoxesAreOwnedByThePropertyPage) {
  HWND frame = CreateWindowExW(0, L"STATIC", L"1C", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, frame);
  IPropertyPage* page = nullptr;
  ASSERT_EQ(S_OK, Ext()->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page)));
  RECT rect = {0, 0, 400, 300};
  ASSERT_EQ(S_OK, page->Activate(frame, &rect, FALSE));
  Connect();
  MessageBoxPresser box;
  EXPECT_EQ(100, Func(kExecute, {Variant(L"\\none.exe"), Variant(L"")}));
  box.Join();
  ASSERT_TRUE(box.found);
  EXPECT_EQ(frame, box.owner);
  page->Deactivate();
  page->Release();
  DestroyWindow(frame);
}

TEST_F(Device, RegistryValuesAreReadAndWritten) {
  std::string unterminated = "\"Full\"=hex(1):";
  for (int i = 0; i < 512; ++i) unterminated += i ? ",41,00" : "41,00";
  std::string tooLong = "\"TooLong\"=hex(1):";
  for (int i = 0; i < 600; ++i) tooLong += i ? ",42,00" : "42,00";
  ASSERT_TRUE(dir.Write(L"device\\registry.txt",
                        u8"[HKEY_LOCAL_MACHINE\\Software\\Velora]\r\n\"Agent\"=\"Иванов \\\"1\\\"\"\r\n"
                        "\"Count\"=dword:0000002a\r\n\"Blob\"=hex:01,02,03\r\n\"Cut\"=hex(1):41,00,42,00\r\n" +
                            unterminated + "\r\n" + tooLong + "\r\n"));
  const Variant hklm(L"HKEY_LOCAL_MACHINE"), key(L"Software\\Velora");
  EXPECT_EQ(L"", Query(hklm, key, Variant(L"Agent")).String()) << "nothing before the connection";
  Connect();
  EXPECT_EQ(L"Иванов \"1\"", Query(hklm, key, Variant(L"Agent")).String());
  EXPECT_EQ(L"Иванов \"1\"", Query(Variant(L"hkey_local_machine"), Variant(L"SOFTWARE\\velora"), Variant(L"agent")).String());
  Variant count = Query(hklm, key, Variant(L"Count"));
  ASSERT_TRUE(count.IsLong());
  EXPECT_EQ(42, count.Long());
  struct Empty {
    const char* what;
    Variant root, key, name;
  } empties[] = {
      {"binary value", hklm, key, Variant(L"Blob")},
      {"missing value", hklm, key, Variant(L"None")},
      {"missing key", hklm, Variant(L"Software\\None"), Variant(L"Agent")},
      {"unknown root", Variant(L"HKEY_USERS"), key, Variant(L"Agent")},
      {"value over 1024 bytes", hklm, key, Variant(L"TooLong")},
      {"name no string", hklm, key, Variant(1L)},
  };
  for (const Empty& e : empties) {
    Variant v = Query(e.root, e.key, e.name);
    EXPECT_TRUE(v.IsString()) << e.what;
    EXPECT_EQ(L"", v.String()) << e.what;
  }
  // Strings the device leaves unterminated end with their bytes.
  EXPECT_EQ(L"AB", Query(hklm, key, Variant(L"Cut")).String());
  EXPECT_EQ(std::wstring(512, L'A'), Query(hklm, key, Variant(L"Full")).String());

  const Variant hkcu(L"HKEY_CURRENT_USER"), own(L"Software\\Velora\\Обмен");
  EXPECT_EQ(0, Func(kRegSet, {hkcu, own, Variant(L"Склад"), Variant(L"Основной")}));
  EXPECT_EQ(0, Func(kRegSet, {hkcu, own, Variant(L"Period"), Variant(-7L)}));
  EXPECT_EQ(0, Func(kRegSet, {Variant(L"hkey_classes_root"), Variant(L".vlr"), Variant(L""), Variant(L"Velora")}));
  EXPECT_EQ(L"Основной", Query(hkcu, own, Variant(L"Склад")).String());
  EXPECT_EQ(-7, Query(hkcu, own, Variant(L"Period")).Long());
  EXPECT_EQ(L"Velora", Query(Variant(L"HKEY_CLASSES_ROOT"), Variant(L".vlr"), Variant(L"")).String());
  EXPECT_EQ(100, Func(kRegSet, {Variant(L"HKEY_USERS"), own, Variant(L"x"), Variant(1L)}));
  EXPECT_EQ(100, Func(kRegSet, {hkcu, own, Variant(L"x"), Variant(1.5)}));
  EXPECT_EQ(100, Func(kRegSet, {hkcu, Variant(2L), Variant(L"x"), Variant(1L)}));
  // What was there before stays.
  EXPECT_EQ(42, Query(hklm, key, Variant(L"Count")).Long());
}

TEST_F(Device, VersionIsWrittenIntoTheParameters) {
  std::vector<Variant> args = {Variant(9L), Variant(9L), Variant(9L), Variant(L"old")};
  Variant result;
  ASSERT_EQ(S_OK, component.Call(kVersion, args, result));
  EXPECT_EQ(100, result.Long()) << "no connection: the device does not answer";
  EXPECT_EQ(0, args[0].Long());
  EXPECT_EQ(0, args[2].Long());
  EXPECT_EQ(L"", args[3].String());
  Connect();
  ASSERT_EQ(S_OK, component.Call(kVersion, args, result));
  EXPECT_EQ(0, result.Long());
  EXPECT_EQ(5, args[0].Long());
  EXPECT_EQ(2, args[1].Long());
  EXPECT_EQ(3, args[2].Long());
  EXPECT_EQ(L"Build 1236", args[3].String());
}

TEST_F(Device, AServicePackTextThatFillsItsFieldIsCut) {
  Configure("ServicePack=" + std::string(140, 'S') + "\r\n");
  Connect();
  std::vector<Variant> args = {Variant(), Variant(), Variant(), Variant()};
  Variant result;
  ASSERT_EQ(S_OK, component.Call(kVersion, args, result));
  EXPECT_EQ(0, result.Long());
  EXPECT_EQ(std::wstring(128, L'S'), args[3].String());
}

TEST_F(Device, WindowsAreFoundByClassInAnyCase) {
  Connect();
  EXPECT_EQ(0, Func(kFindWindow, {Variant(L"hhtaskbar")}));
  EXPECT_EQ(0, Func(kFindWindow, {Variant(L"АГЕНТ.обмен")}));
  EXPECT_EQ(57, Func(kFindWindow, {Variant(L"Агент")}));
  EXPECT_EQ(100, Func(kFindWindow, {Variant(5L)}));
}

TEST_F(Device, GuestOnlyIsKeptInThePcRegistry) {
  const wchar_t* key = L"Software\\Microsoft\\Windows CE Services";
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key, L"GuestOnly");
  EXPECT_EQ(100, Func(kGuestOnly, {Variant(-1L)})) << "no value yet";
  EXPECT_EQ(0, Func(kGuestOnly, {Variant(1L)}));
  EXPECT_EQ(1, Func(kGuestOnly, {Variant(-1L)}));
  EXPECT_EQ(100, Func(kGuestOnly, {Variant(2L)}));
  EXPECT_EQ(100, Func(kGuestOnly, {Variant(L"0")}));
  EXPECT_EQ(1, Func(kGuestOnly, {Variant(-1L)})) << "2 and a string touched nothing";
  EXPECT_EQ(0, Func(kGuestOnly, {Variant(0L)}));
  EXPECT_EQ(0, Func(kGuestOnly, {Variant(-1L)}));
  DWORD value = 7, size = sizeof(value);
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, key, L"GuestOnly", RRF_RT_REG_DWORD, nullptr, &value, &size));
  EXPECT_EQ(0u, value);
}

TEST_F(Device, AWriteThatFailsMidCopyIsShownAndEveryHandleIsClosed) {
  Configure("[Connection]\r\nDropAfterBytes=100000\r\n");
  ASSERT_TRUE(dir.Write(L"drop.bin", Pattern(300000)));
  ASSERT_EQ(131072, Func(kBufferSize, {Variant(65536L)}));
  Connect();
  MessageBoxPresser box;
  EXPECT_EQ(6, Put(dir.File(L"drop.bin"), L"\\drop.bin"));
  box.Join();
  ASSERT_TRUE(box.found);
  EXPECT_EQ(L"Ошибка записи файла в КПК. Код ошибки в WinCE: 1F", box.text);
  EXPECT_EQ(nullptr, FindOwnDialog(L"Копирование")) << "the progress window is gone";
  // Both files are free: the PC source and the partly written device file can be deleted.
  EXPECT_TRUE(DeleteFileW(dir.File(L"drop.bin").c_str()));
  EXPECT_EQ(100000u, dir.Read(L"device\\drop.bin").size()) << "the part written is left";
  EXPECT_TRUE(DeleteFileW(OnDevice(L"drop.bin").c_str()));
  EXPECT_NE(std::string::npos, Log().find("CeCloseHandle \\drop.bin written 100000 in 2 writes")) << Log();
  // The dropped connection can be closed and opened again.
  EXPECT_EQ(0, Func(kUninit, {}));
  EXPECT_EQ(0, Func(kInit, {}));
}

TEST_F(Device, TheProgressWindowFollowsASlowCopy) {
  Configure("[Connection]\r\nWriteDelayMs=150\r\n");
  ASSERT_TRUE(dir.Write(L"slow.bin", Pattern(1024 * 1024)));
  ASSERT_EQ(131072, Func(kBufferSize, {Variant(65536L)}));
  Connect();
  ProgressWatcher watcher;
  EXPECT_EQ(0, Put(dir.File(L"slow.bin"), L"\\My Documents"));
  watcher.Stop();
  ASSERT_TRUE(watcher.seen);
  EXPECT_EQ(L"Копирование... (1048576 б.)\nИз: " + dir.File(L"slow.bin") + L"\nВ КПК: \\My Documents\\slow.bin",
            watcher.text);
  // 255 x 46 dialog units.
  EXPECT_GT(watcher.client.cx, 300);
  EXPECT_GT(watcher.client.cy, 50);
  ASSERT_GE(watcher.positions.size(), 4u) << "the bar moved in steps";
  EXPECT_TRUE(std::is_sorted(watcher.positions.begin(), watcher.positions.end()));
  EXPECT_TRUE(std::any_of(watcher.positions.begin(), watcher.positions.end(), [](int p) { return p > 0 && p < 100; }));
  EXPECT_EQ(nullptr, FindOwnDialog(L"Копирование"));
}

// A library without some entry points: those stay unresolved and are never called; the
// methods that need them fail with their codes, the others work.
class MissingEntryPoints : public Device {
 protected:
  void SetUp() override {
    Configure("[Library]\r\nMissing=CeWriteFile, CeGetWindow\r\n");
    AddInTest::SetUp();
  }
};

TEST_F(MissingEntryPoints, AreNeverCalled) {
  HMODULE rapi = GetModuleHandleW(L"rapi.dll");
  ASSERT_NE(nullptr, rapi);
  EXPECT_EQ(nullptr, GetProcAddress(rapi, "CeWriteFile"));
  EXPECT_NE(nullptr, GetProcAddress(rapi, "CeReadFile"));
  ASSERT_TRUE(dir.Write(L"a.txt", "abc"));
  ASSERT_TRUE(dir.Write(L"device\\b.txt", "def"));
  HideCopyWindow();
  Connect();
  EXPECT_EQ(100, Func(kFindWindow, {Variant(L"HHTaskBar")}));
  MessageBoxPresser box;
  EXPECT_EQ(6, Put(dir.File(L"a.txt"), L"\\a.txt"));
  box.Join();
  EXPECT_EQ(L"Ошибка записи файла в КПК. Код ошибки в WinCE: 7F", box.text);
  EXPECT_EQ(0, Get(L"\\b.txt", dir.File(L"b.txt")));
  EXPECT_EQ("def", dir.Read(L"b.txt"));
}

TEST(CopyProgressBar, PositionForAnySize) {
  const std::uint64_t k4G = std::uint64_t(1) << 32;
  struct Case {
    std::uint64_t done, size;
    unsigned percent;
  } cases[] = {
      {0, 0, 100},           {0, 10, 0},
      {5, 10, 50},           {10, 10, 100},
      {11, 10, 100},         {k4G / 2, k4G, 50},           // low 32 bits of the size are 0
      {k4G - 1, k4G, 99},    {k4G, k4G + 131072, 99},
      {3 * k4G, 4 * k4G, 75}, {UINT64_MAX / 2, UINT64_MAX, 49},
      {UINT64_MAX - 1, UINT64_MAX, 99},
  };
  for (const Case& c : cases) EXPECT_EQ(c.percent, CopyPercent(c.done, c.size)) << c.done << " of " << c.size;
}

TEST(CopyProgressText, WholeSizesAndLongPathsAreCut) {
  EXPECT_EQ(L"Копирование... (5368709120 б.)\nИз КПК: \\a.bin\nВ: C:\\a.bin",
            CopyText(5 * (std::uint64_t(1) << 30), L"Из КПК:", L"\\a.bin", L"В:", L"C:\\a.bin"));
  std::wstring text = CopyText(1, L"Из:", std::wstring(5000, L'p'), L"В КПК:", std::wstring(5000, L'd'));
  EXPECT_EQ(kCopyTextMax, text.size());
}
}  // namespace
