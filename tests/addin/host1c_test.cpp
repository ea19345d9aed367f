// The host emulator's script, run in-process and as the host1c program.
#include <memory>

#include "addin_fixture.h"
#include "script.h"

namespace {
class Script : public AddInTest {
 protected:
  int Run(const std::vector<std::wstring>& lines) {
    output.clear();
    if (!runner)
      runner.reset(new ScriptRunner(component, [this](const std::wstring& line) { output += line + L"\n"; }));
    return runner->Run(lines);
  }
  bool Printed(const std::wstring& text) const { return output.find(text) != std::wstring::npos; }
  const std::map<std::wstring, Variant>& Variables() const { return runner->Variables(); }
  void Raise(const wchar_t* source, const wchar_t* message, const wchar_t* data) {
    BSTR s = SysAllocString(source), m = SysAllocString(message), d = SysAllocString(data);
    connection->ExternalEvent(s, m, d);
    SysFreeString(s);
    SysFreeString(m);
    SysFreeString(d);
  }
  std::unique_ptr<ScriptRunner> runner;
  std::wstring output;
};

TEST_F(Script, CallsPropertiesAndVariables) {
  EXPECT_EQ(kScriptOk, Run({
                           L"# a comment line",
                           L"print IsEnabled",
                           L"Включить()   // enables",
                           L"print IsEnabled, Включен, \"текст \"\"в кавычках\"\"\"",
                           L"t = КпкОписаниеОшибки(3)",
                           L"print t",
                           L"CeCpyWinVisible = 0",
                           L"print CeCpyWinVisible",
                           L"n = 5",
                           L"print n, 2.5",
                           L"StartTimer()",
                           L"IsEnabled = \"да\"",
                       }))
      << output;
  EXPECT_TRUE(Printed(L"> print IsEnabled\n  0\n"));
  EXPECT_TRUE(Printed(L"  1 1 \"текст \"\"в кавычках\"\"\"\n"));
  EXPECT_TRUE(Printed(L"  t = \"Подключение не инициализировано\"\n"));
  EXPECT_TRUE(Printed(L"> print CeCpyWinVisible\n  0\n"));
  EXPECT_TRUE(Printed(L"  5 2.5\n"));
  EXPECT_TRUE(Printed(L"did not carry out StartTimer (S_FALSE)"));
  EXPECT_TRUE(Printed(L"did not set IsEnabled (S_FALSE)"));
  EXPECT_EQ(L"Подключение не инициализировано", Variables().at(L"t").String());
}

TEST_F(Script, DefaultsFillMissingParameters) {
  // VlsEnableServer's interval defaults to 5000; CeErrDescription has no default.
  EXPECT_EQ(kScriptOk, Run({L"VlsEnableServer()"})) << output;
  EXPECT_EQ(kScriptError, Run({L"CeErrDescription()"}));
  EXPECT_TRUE(Printed(L"line 1: missing parameter 1 of CeErrDescription")) << output;
}

TEST_F(Script, ErrorsStopTheScript) {
  struct Case {
    const wchar_t* line;
    const wchar_t* message;
  } cases[] = {
      {L"NoSuchMethod()", L"unknown method NoSuchMethod"},
      {L"Enable(1)", L"too many parameters for Enable: it takes 0"},
      {L"print nothing", L"unknown name nothing"},
      {L"print \"open", L"unterminated string"},
      {L"Enable() extra", L"unexpected text after ')'"},
      {L"CeErrDescription(3", L"',' or ')' expected"},
      {L"wait soon", L"wait takes a time in milliseconds"},
      {L"x = 99999999999", L"number out of range"},
      {L"5 = x", L"a statement starts with a name"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kScriptError, Run({c.line, L"Enable()"})) << c.line;
    EXPECT_TRUE(Printed(std::wstring(L"line 1: ") + c.message)) << output;
    EXPECT_FALSE(Printed(L"> Enable()\n")) << "the script stops at the failing line";
  }
}

TEST_F(Script, EventsAndWaiting) {
  connection->SetEventBufferDepth(4);
  // An event that arrives before the wait is shown by it.
  Raise(L"VLServer", L"NewDataFromServer", L"\"данные\"");
  EXPECT_EQ(kScriptOk, Run({L"waitevent 1000"})) << output;
  EXPECT_TRUE(Printed(L"event \"VLServer\" \"NewDataFromServer\" \"\"\"данные\"\"\"\n")) << output;
  DWORD start = GetTickCount();
  EXPECT_EQ(kScriptNoEvent, Run({L"waitevent 200"}));
  EXPECT_TRUE(Printed(L"no event within 200 ms"));
  EXPECT_GE(GetTickCount() - start, 190u);
  EXPECT_EQ(kScriptOk, Run({L"wait 50", L"events", L"reinit", L"print IsEnabled"})) << output;
}

// The program: a script file, the profile kept in a file across two runs, exit codes.
TEST(Host1cProgram, RunsScriptsAndKeepsTheProfile) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring dir = temp, script = dir + L"velora_host1c_test.txt", profile = dir + L"velora_host1c_test.ini";
  DeleteFileW(profile.c_str());
  HANDLE file = CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  const char text[] = u8"\xEF\xBB\xBFВключить()\r\nтекст = ОписаниеОшибки(0)\r\n";
  DWORD written = 0;
  WriteFile(file, text, DWORD(sizeof(text) - 1), &written, nullptr);
  CloseHandle(file);

  std::wstring base = L"\"" + Host1cPath() + L"\" --dll \"" + AddInDllPath() + L"\" --profile \"" + profile + L"\" ";
  ProcessResult first = RunProcess(base + L"\"" + script + L"\"");
  EXPECT_EQ(0u, first.exitCode) << first.output;
  EXPECT_NE(std::wstring::npos, first.text.find(L"component CeDataExch, version 2000\n")) << first.output;
  EXPECT_NE(std::wstring::npos, first.text.find(L"  текст = \"Ошибок нет\"\n")) << first.output;

  ProcessResult second = RunProcess(base + L"-e \"print IsEnabled\"");
  EXPECT_EQ(0u, second.exitCode) << second.output;
  EXPECT_NE(std::wstring::npos, second.text.find(L"> print IsEnabled\n  1\n")) << second.output;

  ProcessResult failing = RunProcess(base + L"-e \"Нет()\"");
  EXPECT_EQ(1u, failing.exitCode) << failing.output;
  ProcessResult missing = RunProcess(L"\"" + Host1cPath() + L"\" --dll C:\\nowhere\\none.dll -e \"Enable()\"");
  EXPECT_EQ(2u, missing.exitCode) << missing.output;
  ProcessResult usage = RunProcess(L"\"" + Host1cPath() + L"\" --bogus");
  EXPECT_EQ(64u, usage.exitCode) << usage.output;
  ProcessResult list = RunProcess(L"\"" + Host1cPath() + L"\" --no-profile --dll \"" + AddInDllPath() + L"\" --list");
  EXPECT_EQ(0u, list.exitCode);
  EXPECT_NE(std::wstring::npos, list.text.find(L"method 84  ВыбратьЦвет / ChooseColor  (parameters: 1, result)"))
      << list.output;
  EXPECT_NE(std::wstring::npos,
            list.text.find(L"method 47  VlsEnableServer / ВлсВключитьСервер  (parameters: 1, default of parameter 1: 5000)"))
      << list.output;
  DeleteFileW(script.c_str());
  DeleteFileW(profile.c_str());
}

// The command line and the failures before a script runs: the usage, and the failing step in
// words beside the HRESULT.
TEST(Host1cProgram, UsageAndFailuresInWords) {
  struct Case {
    const wchar_t* args;
    DWORD exitCode;
    const wchar_t* text;
  } cases[] = {
      {L"", 64, L"usage: host1c [options]"},
      {L"--help", 0, L"exit codes: 0 done"},
      {L"--bogus", 64, L"host1c: unknown option --bogus (host1c --help lists the options)\n"},
      {L"--dll", 64, L"host1c: --dll needs a value"},
      {L"--depth 0 -e \"Enable()\"", 64, L"host1c: the event buffer depth must be at least 1\n"},
      {L"--dll nope.dll -e \"Enable()\"", 2, L"host1c: cannot load nope.dll: the file was not found (0x8007007E)\n"},
      {L"--progid No.Such.Component -e \"Enable()\"", 2,
       L"host1c: cannot find the ProgID No.Such.Component: it is not registered (regsvr32 the DLL, or use --dll) "
       L"(0x800401F3)\n"},
      {L"--dll kernel32.dll -e \"Enable()\"", 2,
       L"host1c: cannot get the class factory from kernel32.dll: the DLL does not export DllGetClassObject "
       L"(0x8007007F)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    ProcessResult r = RunProcess(L"\"" + Host1cPath() + L"\" " + c.args);
    EXPECT_EQ(c.exitCode, r.exitCode) << r.output;
    EXPECT_NE(std::wstring::npos, r.text.find(c.text)) << r.output;
  }
}
}  // namespace
