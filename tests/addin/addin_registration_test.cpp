// Registration of the component, as an installer (regsvr32) and 1C (by ProgID) use it.
// It writes the machine's class registration, so it runs alone.
#include "addin_fixture.h"

namespace {
const wchar_t kClsid[] = L"{04024C31-0E7B-11d1-A486-004095E1DAEA}";
const wchar_t kLibId[] = L"{71882B2E-1D7D-4B23-9B5C-53FC28328941}";

std::wstring ClassesValue(const std::wstring& path, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD size = sizeof(data);
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return L"(missing)";
  return data;
}

bool ClassesKey(const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring ClsidKey(const wchar_t* sub = nullptr) {
  std::wstring key = std::wstring(L"CLSID\\") + kClsid;
  return sub ? key + L"\\" + sub : key;
}

std::wstring FullDllPath() {
  wchar_t full[MAX_PATH];
  GetFullPathNameW(AddInDllPath().c_str(), MAX_PATH, full, nullptr);
  return full;
}

void ExpectRegistered() {
  for (const wchar_t* progId : {L"AddIn.AddInObject", L"AddIn.AddInObject.1"}) {
    EXPECT_EQ(L"AddInObject Class", ClassesValue(progId, nullptr)) << progId;
    EXPECT_EQ(kClsid, ClassesValue(std::wstring(progId) + L"\\CLSID", nullptr)) << progId;
  }
  EXPECT_EQ(L"AddInObject Class", ClassesValue(ClsidKey(), nullptr));
  EXPECT_EQ(L"AddIn.AddInObject.1", ClassesValue(ClsidKey(L"ProgID"), nullptr));
  EXPECT_EQ(L"AddIn.AddInObject", ClassesValue(ClsidKey(L"VersionIndependentProgID"), nullptr));
  EXPECT_EQ(0, _wcsicmp(FullDllPath().c_str(), ClassesValue(ClsidKey(L"InprocServer32"), nullptr).c_str()))
      << ClassesValue(ClsidKey(L"InprocServer32"), nullptr).c_str();
  EXPECT_EQ(L"both", ClassesValue(ClsidKey(L"InprocServer32"), L"ThreadingModel"));
  EXPECT_TRUE(ClassesKey(std::wstring(L"TypeLib\\") + kLibId + L"\\1.0"));
  EXPECT_EQ(L"V7 AddIn 1.0 Type Library", ClassesValue(std::wstring(L"TypeLib\\") + kLibId + L"\\1.0", nullptr));
}

void ExpectUnregistered() {
  EXPECT_FALSE(ClassesKey(ClsidKey()));
  EXPECT_FALSE(ClassesKey(L"AddIn.AddInObject"));
  EXPECT_FALSE(ClassesKey(L"AddIn.AddInObject.1"));
  EXPECT_FALSE(ClassesKey(std::wstring(L"TypeLib\\") + kLibId));
  EXPECT_TRUE(ClassesKey(L"CLSID"));  // the script never removes the shared key
}

class Registration : public ::testing::Test {
 protected:
  void TearDown() override { RunProcess(L"regsvr32 /u /s \"" + FullDllPath() + L"\""); }
};

TEST_F(Registration, Regsvr32RegistersAndTheHostCreatesByProgId) {
  ProcessResult reg = RunProcess(L"regsvr32 /s \"" + FullDllPath() + L"\"");
  ASSERT_EQ(0u, reg.exitCode) << reg.output;
  ExpectRegistered();

  // The keys as an administrator sees them.
  ProcessResult query = RunProcess(L"reg query \"HKCR\\CLSID\\" + std::wstring(kClsid) + L"\" /s");
  EXPECT_EQ(0u, query.exitCode);
  for (const wchar_t* expected : {L"AddInObject Class", L"AddIn.AddInObject.1", L"VersionIndependentProgID",
                                  L"InprocServer32", L"ThreadingModel", L"both", L"VeloraAddIn.dll"})
    EXPECT_NE(std::wstring::npos, query.text.find(expected)) << query.output;
  query = RunProcess(L"reg query \"HKCR\\AddIn.AddInObject\\CLSID\"");
  EXPECT_NE(std::wstring::npos, query.text.find(kClsid)) << query.output;

  for (const wchar_t* progId : {L"AddIn.AddInObject", L"AddIn.AddInObject.1"}) {
    HostComponent component;
    ASSERT_EQ(S_OK, component.CreateByProgId(progId)) << progId;
    HostConnection* connection = HostConnection::Create(HostOptions());
    ASSERT_EQ(S_OK, component.Init(connection));
    EXPECT_EQ(L"CeDataExch", component.ExtensionName());
    std::vector<Variant> args = {Variant(0L)};
    Variant result;
    EXPECT_EQ(S_OK, component.CallByName(L"ОписаниеОшибки", args, result, nullptr));
    EXPECT_EQ(L"Ошибок нет", result.String());
    component.Done();
    component.Release();
    connection->Release();
  }

  reg = RunProcess(L"regsvr32 /u /s \"" + FullDllPath() + L"\"");
  EXPECT_EQ(0u, reg.exitCode) << reg.output;
  ExpectUnregistered();
  HostComponent component;
  EXPECT_NE(S_OK, component.CreateByProgId(L"AddIn.AddInObject"));
}

// What 1C meets on 64-bit Windows: the 32-bit 1C finds the component that the 32-bit
// regsvr32 registered, in the 32-bit registry view (and the 64-bit pair in the 64-bit one).
bool ClassInView(REGSAM view) {
  HKEY key;
  std::wstring path = std::wstring(L"Software\\Classes\\") + ClsidKey();
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

TEST_F(Registration, HostProgramOfTheSameBitnessCreatesWhatItsRegsvr32Registered) {
  const bool is32 = sizeof(void*) == 4;
  wchar_t windows[MAX_PATH] = L"";
  GetWindowsDirectoryW(windows, MAX_PATH);
  // Named explicitly, as an installer does: SysWOW64 holds the 32-bit tools.
  std::wstring regsvr32 = std::wstring(windows) + (is32 ? L"\\SysWOW64" : L"\\System32") + L"\\regsvr32.exe";
  ProcessResult reg = RunProcess(L"\"" + regsvr32 + L"\" /s \"" + FullDllPath() + L"\"");
  ASSERT_EQ(0u, reg.exitCode) << reg.output;
  EXPECT_TRUE(ClassInView(is32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY));
  EXPECT_FALSE(ClassInView(is32 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY));

  ProcessResult host = RunProcess(L"\"" + Host1cPath() + L"\" --no-profile --progid AddIn.AddInObject -e "
                                  L"\"text = ОписаниеОшибки(0)\" -e \"print text\"");
  EXPECT_EQ(0u, host.exitCode) << host.output;
  EXPECT_NE(std::wstring::npos, host.text.find(L"Ошибок нет")) << host.output;

  reg = RunProcess(L"\"" + regsvr32 + L"\" /u /s \"" + FullDllPath() + L"\"");
  EXPECT_EQ(0u, reg.exitCode) << reg.output;
  EXPECT_FALSE(ClassInView(KEY_WOW64_32KEY));
  EXPECT_FALSE(ClassInView(KEY_WOW64_64KEY));
}

TEST_F(Registration, EntryPointsCalledDirectly) {
  HMODULE dll = LoadLibraryW(FullDllPath().c_str());
  ASSERT_NE(nullptr, dll);
  auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
  auto unreg =
      reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
  ASSERT_TRUE(reg && unreg);
  EXPECT_EQ(S_OK, unreg());  // not registered: nothing to do, no error

  // A stale subkey of an earlier installation goes with re-registration.
  ASSERT_EQ(S_OK, reg());
  HKEY stale;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, ClsidKey(L"Stale").c_str(), 0, nullptr, 0, KEY_WRITE,
                                           nullptr, &stale, nullptr));
  RegCloseKey(stale);
  ASSERT_EQ(S_OK, reg());
  EXPECT_FALSE(ClassesKey(ClsidKey(L"Stale")));
  ExpectRegistered();

  EXPECT_EQ(S_OK, unreg());
  ExpectUnregistered();
  FreeLibrary(dll);
}
}  // namespace
