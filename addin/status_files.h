// What the add-in reads of the service's transfer records, Status.txt and Stack.txt of the
// exchange folder: one StatusEntry a device, the latest delivery that is still there.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "my_din_array.h"

struct StatusEntry {
  GUID deviceId;
  wchar_t file[64];  // relative to the exchange folder
  SYSTEMTIME time;
  DWORD crc;
};

class StatusList : public MyDinArray {
 public:
  StatusList() {
    Initialize(16, 8, sizeof(StatusEntry));
    Reset();
  }
  const StatusEntry* EntryAt(unsigned index) const { return static_cast<const StatusEntry*>(At(index)); }
  const StatusEntry* Find(const GUID& id) const;  // the list is sorted by identifier
};

// Reads Status.txt of `exchangeDir` (a folder ending in a backslash), sorts it by identifier,
// and lets a Stack.txt delivery whose file exists stand in for a Status.txt one whose file is
// gone. Missing files read as empty.
void ReadStatusFiles(const std::wstring& exchangeDir, StatusList& entries);

// The complete lines of an ANSI text file, CR and LF removed, each cut to 1024 characters.
// A last line without its line end is left out: the service may be writing it right now.
std::vector<std::wstring> ReadCompleteLines(const std::wstring& path);

// "YYYY-MM-DD", "YYYY-MM-DD hh-mm" or "YYYY-MM-DD hh-mm-ss" with any one separator character
// between the parts; any other length reads as 2000-01-01 00:00:00.
SYSTEMTIME ParseRecordTime(const std::wstring& text);

// `folder` (ending in a backslash or not) joined with a relative path.
std::wstring JoinExchangePath(const std::wstring& folder, const std::wstring& relative);
bool IsExistingFile(const std::wstring& path);
