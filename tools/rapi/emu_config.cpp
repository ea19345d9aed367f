#include "emu_config.h"

#include <cwctype>
#include <map>

namespace {
typedef std::map<std::wstring, std::wstring> Section;  // upper-cased key -> value

std::wstring Trim(const std::wstring& text) {
  size_t begin = text.find_first_not_of(L" \t\r\n");
  if (begin == std::wstring::npos) return std::wstring();
  size_t end = text.find_last_not_of(L" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = wchar_t(towupper(c));
  return text;
}

// [Section] and key=value lines; ';' and '#' start comment lines.
std::map<std::wstring, Section> ParseIni(const std::wstring& text) {
  std::map<std::wstring, Section> sections;
  std::wstring current;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = Trim(text.substr(at, end - at));
    at = end + 1;
    if (line.empty() || line[0] == L';' || line[0] == L'#') continue;
    if (line[0] == L'[' && line.back() == L']') {
      current = Upper(Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    sections[current][Upper(Trim(line.substr(0, equals)))] = Trim(line.substr(equals + 1));
  }
  return sections;
}

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// A relative path is taken from the INI file's folder.
std::wstring Resolve(const std::wstring& base, const std::wstring& path) {
  bool absolute = path.size() >= 2 && (path[1] == L':' || (path[0] == L'\\' && path[1] == L'\\'));
  return absolute ? path : base + path;
}

std::wstring Value(std::map<std::wstring, Section>& ini, const wchar_t* section, const wchar_t* key,
                   const std::wstring& fallback) {
  auto s = ini.find(section);
  if (s == ini.end()) return fallback;
  auto v = s->second.find(key);
  return v == s->second.end() ? fallback : v->second;
}

// A decimal number, or hexadecimal with 0x; the fallback for anything else.
std::uint64_t Number(const std::wstring& text, std::uint64_t fallback) {
  if (text.empty()) return fallback;
  wchar_t* end = nullptr;
  unsigned long long n = wcstoull(text.c_str(), &end, 0);
  return end && *end == 0 ? n : fallback;
}
}  // namespace

std::string ReadFileBytes(const std::wstring& path) {
  std::string data;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return data;
  char buffer[4096];
  DWORD n = 0;
  while (data.size() < (16u << 20) && ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) data.append(buffer, n);
  CloseHandle(file);
  return data;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n);
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::vector<std::wstring> SplitList(const std::wstring& text) {
  std::vector<std::wstring> items;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find_first_of(L";,", at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring item = Trim(text.substr(at, end - at));
    if (!item.empty()) items.push_back(item);
    at = end + 1;
  }
  return items;
}

EmuConfig ReadEmuConfig(HMODULE self) {
  EmuConfig config;
  wchar_t path[MAX_PATH * 2] = {};
  DWORD n = GetEnvironmentVariableW(L"VELORA_RAPI_CONFIG", path, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2) {
    config.file = path;
  } else {
    n = GetModuleFileNameW(self, path, MAX_PATH * 2);
    config.file = FolderOf(std::wstring(path, n)) + L"rapi.ini";
  }
  std::string raw = ReadFileBytes(config.file);
  if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
  auto ini = ParseIni(FromUtf8(raw));
  std::wstring base = FolderOf(config.file);

  config.root = Resolve(base, Value(ini, L"DEVICE", L"ROOT", L"device"));
  while (config.root.size() > 3 && (config.root.back() == L'\\' || config.root.back() == L'/')) config.root.pop_back();
  config.logFile = Resolve(base, Value(ini, L"DEVICE", L"LOG", L"rapi.log"));
  config.windows = SplitList(Value(ini, L"DEVICE", L"WINDOWS", L"HHTaskBar; DesktopExplorerWindow"));
  config.major = DWORD(Number(Value(ini, L"DEVICE", L"MAJOR", L""), config.major));
  config.minor = DWORD(Number(Value(ini, L"DEVICE", L"MINOR", L""), config.minor));
  config.build = DWORD(Number(Value(ini, L"DEVICE", L"BUILD", L""), config.build));
  config.platform = DWORD(Number(Value(ini, L"DEVICE", L"PLATFORM", L""), config.platform));
  config.servicePack = Value(ini, L"DEVICE", L"SERVICEPACK", L"");

  std::wstring connect = Upper(Value(ini, L"CONNECTION", L"STATE", L"up"));
  config.connect = connect == L"NEVER" ? ConnectMode::kNever : connect == L"FAIL" ? ConnectMode::kFail : ConnectMode::kUp;
  std::wstring drop = Value(ini, L"CONNECTION", L"DROPAFTERBYTES", L"");
  config.dropAfter = !drop.empty();
  config.dropBytes = Number(drop, 0);
  config.dropError = DWORD(Number(Value(ini, L"CONNECTION", L"DROPERROR", L""), config.dropError));
  config.writeDelayMs = DWORD(Number(Value(ini, L"CONNECTION", L"WRITEDELAYMS", L""), 0));
  config.missing = SplitList(Value(ini, L"LIBRARY", L"MISSING", L""));
  return config;
}
