#include "status_files.h"

#include <cstdlib>
#include <cwchar>

#include "device_id.h"
#include "platform/codepage.h"

namespace {
const size_t kMaxLine = 1024;
const size_t kMinLine = 36;  // a line shorter than an identifier holds no record
const size_t kMaxFile = 63;

// The line split at TABs after one TAB is appended; runs of TABs count as one.
std::vector<std::wstring> SplitFields(const std::wstring& line) {
  std::vector<std::wstring> fields;
  std::wstring text = line + L'\t';
  size_t start = 0;
  while (start < text.size()) {
    size_t tab = text.find(L'\t', start);
    if (tab > start) fields.push_back(text.substr(start, tab - start));
    start = tab + 1;
  }
  return fields;
}

StatusEntry EntryFromFields(const std::vector<std::wstring>& fields) {
  StatusEntry e = {};
  if (fields.size() > 0) ParseDeviceId(fields[0], &e.deviceId);
  if (fields.size() > 2) fields[2].copy(e.file, kMaxFile);
  e.time = ParseRecordTime(fields.size() > 3 ? fields[3] : std::wstring());
  if (fields.size() > 4) e.crc = DWORD(std::wcstoul(fields[4].c_str(), nullptr, 10));
  return e;
}

int TwoDigits(const std::wstring& text, size_t position) {
  return int(std::wcstol(text.substr(position, 2).c_str(), nullptr, 10));
}
}  // namespace

const StatusEntry* StatusList::Find(const GUID& id) const {
  return static_cast<const StatusEntry*>(Search(&id, CompareLeadingDeviceIds));
}

std::vector<std::wstring> ReadCompleteLines(const std::wstring& path) {
  std::vector<std::wstring> lines;
  // Shared for writing and deleting: the service rewrites these files while we read.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  // Closed on every path, also when a huge file runs the reading out of memory.
  struct Closer {
    HANDLE h;
    ~Closer() { CloseHandle(h); }
  } closer{file};
  std::string bytes;
  char buffer[8192];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);

  size_t start = 0;
  for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    size_t stop = end;
    while (stop > start && (bytes[stop - 1] == '\r' || bytes[stop - 1] == '\n')) --stop;
    size_t length = stop - start;
    if (length > kMaxLine) length = kMaxLine;
    std::u16string line = AnsiToUtf16(bytes.substr(start, length));
    lines.emplace_back(line.begin(), line.end());
  }
  return lines;
}

SYSTEMTIME ParseRecordTime(const std::wstring& text) {
  SYSTEMTIME t = {};
  size_t n = text.size();
  if (n != 10 && n != 16 && n != 19) {
    t.wYear = 2000;
    t.wMonth = 1;
    t.wDay = 1;
    return t;
  }
  t.wYear = WORD(std::wcstol(text.substr(0, 4).c_str(), nullptr, 10));
  t.wMonth = WORD(TwoDigits(text, 5));
  t.wDay = WORD(TwoDigits(text, 8));
  if (n >= 16) {
    t.wHour = WORD(TwoDigits(text, 11));
    t.wMinute = WORD(TwoDigits(text, 14));
  }
  if (n == 19) t.wSecond = WORD(TwoDigits(text, 17));
  return t;
}

std::wstring JoinExchangePath(const std::wstring& folder, const std::wstring& relative) {
  if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder + relative;
  return folder + L'\\' + relative;
}

bool IsExistingFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void ReadStatusFiles(const std::wstring& exchangeDir, StatusList& entries) {
  entries.Reset();
  if (exchangeDir.empty()) return;
  std::wstring statusPath = exchangeDir + L"Status.txt";
  if (!IsExistingFile(statusPath)) return;
  for (const std::wstring& line : ReadCompleteLines(statusPath)) {
    if (line.size() < kMinLine) continue;
    void* slot = entries.Add();
    if (!slot) return;
    *static_cast<StatusEntry*>(slot) = EntryFromFields(SplitFields(line));
  }
  entries.Sort(CompareLeadingDeviceIds);

  for (const std::wstring& line : ReadCompleteLines(exchangeDir + L"Stack.txt")) {
    if (line.size() < kMinLine) continue;
    std::vector<std::wstring> fields = SplitFields(line);
    if (fields.size() < 5) continue;
    StatusEntry stacked = EntryFromFields(fields);
    if (!IsExistingFile(JoinExchangePath(exchangeDir, stacked.file))) continue;
    StatusEntry* current = const_cast<StatusEntry*>(entries.Find(stacked.deviceId));
    if (current && !IsExistingFile(JoinExchangePath(exchangeDir, current->file))) *current = stacked;
  }
}
