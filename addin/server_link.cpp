#include "server_link.h"

#include <cstdlib>
#include <cstring>

#include "device_id.h"
#include "info_record.h"
#include "server_config.h"
#include "status_files.h"
#include "velora_addin.h"

namespace {
const size_t kMaxExchangeDir = 323;  // characters, with the trailing backslash

void ClearData(DeviceRecord& d) {
  d.file[0] = L'\0';
  std::memset(&d.time, 0, sizeof d.time);
  d.crc = 0;
  d.hasNewData = FALSE;
}

// A data file named by a record is deleted only when it lies inside the exchange folder: a
// relative path without drive, root or ".." parts.
bool IsInsideExchangeFolder(const std::wstring& relative) {
  if (relative.empty() || relative.find(L':') != std::wstring::npos) return false;
  if (relative[0] == L'\\' || relative[0] == L'/') return false;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = relative.size();
    std::wstring part = relative.substr(start, end - start);
    // Windows drops trailing dots and spaces of a name, so ". ." climbs as ".." does.
    bool onlyDots = !part.empty() && part.find_first_not_of(L". ") == std::wstring::npos;
    if (onlyDots && part.find(L'.') != part.rfind(L'.')) return false;
    start = end + 1;
  }
  return true;
}
}  // namespace

ServerLink::ServerLink() {
  deviceFilter.Initialize(16, 8, sizeof(GUID));
  deviceFilter.Reset();
}

void ServerLink::SetServerAddress(const std::string& address) {
  std::string text = address.substr(0, 127);
  std::string tokens[2];
  int n = 0;
  for (size_t start = 0; start < text.size() && n < 2;) {
    size_t colon = text.find(':', start);
    if (colon == std::string::npos) colon = text.size();
    if (colon > start) tokens[n++] = text.substr(start, colon - start);
    start = colon + 1;
  }
  std::lock_guard<std::mutex> hold(lock);
  if (n > 0) serverHost = tokens[0];
  if (n > 1) serverPort = WORD(std::atoi(tokens[1].c_str()));
}

void ServerLink::SetExchangeDir(const std::wstring& folder, HWND owner) {
  pending.Clear();
  if (folder.empty()) {
    exchangeDir.clear();
    devices.Reset();
    return;
  }
  exchangeDir = folder.substr(0, kMaxExchangeDir);
  if (exchangeDir.back() != L'\\') {
    if (exchangeDir.size() == kMaxExchangeDir) exchangeDir.pop_back();
    exchangeDir += L'\\';
  }
  ReadServerConfig(exchangeDir, devices, owner);
  Refresh();
}

bool ServerLink::FilterAdmits(const GUID& id) const {
  return deviceFilter.Count() == 0 || deviceFilter.Search(&id, CompareLeadingDeviceIds) != nullptr;
}

int ServerLink::Refresh() {
  StatusList entries;
  ReadStatusFiles(exchangeDir, entries);
  int withNewData = 0;
  for (unsigned i = 0; i < devices.Count(); ++i) {
    DeviceRecord& d = *devices.RecordAt(i);
    const StatusEntry* e = entries.Find(d.deviceId);
    if (!e) {
      ClearData(d);  // stays queued: Status.txt may be in the middle of a rewrite
      continue;
    }
    d.time = e->time;
    if (e->file[0] && IsExistingFile(JoinExchangePath(exchangeDir, e->file)) && FilterAdmits(d.deviceId)) {
      d.hasNewData = TRUE;
      d.crc = e->crc;
      std::memcpy(d.file, e->file, sizeof d.file);
      ++withNewData;
    } else {
      ClearData(d);
      pending.Remove(d.deviceId);
    }
  }
  return withNewData;
}

std::wstring ServerLink::InfoByIndex(long index) {
  std::lock_guard<std::mutex> hold(lock);
  if (devices.Count() == 0) return std::wstring();
  Refresh();
  long last = long(devices.Count()) - 1;
  if (index < 0) index = 0;
  if (index > last) index = last;
  return FormatInfoRecord(*devices.RecordAt(unsigned(index)));
}

std::wstring ServerLink::InfoById(const GUID& id) {
  Refresh();
  int i = devices.Find(id);
  return i < 0 ? std::wstring() : FormatInfoRecord(*devices.RecordAt(unsigned(i)));
}

void ServerLink::ProcessDone(const GUID& id) {
  Refresh();
  pending.Remove(id);
  int i = devices.Find(id);
  if (i < 0) return;
  const DeviceRecord& d = *devices.RecordAt(unsigned(i));
  if (d.file[0] && IsInsideExchangeFolder(d.file)) DeleteFileW(JoinExchangePath(exchangeDir, d.file).c_str());
}

void ServerLink::AddFilterId(const GUID& id) {
  if (void* slot = deviceFilter.Add()) {
    *static_cast<GUID*>(slot) = id;
    deviceFilter.Sort(CompareLeadingDeviceIds);
  }
}

void ServerLink::ClearFilter() { deviceFilter.Reset(); }

void ServerLink::Poll() {
  if (!serverEnabled || exchangeDir.empty() || Refresh() == 0) return;
  for (unsigned i = 0; i < devices.Count(); ++i) {
    const DeviceRecord& d = *devices.RecordAt(i);
    if (d.hasNewData) pending.Put(d.deviceId, d.crc);
  }
  // The first queued device that is known and has its data now; unknown ones leave the queue.
  // One whose record is missing from a half-rewritten Status.txt keeps its place unannounced.
  for (unsigned q = 0; q < pending.Count();) {
    int i = devices.Find(pending.EntryAt(q)->deviceId);
    if (i < 0) {
      pending.RemoveAt(q);
      continue;
    }
    if (devices.RecordAt(unsigned(i))->hasNewData) {
      RaiseNewData(InfoByIndex(i));
      return;
    }
    ++q;
  }
}

void ServerLink::RaiseNewData(const std::wstring& record) {
  if (!asyncEvent) return;
  BSTR source = SysAllocString(L"VLServer"), message = SysAllocString(L"NewDataFromServer"),
       data = SysAllocStringLen(record.data(), UINT(record.size()));
  asyncEvent->ExternalEvent(source, message, data);
  SysFreeString(source);
  SysFreeString(message);
  SysFreeString(data);
}
