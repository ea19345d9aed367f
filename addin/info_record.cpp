#include "info_record.h"

#include <cwchar>
#include <vector>

#include "device_id.h"

namespace {
const size_t kMaxRecord = 1024;

void AppendQuoted(std::wstring& out, const std::wstring& text) {
  out += L'"';
  out += text;
  out += L"\",";
}
}  // namespace

std::wstring FormatInfoRecord(const DeviceRecord& d) {
  wchar_t time[64], crc[16];
  std::swprintf(time, 64, L"%04d-%02d-%02d %02d-%02d-%02d", d.time.wYear, d.time.wMonth, d.time.wDay, d.time.wHour,
                d.time.wMinute, d.time.wSecond);
  std::swprintf(crc, 16, L"\"%010lu\"", (unsigned long)d.crc);
  std::wstring record;
  AppendQuoted(record, FormatDeviceId(d.deviceId));
  AppendQuoted(record, d.pseudonim);
  AppendQuoted(record, d.directory);
  AppendQuoted(record, d.file);
  AppendQuoted(record, time);
  record += crc;
  return record.size() > kMaxRecord ? std::wstring() : record;
}

std::wstring InfoRecordField(const std::wstring& record, const std::wstring& name) {
  static const wchar_t* const kNames[] = {L"device_id", L"pseudonim", L"directory", L"file", L"time", L"crc"};
  size_t wanted = 0;
  for (size_t i = 0; i < 6 && !wanted; ++i)
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(), int(name.size()), kNames[i], -1) ==
        CSTR_EQUAL)
      wanted = i + 1;
  if (!wanted) return std::wstring();

  std::vector<std::wstring> fields(1);
  bool quoted = false;
  for (wchar_t c : record) {
    if (c == L',')
      fields.emplace_back();
    else if (c == L'"')
      quoted = !quoted;
    else if (quoted)
      fields.back() += c;
  }
  return wanted <= fields.size() ? fields[wanted - 1] : std::wstring();
}
