// Shared by the add-in's test programs: where the built programs are, COM for the test
// thread, and a component loaded from its DLL and initialised by the host emulator.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_component.h"

// Paths of the built files, found from the test program's own folder.
std::wstring ExeDir();
std::wstring AddInDllPath();
std::wstring Host1cPath();

std::wstring Bstr(BSTR text);  // copies, then frees the BSTR
// A zero-based SAFEARRAY of VARIANT holding `args`, as 1C passes parameters.
SAFEARRAY* ParamArray(const std::vector<Variant>& args);

// Runs a program, waits up to `ms` for it, and collects its standard output (UTF-8).
struct ProcessResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;  // as written
  std::wstring text;   // decoded from UTF-8
};
ProcessResult RunProcess(const std::wstring& commandLine, DWORD ms = 60000);

class AddInTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(HostOptions()); }
  void TearDown() override { Stop(); }

  // Creates the component from its DLL and Inits it with a connection of these options.
  void Start(const HostOptions& options);
  void Stop();

  ILanguageExtender* Ext() { return component.Extender(); }
  long FindMethod(const std::wstring& name, HRESULT* hr = nullptr);
  std::wstring MethodName(long number, long alias, HRESULT* hr = nullptr);
  // Calls by number with exactly these parameters, as the given dispatcher.
  HRESULT CallFunc(long number, std::vector<Variant> args, Variant& result);
  HRESULT CallProc(long number, std::vector<Variant> args);
  // The numeric result of a method with a result (a result of another type fails the test).
  long Func(long number, std::vector<Variant> args);

  HostComponent component;
  HostConnection* connection = nullptr;
};
