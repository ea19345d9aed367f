// The component where ActiveSync is missing: no rapi.dll on the search path of this test.
// It loads and unloads, and every device method answers 8.
#include "addin_fixture.h"

namespace {
class NoRapi : public AddInTest {};

TEST_F(NoRapi, EveryDeviceMethodAnswersEight) {
  ASSERT_EQ(nullptr, GetModuleHandleW(L"rapi.dll")) << "this test needs a machine without rapi.dll";
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring existing = std::wstring(temp) + L"velora-norapi.txt";
  HANDLE file = CreateFileW(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  const Variant path(L"\\My Documents\\a.txt"), pc(existing);
  struct Case {
    const char* what;
    long method;
    std::vector<Variant> args;
    long code;
  } cases[] = {
      {"CePutFile of a missing source", 5, {Variant(L"C:\\no\\such.txt"), path}, 1},
      {"CePutFile", 5, {pc, path}, 8},
      {"CeGetFile of a missing source", 6, {path, pc}, 8},
      {"CeDeleteFile", 7, {path}, 8},
      {"CeFileExists", 8, {path}, 8},
      {"CeExecute", 13, {path, Variant(L"")}, 8},
      {"CeRapiInit", 14, {}, 8},
      {"CeRapiUnInit", 15, {}, 100},
      {"CeRegSetValue", 17, {Variant(L"HKEY_CURRENT_USER"), Variant(L"Software"), Variant(L"x"), Variant(1L)}, 8},
      {"CeFindWndOnClass", 19, {Variant(L"HHTaskBar")}, 8},
  };
  for (const Case& c : cases) EXPECT_EQ(c.code, Func(c.method, c.args)) << c.what;
  Variant text;
  ASSERT_EQ(S_OK, CallFunc(9, {Variant(8L)}, text));
  EXPECT_EQ(L"Не найдена библиотека rapi.dll, установите MS ActiveSync! Обмен данными с КПК невозможен!", text.String());
  Variant value;
  ASSERT_EQ(S_OK, CallFunc(16, {Variant(L"HKEY_CURRENT_USER"), Variant(L"Software"), Variant(L"x")}, value));
  EXPECT_TRUE(value.IsString());
  EXPECT_EQ(L"", value.String());
  std::vector<Variant> version = {Variant(4L), Variant(4L), Variant(4L), Variant(L"SP")};
  ASSERT_EQ(S_OK, component.Call(18, version, value));
  EXPECT_EQ(100, value.Long());
  EXPECT_EQ(0, version[0].Long());
  EXPECT_EQ(L"", version[3].String());
  ASSERT_EQ(S_OK, component.GetProp(3, value));
  EXPECT_EQ(0, value.Long());
  DeleteFileW(existing.c_str());
}

// Loading, initialising and unloading the component without the library, twice over: the
// DLL leaves the process each time.
TEST(NoRapiLibrary, TheComponentLoadsAndUnloadsCleanly) {
  for (int i = 0; i < 2; ++i) {
    {
      HostComponent component;
      ASSERT_EQ(S_OK, component.CreateFromDll(AddInDllPath(), CLSID_AddIn));
      HostConnection* connection = HostConnection::Create(HostOptions());
      ASSERT_EQ(S_OK, component.Init(connection));
      EXPECT_EQ(S_OK, component.Done());
      component.Release();
      connection->Release();
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(AddInDllPath().c_str()));
  }
}
}  // namespace
