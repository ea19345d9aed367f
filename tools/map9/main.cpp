// velora-map9: plays the outside map program of the Map9 interop, so that 1C code (or the
// host emulator) can be tried against it: it writes an event name and data into
// "Map9FileMapping", signals "Map9CommandEvent", waits for "Map9ReturnEvent" and prints the
// result that 1C gave through Map9EndOperation.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "map9/map9_request.h"

namespace {
enum ExitCode { kAnswered = 0, kFailed = 1, kNoAnswer = 2, kUsage = 64 };

void Print(const std::wstring& line) {
  std::wstring text = line + L"\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0], size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

int Usage() {
  Print(L"usage: velora-map9 [--timeout MS] [--size BYTES] [--no-zeros] [--no-mapping] EVENT [DATA]\n"
        L"  Sends one request to the component's Map9 listener: EVENT and DATA (UTF-16, each\n"
        L"  ending with a zero) in the shared memory \"Map9FileMapping\", then \"Map9CommandEvent\";\n"
        L"  waits for \"Map9ReturnEvent\" and prints \"result: N\", the number 1C answered.\n"
        L"options:\n"
        L"  --timeout MS   how long to wait for the answer (default 60000)\n"
        L"  --size BYTES   size of the shared memory (default: what the request needs)\n"
        L"  --no-zeros     fill the whole shared memory with text, no terminating zeros\n"
        L"  --no-mapping   put an event where the shared memory should be, so that the\n"
        L"                 listener cannot open it\n"
        L"exit codes: 0 answered, 1 the named objects could not be made, 2 no answer in time,\n"
        L"  64 bad command line");
  return kUsage;
}

std::wstring LastError() { return L" (error " + std::to_wstring(GetLastError()) + L")"; }
}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  DWORD timeout = 60000, size = 0;
  bool noZeros = false, noMapping = false;
  std::vector<std::wstring> words;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--timeout" && i + 1 < argc) timeout = DWORD(wcstoul(argv[++i], nullptr, 10));
    else if (a == L"--size" && i + 1 < argc) size = DWORD(wcstoul(argv[++i], nullptr, 10));
    else if (a == L"--no-zeros") noZeros = true;
    else if (a == L"--no-mapping") noMapping = true;
    else if (a.compare(0, 2, L"--") == 0) return Usage();
    else words.push_back(a);
  }
  if (words.empty() || words.size() > 2) return Usage();
  std::u16string name(words[0].begin(), words[0].end());
  std::u16string data;
  if (words.size() == 2) data.assign(words[1].begin(), words[1].end());

  HANDLE command = CreateEventW(nullptr, FALSE, FALSE, L"Map9CommandEvent");
  HANDLE answer = CreateEventW(nullptr, FALSE, FALSE, L"Map9ReturnEvent");
  if (!command || !answer) {
    Print(L"cannot create the events" + LastError());
    return kFailed;
  }
  HANDLE mapping = nullptr;
  void* view = nullptr;
  if (noMapping) {
    mapping = CreateEventW(nullptr, FALSE, FALSE, L"Map9FileMapping");
  } else {
    std::u16string request = FormatMap9Request(name, data);
    DWORD needed = DWORD(request.size() * 2);
    if (size == 0) size = needed;
    mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, L"Map9FileMapping");
    view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    if (!view) {
      Print(L"cannot create the shared memory" + LastError());
      return kFailed;
    }
    // A view covers whole pages: fill them all when there are to be no zeros.
    MEMORY_BASIC_INFORMATION info = {};
    VirtualQuery(view, &info, sizeof(info));
    if (noZeros) {
      for (size_t i = 0; i + 1 < info.RegionSize; i += 2) static_cast<char*>(view)[i] = 'A';
    } else {
      memcpy(view, request.data(), needed < info.RegionSize ? needed : info.RegionSize);
    }
  }
  ResetEvent(answer);
  SetEvent(command);
  DWORD wait = WaitForSingleObject(answer, timeout);
  if (wait != WAIT_OBJECT_0) {
    Print(L"no answer within " + std::to_wstring(timeout) + L" ms");
    return kNoAnswer;
  }
  if (view) Print(L"result: " + std::to_wstring(ReadMap9Result(view)));
  else Print(L"answered without a result");
  if (view) UnmapViewOfFile(view);
  if (mapping) CloseHandle(mapping);
  LocalFree(argv);
  return kAnswered;
}
