// host1c: runs 1C:Enterprise 7's side of an external component from the command line, so
// that a method can be tried without 1C. See Usage() for the options and script.h for the
// statements.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_component.h"
#include "hresult_text.h"
#include "script.h"

namespace {
enum ExitCode { kExitOk = 0, kExitScript = 1, kExitComponent = 2, kExitNoEvent = 3, kExitUsage = 64 };

// Lines go to the console as UTF-16, or as UTF-8 when the output is a file or a pipe.
void Print(const std::wstring& line) {
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  std::wstring text = line + L"\n";
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(handle, &mode)) {
    WriteConsoleW(handle, text.data(), DWORD(text.size()), &written, nullptr);
    return;
  }
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0], size, nullptr, nullptr);
  WriteFile(handle, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

void Usage() {
  Print(L"usage: host1c [options] [-e STATEMENT]... [SCRIPT]\n"
        L"  Creates the component, calls Init with a connection object (IAsyncEvent,\n"
        L"  IStatusLine, IErrorLog, IPropertyProfile), runs the statements of -e and of the\n"
        L"  SCRIPT file (\"-\" for standard input) in order, prints results and events, and\n"
        L"  calls Done.\n"
        L"options:\n"
        L"  --dll PATH       load the component from its DLL (no registration needed)\n"
        L"  --progid NAME    create the registered component NAME (default AddIn.AddInObject)\n"
        L"  --profile FILE   keep the component's profile in this INI file (default: memory)\n"
        L"  --depth N        event buffer depth (default 1, as in 1C)\n"
        L"  --no-async-event, --no-status-line, --no-error-log, --no-profile\n"
        L"                   leave that host interface out of the connection object\n"
        L"  --list           print the component's properties and methods\n"
        L"statements (one a line; # starts a comment):\n"
        L"  Enable()    text = CeErrDescription(3)    IsEnabled = 1    print IsEnabled, text\n"
        L"  wait MS    waitevent MS    events    reinit\n"
        L"exit codes: 0 done, 1 script error, 2 component not created or Init failed,\n"
        L"  3 waitevent saw no event, 64 bad command line");
}

// Script files: UTF-8 (with or without BOM), UTF-16 with BOM, else the ANSI code page.
bool ReadScript(const std::wstring& path, std::vector<std::wstring>& lines) {
  std::string bytes;
  if (path == L"-") {
    char buffer[4096];
    DWORD n = 0;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(in, buffer, sizeof(buffer), &n, nullptr) && n > 0) bytes.append(buffer, n);
  } else {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) bytes.append(buffer, n);
    CloseHandle(file);
  }
  std::wstring text;
  if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
    text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  } else {
    size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const char* data = bytes.data() + skip;
    int size = int(bytes.size() - skip);
    UINT page = CP_UTF8;
    int length = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, data, size, nullptr, 0);
    if (length == 0 && size > 0) {
      page = CP_ACP;
      length = MultiByteToWideChar(page, 0, data, size, nullptr, 0);
    }
    text.resize(size_t(length));
    if (length > 0) MultiByteToWideChar(page, 0, data, size, &text[0], length);
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return true;
}

void List(HostComponent& component) {
  ILanguageExtender* e = component.Extender();
  long props = 0, methods = 0;
  e->GetNProps(&props);
  e->GetNMethods(&methods);
  for (long i = 0; i < props; ++i) {
    BSTR a = nullptr, b = nullptr;
    BOOL writable = FALSE;
    e->GetPropName(i, 0, &a);
    e->GetPropName(i, 1, &b);
    e->IsPropWritable(i, &writable);
    Print(L"property " + std::to_wstring(i) + L"  " + (a ? a : L"") + L" / " + (b ? b : L"") +
          (writable ? L"  (read, write)" : L"  (read only)"));
    SysFreeString(a);
    SysFreeString(b);
  }
  for (long i = 0; i < methods; ++i) {
    BSTR a = nullptr, b = nullptr;
    long params = 0;
    BOOL result = FALSE;
    e->GetMethodName(i, 0, &a);
    e->GetMethodName(i, 1, &b);
    e->GetNParams(i, &params);
    e->HasRetVal(i, &result);
    std::wstring defaults;
    for (long p = 0; p < params; ++p) {
      VARIANT value;
      VariantInit(&value);
      if (e->GetParamDefValue(i, p, &value) == S_OK && V_VT(&value) != VT_EMPTY &&
          SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR)))
        defaults += L", default of parameter " + std::to_wstring(p + 1) + L": " + V_BSTR(&value);
      VariantClear(&value);
    }
    Print(L"method " + std::to_wstring(i) + L"  " + (a ? a : L"") + L" / " + (b ? b : L"") + L"  (parameters: " +
          std::to_wstring(params) + (result ? L", result" : L"") + defaults + L")");
    SysFreeString(a);
    SysFreeString(b);
  }
}

int Run(int argc, wchar_t** argv) {
  HostOptions options;
  std::wstring dll, progId = L"AddIn.AddInObject";
  bool list = false;
  std::vector<std::wstring> lines;
  if (argc < 2) {  // nothing to do: say how it is used rather than create and drop a component
    Usage();
    return kExitUsage;
  }
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == L"--dll" && hasValue) dll = argv[++i];
    else if (arg == L"--progid" && hasValue) progId = argv[++i];
    else if (arg == L"--profile" && hasValue) options.profileFile = argv[++i];
    else if (arg == L"--depth" && hasValue) options.eventBufferDepth = wcstol(argv[++i], nullptr, 10);
    else if (arg == L"--no-async-event") options.asyncEvent = false;
    else if (arg == L"--no-status-line") options.statusLine = false;
    else if (arg == L"--no-error-log") options.errorLog = false;
    else if (arg == L"--no-profile") options.profile = false;
    else if (arg == L"--list") list = true;
    else if (arg == L"-e" && hasValue) lines.push_back(argv[++i]);
    else if (arg == L"-h" || arg == L"--help") { Usage(); return kExitOk; }
    else if (arg.empty() || (arg[0] == L'-' && arg != L"-")) {
      bool valued = arg == L"--dll" || arg == L"--progid" || arg == L"--profile" || arg == L"--depth" || arg == L"-e";
      Print(L"host1c: " + (valued ? arg + L" needs a value" : L"unknown option " + arg) +
            L" (host1c --help lists the options)");
      return kExitUsage;
    }
    else if (!ReadScript(arg, lines)) {
      Print(L"host1c: cannot read the script " + arg);
      return kExitUsage;
    }
  }
  if (options.eventBufferDepth < 1) {
    Print(L"host1c: the event buffer depth must be at least 1");
    return kExitUsage;
  }

  HostComponent component;
  HRESULT hr = dll.empty() ? component.CreateByProgId(progId) : component.CreateFromDll(dll, CLSID_AddIn);
  if (FAILED(hr)) {
    Print(L"host1c: " + component.FailedStep() + L": " + HresultText(hr));
    return kExitComponent;
  }
  HostConnection* connection = HostConnection::Create(options);
  if (!connection) return kExitComponent;
  connection->onNote = [](const std::wstring& note) { Print(L"  " + note); };
  hr = component.Init(connection);
  connection->Release();  // the component holds it from here
  if (FAILED(hr)) {
    Print(L"host1c: " + component.FailedStep() + L": " + HresultText(hr));
    return kExitComponent;
  }
  Print(L"component " + component.ExtensionName() + L", version " + std::to_wstring(component.Version()));
  if (list) List(component);

  ScriptRunner runner(component, Print);
  int result = runner.Run(lines);
  component.Done();
  component.Release();
  switch (result) {
    case kScriptOk: return kExitOk;
    case kScriptNoEvent: return kExitNoEvent;
    default: return kExitScript;
  }
}
}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return kExitUsage;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int code = Run(argc, argv);
  CoUninitialize();
  LocalFree(argv);
  return code;
}
