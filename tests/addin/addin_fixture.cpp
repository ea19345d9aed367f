#include "addin_fixture.h"

#include <objbase.h>

namespace {
// COM for the test thread, as 1C's main thread has it.
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};
const ::testing::Environment* const com = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

std::wstring Relative(const char* path) {
  std::wstring result = ExeDir();
  for (const char* p = path; *p; ++p) result += *p == '/' ? L'\\' : wchar_t(*p);
  return result;
}
}  // namespace

std::wstring ExeDir() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring AddInDllPath() { return Relative(VELORA_ADDIN_DLL); }
std::wstring Host1cPath() { return Relative(VELORA_HOST1C_EXE); }

std::wstring Bstr(BSTR text) {
  std::wstring result = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
  SysFreeString(text);
  return result;
}

SAFEARRAY* ParamArray(const std::vector<Variant>& args) { return MakeParamArray(args); }

ProcessResult RunProcess(const std::wstring& commandLine, DWORD ms) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  std::wstring line = commandLine;
  BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return result;
  }
  // Read until the child closes its end (it ends), bounded by the time-out.
  DWORD start = GetTickCount();
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available) {
      DWORD n = 0;
      if (!ReadFile(readEnd, buffer, sizeof(buffer), &n, nullptr) || n == 0) break;
      result.output.append(buffer, n);
      continue;
    }
    if (GetTickCount() - start > ms) {
      TerminateProcess(process.hProcess, 0xDEAD);
      break;
    }
    Sleep(20);
  }
  WaitForSingleObject(process.hProcess, 5000);
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(readEnd);
  int length = MultiByteToWideChar(CP_UTF8, 0, result.output.data(), int(result.output.size()), nullptr, 0);
  result.text.resize(size_t(length));
  if (length > 0)
    MultiByteToWideChar(CP_UTF8, 0, result.output.data(), int(result.output.size()), &result.text[0], length);
  return result;
}

void AddInTest::Start(const HostOptions& options) {
  ASSERT_EQ(S_OK, component.CreateFromDll(AddInDllPath(), CLSID_AddIn)) << "cannot load the add-in DLL";
  connection = HostConnection::Create(options);
  ASSERT_NE(nullptr, connection);
  ASSERT_EQ(S_OK, component.Init(connection));
}

void AddInTest::Stop() {
  if (component.Created() && component.Connection()) component.Done();
  component.Release();
  if (connection) connection->Release();
  connection = nullptr;
}

long AddInTest::FindMethod(const std::wstring& name, HRESULT* hr) {
  long number = 12345;
  BSTR text = SysAllocStringLen(name.data(), UINT(name.size()));
  HRESULT result = Ext()->FindMethod(text, &number);
  SysFreeString(text);
  if (hr) *hr = result;
  return number;
}

std::wstring AddInTest::MethodName(long number, long alias, HRESULT* hr) {
  BSTR name = nullptr;
  HRESULT result = Ext()->GetMethodName(number, alias, &name);
  if (hr) *hr = result;
  return Bstr(name);
}

HRESULT AddInTest::CallFunc(long number, std::vector<Variant> args, Variant& result) {
  SAFEARRAY* array = ParamArray(args);
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = Ext()->CallAsFunc(number, &value, &array);
  result = Variant::Adopt(value);
  if (array) SafeArrayDestroy(array);
  return hr;
}

long AddInTest::Func(long number, std::vector<Variant> args) {
  Variant result;
  EXPECT_EQ(S_OK, CallFunc(number, std::move(args), result));
  EXPECT_TRUE(result.IsLong());
  return result.Long();
}

HRESULT AddInTest::CallProc(long number, std::vector<Variant> args) {
  SAFEARRAY* array = ParamArray(args);
  HRESULT hr = Ext()->CallAsProc(number, &array);
  if (array) SafeArrayDestroy(array);
  return hr;
}
