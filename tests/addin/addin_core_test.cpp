// The add-in's own parts, linked into the test: its array, registration script, timer,
// parameter reading and the texts it keeps in its fields.
#include <thread>

#include "addin.h"
#include "call_params.h"
#include "map9_link.h"
#include "error_text.h"
#include "my_din_array.h"
#include "registry_script.h"
#include "schedule_list.h"
#include "server_config.h"
#include "server_link.h"

#include "addin_fixture.h"

namespace {
int CompareInts(const void* a, const void* b) {
  int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
  return x < y ? -1 : x > y;
}

TEST(MyDinArrayTest, GrowsRemovesSortsAndSearches) {
  MyDinArray array;
  array.Initialize(2, 3, sizeof(int));
  ASSERT_TRUE(array.Reset());
  EXPECT_EQ(2u, array.Capacity());
  const int values[] = {50, 10, 40, 30, 20, 60};
  for (int v : values) {
    int* slot = static_cast<int*>(array.Add());
    ASSERT_NE(nullptr, slot);
    *slot = v;
  }
  EXPECT_EQ(6u, array.Count());
  EXPECT_EQ(8u, array.Capacity());  // 2, then steps of 3
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(values[i], *static_cast<int*>(array.At(i)));
  EXPECT_EQ(nullptr, array.At(6));
  array.RemoveAt(1);  // 10
  array.RemoveAt(99);
  EXPECT_EQ(5u, array.Count());
  EXPECT_EQ(40, *static_cast<int*>(array.At(1)));
  array.Sort(CompareInts);
  const int sorted[] = {20, 30, 40, 50, 60};
  for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(sorted[i], *static_cast<int*>(array.At(i)));
  int key = 40, absent = 10;
  EXPECT_EQ(array.At(2), array.Search(&key, CompareInts));
  EXPECT_EQ(nullptr, array.Search(&absent, CompareInts));
  array.RemoveAt(4);  // the last one
  EXPECT_EQ(4u, array.Count());
  ASSERT_TRUE(array.Reset());
  EXPECT_EQ(0u, array.Count());
  EXPECT_EQ(2u, array.Capacity());
  EXPECT_EQ(nullptr, array.Search(&key, CompareInts));

  MyDinArray uninitialised;
  EXPECT_FALSE(uninitialised.Reset());
  EXPECT_EQ(nullptr, uninitialised.Add());
}

// The registration script carried by the module, as registration reads it.
std::wstring EmbeddedScript() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(102), L"REGISTRY");
  if (!found) return std::wstring();
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  std::string text(bytes, SizeofResource(nullptr, found));
  return std::wstring(text.begin(), text.end());  // the script is ASCII
}

TEST(RegistryScriptTest, EmbeddedScriptHasTheComponentsKeys) {
  std::wstring script = ExpandRegistryScript(EmbeddedScript(), {{L"MODULE", L"C:\\it's\\VeloraAddIn.dll"}});
  std::vector<RegistryScriptRoot> roots;
  std::wstring error;
  ASSERT_TRUE(ParseRegistryScript(script, roots, error)) << std::string(error.begin(), error.end());
  ASSERT_EQ(1u, roots.size());
  EXPECT_EQ(HKEY_CLASSES_ROOT, roots[0].root);
  const auto& keys = roots[0].keys;
  ASSERT_EQ(3u, keys.size());
  EXPECT_EQ(L"AddIn.AddInObject.1", keys[0].name);
  EXPECT_EQ(L"AddIn.AddInObject", keys[1].name);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(L"AddInObject Class", keys[i].values.at(0).text);
    EXPECT_EQ(L"CLSID", keys[i].subkeys.at(0).name);
    EXPECT_EQ(L"{04024C31-0E7B-11d1-A486-004095E1DAEA}", keys[i].subkeys[0].values.at(0).text);
  }
  EXPECT_TRUE(keys[2].noRemove);
  const RegistryScriptKey& clsid = keys[2].subkeys.at(0);
  EXPECT_TRUE(clsid.forceRemove);
  EXPECT_EQ(L"{04024C31-0E7B-11d1-A486-004095E1DAEA}", clsid.name);
  ASSERT_EQ(3u, clsid.subkeys.size());
  EXPECT_EQ(L"AddIn.AddInObject.1", clsid.subkeys[0].values.at(0).text);
  EXPECT_EQ(L"AddIn.AddInObject", clsid.subkeys[1].values.at(0).text);
  const RegistryScriptKey& server = clsid.subkeys[2];
  EXPECT_EQ(L"InprocServer32", server.name);
  ASSERT_EQ(2u, server.values.size());
  EXPECT_EQ(L"C:\\it's\\VeloraAddIn.dll", server.values[0].text);  // quote survives expansion
  EXPECT_EQ(L"ThreadingModel", server.values[1].name);
  EXPECT_EQ(L"both", server.values[1].text);
}

TEST(RegistryScriptTest, BadScriptsAreRefusedWhole) {
  const wchar_t* bad[] = {
      L"HKXX { a }",
      L"HKCR { a = s 'x' ",
      L"HKCR { a = s 'unterminated }",
      L"HKCR { a = q 'x' }",
      L"HKCR { a = s x }",
      L"HKCR { a = d 'abc' }",
      L"HKCR { a { val = s 'x' } }",
      L"HKCR a",
  };
  for (const wchar_t* script : bad) {
    std::vector<RegistryScriptRoot> roots;
    std::wstring error;
    EXPECT_FALSE(ParseRegistryScript(script, roots, error)) << std::string(script, script + wcslen(script));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(roots.empty());
  }
}

bool KeyExists(const wchar_t* path) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring ValueOf(const wchar_t* path, const wchar_t* name) {
  wchar_t data[256] = {};
  DWORD size = sizeof(data);
  if (RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return L"(none)";
  return data;
}

TEST(RegistryScriptTest, RegistersAndRemovesAsMarked) {
  const wchar_t* base = L"Software\\VeloraRegistryScriptTest";
  std::vector<RegistryScriptRoot> roots;
  std::wstring error;
  ASSERT_TRUE(ParseRegistryScript(
      L"HKCU { NoRemove Software { NoRemove VeloraRegistryScriptTest {\n"
      L"  Kept = s 'kept' { ForceRemove Fresh = s 'new' { val Mode = s 'both' val Size = d '0x20' } }\n"
      L"  Delete Stale\n"
      L"} } }",
      roots, error));
  RegDeleteTreeW(HKEY_CURRENT_USER, base);
  HKEY stale;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VeloraRegistryScriptTest\\Stale", 0, nullptr, 0, KEY_WRITE, nullptr,
                  &stale, nullptr);
  RegCloseKey(stale);
  HKEY junk;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VeloraRegistryScriptTest\\Kept\\Fresh\\Junk", 0, nullptr, 0,
                  KEY_WRITE, nullptr, &junk, nullptr);
  RegCloseKey(junk);

  ASSERT_EQ(S_OK, RegisterScript(roots));
  EXPECT_EQ(L"kept", ValueOf(L"Software\\VeloraRegistryScriptTest\\Kept", nullptr));
  EXPECT_EQ(L"new", ValueOf(L"Software\\VeloraRegistryScriptTest\\Kept\\Fresh", nullptr));
  EXPECT_EQ(L"both", ValueOf(L"Software\\VeloraRegistryScriptTest\\Kept\\Fresh", L"Mode"));
  DWORD size = 0, sizeBytes = sizeof(size);
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, L"Software\\VeloraRegistryScriptTest\\Kept\\Fresh",
                                        L"Size", RRF_RT_REG_DWORD, nullptr, &size, &sizeBytes));
  EXPECT_EQ(0x20u, size);
  EXPECT_FALSE(KeyExists(L"Software\\VeloraRegistryScriptTest\\Kept\\Fresh\\Junk"));  // ForceRemove
  EXPECT_FALSE(KeyExists(L"Software\\VeloraRegistryScriptTest\\Stale"));             // Delete

  ASSERT_EQ(S_OK, UnregisterScript(roots));
  EXPECT_FALSE(KeyExists(L"Software\\VeloraRegistryScriptTest\\Kept"));
  EXPECT_TRUE(KeyExists(base));  // NoRemove
  EXPECT_TRUE(KeyExists(L"Software"));
  EXPECT_EQ(S_OK, UnregisterScript(roots));  // nothing left to remove is no error
  RegDeleteTreeW(HKEY_CURRENT_USER, base);
}

class CountingServerLink : public ServerLink {
 public:
  void Poll() override { ++polls; }
  int polls = 0;
};

class CountingSchedules : public ScheduleList {
 public:
  void Check() override { ++checks; }
  int checks = 0;
};

// The component as 1C holds it, created directly from the linked code.
class CoreAddIn : public ::testing::Test {
 protected:
  void SetUp() override {
    connection = HostConnection::Create(HostOptions());
    addIn = new CAddIn();
    ASSERT_EQ(S_OK, addIn->Init(connection));
  }
  void TearDown() override {
    if (addIn) {
      addIn->Done();
      addIn->Release();
    }
    connection->Release();
  }
  CAddIn* addIn = nullptr;
  HostConnection* connection = nullptr;
};

TEST_F(CoreAddIn, InitSetsTheFieldsAndCurrentAddIn) {
  EXPECT_EQ(addIn, currentAddIn);
  EXPECT_EQ(131072u, addIn->fileBufferSize);
  EXPECT_EQ(TRUE, addIn->copyWindowVisible);
  ASSERT_NE(nullptr, addIn->serverLink);
  ASSERT_NE(nullptr, addIn->schedules);
  ASSERT_NE(nullptr, addIn->map9Link);
  EXPECT_EQ(static_cast<IAsyncEvent*>(connection), addIn->serverLink->asyncEvent);
  EXPECT_EQ(static_cast<IAsyncEvent*>(connection), addIn->schedules->asyncEvent);
  EXPECT_EQ(12u, addIn->zipFiles.ElementSize());
  EXPECT_EQ(8u, addIn->zipFiles.Capacity());
  EXPECT_EQ(376u, addIn->schedules->ElementSize());
  EXPECT_EQ(4u, addIn->schedules->Capacity());

  // A second object becomes current; destroying it makes the first one current again.
  CAddIn* second = new CAddIn();
  EXPECT_EQ(addIn, currentAddIn);
  ASSERT_EQ(S_OK, second->Init(nullptr));
  EXPECT_EQ(second, currentAddIn);
  second->Done();
  second->Release();
  EXPECT_EQ(addIn, currentAddIn);

  // Done hands no released sink on to the companions.
  addIn->Done();
  EXPECT_EQ(nullptr, addIn->serverLink->asyncEvent);
  EXPECT_EQ(nullptr, addIn->map9Link->EventSink());
}

TEST_F(CoreAddIn, TimerServesPollingAndSchedules) {
  CountingServerLink* link = new CountingServerLink();
  CountingSchedules* schedules = new CountingSchedules();
  delete addIn->serverLink;
  delete addIn->schedules;
  addIn->serverLink = link;
  addIn->schedules = schedules;

  ASSERT_TRUE(addIn->StartAddInTimer(30));
  UINT_PTR first = addIn->timerId;
  EXPECT_NE(0u, first);
  EXPECT_TRUE(addIn->StartAddInTimer(5000));  // a running timer keeps its interval
  EXPECT_EQ(first, addIn->timerId);
  PumpMessages(300);
  EXPECT_GT(addIn->timerTicks, 2u);
  EXPECT_EQ(0, link->polls);  // polling is off, and there is no schedule
  EXPECT_EQ(0, schedules->checks);

  link->serverEnabled = TRUE;
  schedules->Add();
  PumpMessages(300);
  EXPECT_GT(link->polls, 2);
  EXPECT_GT(schedules->checks, 2);

  // StopTimer stops it; a later start makes a fresh one.
  SAFEARRAY* none = nullptr;
  EXPECT_EQ(S_OK, addIn->CallAsProc(4, &none));
  EXPECT_EQ(0u, addIn->timerId);
  unsigned long ticks = addIn->timerTicks;
  PumpMessages(200);
  EXPECT_EQ(ticks, addIn->timerTicks);
  ASSERT_TRUE(addIn->StartAddInTimer(30));
  PumpMessages(200);
  EXPECT_GT(addIn->timerTicks, ticks);

  // Done kills it too.
  addIn->Done();
  EXPECT_EQ(0u, addIn->timerId);
  ticks = addIn->timerTicks;
  PumpMessages(200);
  EXPECT_EQ(ticks, addIn->timerTicks);
}

TEST_F(CoreAddIn, ReleasedObjectsTimerStops) {
  ASSERT_TRUE(addIn->StartAddInTimer(20));
  UINT_PTR id = addIn->timerId;
  addIn->Release();  // without Done, as a host that crashed out would
  addIn = nullptr;
  EXPECT_EQ(nullptr, currentAddIn);
  PumpMessages(200);  // no tick may reach the freed object
  // The timer itself is gone: a second kill of its identifier fails.
  EXPECT_FALSE(KillTimer(nullptr, id));
}

TEST_F(CoreAddIn, TwoObjectsEachKeepTheirOwnTimer) {
  CountingServerLink* firstLink = new CountingServerLink();
  delete addIn->serverLink;
  addIn->serverLink = firstLink;
  firstLink->serverEnabled = TRUE;
  ASSERT_TRUE(addIn->StartAddInTimer(20));

  CAddIn* second = new CAddIn();
  ASSERT_EQ(S_OK, second->Init(connection));
  CountingServerLink* secondLink = new CountingServerLink();
  delete second->serverLink;
  second->serverLink = secondLink;
  secondLink->serverEnabled = TRUE;
  ASSERT_TRUE(second->StartAddInTimer(20));
  EXPECT_NE(addIn->timerId, second->timerId);
  PumpMessages(300);
  EXPECT_GT(firstLink->polls, 2);  // each timer serves its own object, not the newest one
  EXPECT_GT(secondLink->polls, 2);

  // Releasing the newer object stops its timer only: the older one polls on.
  second->Done();
  second->Release();
  EXPECT_EQ(addIn, currentAddIn);
  ASSERT_NE(0u, addIn->timerId);
  int polls = firstLink->polls;
  PumpMessages(300);
  EXPECT_GT(firstLink->polls, polls + 2);
}

TEST_F(CoreAddIn, LastCryptoErrorIsTheTextOfCode56) {
  EXPECT_EQ(L"", ErrDescription(*addIn, 56));
  wcscpy(addIn->lastCryptoError, L"Ключ не найден");
  EXPECT_EQ(L"Ключ не найден", ErrDescription(*addIn, 56));
  // A field filled to the brim is read within its bounds.
  for (wchar_t& c : addIn->lastCryptoError) c = L'ж';
  EXPECT_EQ(std::wstring(256, L'ж'), ErrDescription(*addIn, 56));
}

TEST(CallParamsTest, ReadsTypesAndWritesOutputsBack) {
  VARIANT variable;
  VariantInit(&variable);
  V_VT(&variable) = VT_I4;
  V_I4(&variable) = 1;
  std::vector<Variant> args = {Variant(L"строка"), Variant(5L), Variant(2.5), Variant()};
  SAFEARRAY* array = MakeParamArray(args);
  VARIANT reference;
  VariantInit(&reference);
  V_VT(&reference) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&reference) = &variable;
  LONG index = 3;
  SafeArrayPutElement(array, &index, &reference);
  {
    CallParams params(&array);
    EXPECT_EQ(4, params.Count());
    std::wstring text;
    long number = 0;
    double real = 0;
    EXPECT_TRUE(params.GetString(0, text));
    EXPECT_EQ(L"строка", text);
    EXPECT_FALSE(params.GetLong(0, number));
    EXPECT_TRUE(params.GetLong(1, number));
    EXPECT_EQ(5, number);
    EXPECT_TRUE(params.GetDouble(1, real));
    EXPECT_TRUE(params.GetDouble(2, real));
    EXPECT_EQ(2.5, real);
    EXPECT_FALSE(params.GetLong(2, number));
    EXPECT_EQ(VT_I4, params.Type(3));  // read through the reference
    EXPECT_TRUE(params.GetText(1, text));
    EXPECT_EQ(L"5", text);
    EXPECT_EQ(VT_EMPTY, params.Type(4));
    EXPECT_EQ(nullptr, params.Get(-1));
    EXPECT_FALSE(params.GetString(9, text));

    Variant out(L"результат");
    EXPECT_TRUE(params.SetOut(1, *out.Get()));
    EXPECT_TRUE(params.SetOut(3, *Variant(42L).Get()));
    EXPECT_FALSE(params.SetOut(4, *out.Get()));
    EXPECT_TRUE(params.GetString(1, text));
    EXPECT_EQ(L"результат", text);
  }
  VARIANT element;
  VariantInit(&element);
  index = 1;
  SafeArrayGetElement(array, &index, &element);
  EXPECT_EQ(VT_BSTR, V_VT(&element));
  VariantClear(&element);
  EXPECT_EQ(VT_I4, V_VT(&variable));  // the referenced variable received the value
  EXPECT_EQ(42, V_I4(&variable));
  SafeArrayDestroy(array);

  CallParams none(nullptr);
  EXPECT_EQ(0, none.Count());

  // An array built with SafeArrayAllocDescriptor: FADF_VARIANT without a stored type.
  SAFEARRAY* bare = nullptr;
  ASSERT_EQ(S_OK, SafeArrayAllocDescriptor(1, &bare));
  bare->fFeatures = FADF_VARIANT;
  bare->cbElements = sizeof(VARIANT);
  bare->rgsabound[0].lLbound = 0;
  bare->rgsabound[0].cElements = 2;
  ASSERT_EQ(S_OK, SafeArrayAllocData(bare));
  VARTYPE stored = VT_EMPTY;
  EXPECT_NE(S_OK, SafeArrayGetVartype(bare, &stored));  // what the reading has to cope with
  index = 1;
  ASSERT_EQ(S_OK, SafeArrayPutElement(bare, &index, Variant(L"второй").Get()));
  {
    CallParams params(&bare);
    EXPECT_EQ(2, params.Count());
    std::wstring text;
    EXPECT_TRUE(params.GetString(1, text));
    EXPECT_EQ(L"второй", text);
    EXPECT_TRUE(params.SetOut(0, *Variant(7L).Get()));
  }
  index = 0;
  SafeArrayGetElement(bare, &index, &element);
  EXPECT_EQ(VT_I4, V_VT(&element));
  SafeArrayDestroy(bare);
  EXPECT_FALSE(none.SetOut(0, *Variant(1L).Get()));
}
}  // namespace

namespace {
void CallServerProc(CAddIn* addIn, long method, std::vector<Variant> args) {
  SAFEARRAY* array = ParamArray(args);
  EXPECT_EQ(S_OK, addIn->CallAsProc(method, &array));
  if (array) SafeArrayDestroy(array);
}
const long kEnableServer = 47, kDisableServer = 48;
}  // namespace

TEST_F(CoreAddIn, EnableServerIntervalAndTheSharedTimer) {
  ServerLink* link = addIn->serverLink;
  struct {
    Variant interval;
    LONG used;
  } cases[] = {{Variant(250L), 250}, {Variant(50L), 5000}, {Variant(99L), 5000}, {Variant(100L), 100},
               {Variant(L"250"), 5000}, {Variant(), 5000}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.interval.Text());
    CallServerProc(addIn, kEnableServer, {c.interval});
    EXPECT_EQ(c.used, link->pollInterval);
    EXPECT_NE(0u, addIn->timerId);
    EXPECT_EQ(TRUE, link->serverEnabled);
    CallServerProc(addIn, kDisableServer, {});
    EXPECT_EQ(0u, addIn->timerId);  // no schedule holds it
    EXPECT_EQ(FALSE, link->serverEnabled);
  }
  // 50 ms is refused: no tick within a second.
  CallServerProc(addIn, kEnableServer, {Variant(50L)});
  unsigned long ticks = addIn->timerTicks;
  PumpMessages(1000);
  EXPECT_EQ(ticks, addIn->timerTicks);
  CallServerProc(addIn, kDisableServer, {});

  // A schedule already runs the timer: it keeps its interval, and polling stopping keeps it.
  *static_cast<Schedule*>(addIn->schedules->Add()) = Schedule();  // a disabled schedule
  ASSERT_TRUE(addIn->StartAddInTimer(30));
  UINT_PTR timer = addIn->timerId;
  CallServerProc(addIn, kEnableServer, {Variant(1000L)});
  EXPECT_EQ(timer, addIn->timerId);
  EXPECT_EQ(5000, link->pollInterval);
  EXPECT_EQ(TRUE, link->serverEnabled);
  ticks = addIn->timerTicks;
  PumpMessages(300);
  EXPECT_GT(addIn->timerTicks, ticks + 2);
  CallServerProc(addIn, kDisableServer, {});
  EXPECT_EQ(timer, addIn->timerId);
  EXPECT_EQ(FALSE, link->serverEnabled);
}

namespace {
// A parser that loads any file into a document without a root element.
class RootlessDocument : public XmlDocument {
 public:
  XmlResult SetAsync(bool) override { return kXmlOk; }
  XmlResult SetValidateOnParse(bool) override { return kXmlOk; }
  XmlResult SetResolveExternals(bool) override { return kXmlOk; }
  XmlResult Load(const std::u16string&, bool* loaded) override {
    *loaded = true;
    return kXmlOk;
  }
  XmlResult GetDocumentElement(std::unique_ptr<XmlElement>* out) override {
    out->reset();
    return kXmlFalse;
  }
  XmlResult GetParseError(std::unique_ptr<XmlParseError>* out) override {
    out->reset();
    return kXmlFail;
  }
};
XmlResult CreateRootless(std::unique_ptr<XmlDocument>* out) {
  out->reset(new RootlessDocument);
  return kXmlOk;
}

// Presses OK on the first message box titled `title` and returns its text.
std::wstring AnswerMessageBox(const wchar_t* title, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 50) {
    if (HWND box = FindWindowW(L"#32770", title)) {
      wchar_t text[256] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 256);
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return text;
    }
    Sleep(50);
  }
  return L"<no message box>";
}
}  // namespace

TEST(ServerConfig, DocumentWithoutRootElementIsShownAndGivesNoDevices) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"velora-rootless\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  HANDLE file = CreateFileW((folder + L"config.xml").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);

  DeviceList devices;
  ASSERT_NE(nullptr, devices.Add());
  std::wstring shown;
  std::thread answer([&] { shown = AnswerMessageBox(L"Velora Server", 10000); });
  ReadServerConfig(folder, devices, nullptr, CreateRootless);
  answer.join();
  EXPECT_EQ(L"Неправильная структура XML-документа!", shown);
  EXPECT_EQ(0u, devices.Count());
  DeleteFileW((folder + L"config.xml").c_str());
  RemoveDirectoryW(folder.c_str());
}
