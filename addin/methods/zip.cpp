// Zip archives: ZipAdd collects files and folders, ZipPack writes them (or the pairs of a
// name list) into an archive, ZipUnPack extracts one, ZipSetPassword and ZipClear.
#include <cstring>
#include <string>

#include "addin.h"
#include "methods.h"
#include "platform/codepage.h"
#include "zip/pending_list.h"
#include "zip/zip_codes.h"
#include "zip/zip_reader.h"
#include "zip/zip_writer.h"

namespace {
const size_t kMaxSourcePath = 511;
const size_t kMaxArchivePath = 259;
const size_t kMaxListLength = 65535;
const size_t kMaxListName = 259;
const size_t kMaxPassword = sizeof(CAddIn::zipPassword) - 1;

std::string Password(const CAddIn& addIn) { return std::string(addIn.zipPassword); }

std::wstring Trim(const std::wstring& text) {
  const wchar_t* blanks = L" \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Pairs of name, tab, path, tab... An empty name segment is skipped on its own.
long PackList(ZipWriter& zip, std::wstring list) {
  if (list.size() > kMaxListLength) list.resize(kMaxListLength);
  list += L'\t';
  size_t pos = 0;
  while (pos < list.size()) {
    size_t nameEnd = list.find(L'\t', pos);
    if (nameEnd == pos) {
      ++pos;
      continue;
    }
    size_t pathEnd = list.find(L'\t', nameEnd + 1);
    if (pathEnd == std::wstring::npos) return kZipBadList;
    std::wstring name = list.substr(pos, nameEnd - pos);
    if (name.size() > kMaxListName) name.resize(kMaxListName);
    long code = zip.AddFile(list.substr(nameEnd + 1, pathEnd - nameEnd - 1), Trim(name));
    if (code != kZipOk) return code;
    pos = pathEnd + 1;
  }
  return kZipOk;
}

long PackPending(CAddIn& addIn, ZipWriter& zip) {
  long code = kZipOk;
  for (unsigned i = 0; i < PendingCount(addIn) && code == kZipOk; ++i) {
    const PendingEntry& entry = PendingAt(addIn, i);
    code = entry.folder ? zip.AddFolder(entry.source) : zip.AddFile(entry.source, entry.name);
  }
  return code;
}
}  // namespace

void CallZipAdd(CAddIn& addIn, CallParams& params, VARIANT* result) {
  SetResultLong(result, kZipOk);
  std::wstring name, path;
  long number = 0;
  bool nameIsText = params.GetString(0, name);
  if (!params.GetString(1, path) || path.size() < 3 || path.size() > kMaxSourcePath ||
      (!nameIsText && !params.GetLong(0, number))) {
    SetResultLong(result, kZipGeneral);
    return;
  }
  if (nameIsText && (name.size() == 1 || name.size() == 2 || name.size() > kMaxSourcePath)) {
    SetResultLong(result, kZipGeneral);
    return;
  }
  PendingEntry entry;
  entry.source = path;
  if (entry.source.back() == L'\\') entry.source.pop_back();
  if (nameIsText && !name.empty()) {
    entry.name = name;
  } else {
    DWORD attributes = GetFileAttributesW(entry.source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      SetResultLong(result, kZipNoSource);
      return;
    }
    entry.name = entry.source.substr(entry.source.find_last_of(L'\\') + 1);
    entry.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  if (!PendingAdd(addIn, entry)) SetResultLong(result, kZipGeneral);
}

void CallZipPack(CAddIn& addIn, CallParams& params, VARIANT* result) {
  SetResultLong(result, kZipOk);
  std::wstring archive, list;
  long number = 0;
  bool listIsText = params.GetString(1, list);
  if (!params.GetString(0, archive) || archive.size() > kMaxArchivePath || (!listIsText && !params.GetLong(1, number))) {
    SetResultLong(result, kZipGeneral);
    return;
  }
  ZipWriter zip(archive, Password(addIn));
  long code;
  if (!list.empty()) {
    code = PackList(zip, list);
  } else if (PendingCount(addIn) == 0) {
    code = kZipGeneral;
  } else {
    code = PackPending(addIn, zip);
    PendingClear(addIn);
  }
  // An archive begun before a failure is still closed and stays with what it holds.
  if (!zip.Close() && code == kZipOk) code = kZipCannotClose;
  SetResultLong(result, code);
}

void CallZipUnPack(CAddIn& addIn, CallParams& params, VARIANT* result) {
  SetResultLong(result, kZipOk);
  std::wstring archive, folder;
  if (!params.GetString(0, archive) || !params.GetString(1, folder) || archive.size() > kMaxArchivePath ||
      folder.size() > kMaxArchivePath) {
    SetResultLong(result, kZipGeneral);
    return;
  }
  SetResultLong(result, UnpackArchive(archive, folder, Password(addIn)));
}

void CallZipSetPassword(CAddIn& addIn, CallParams& params, VARIANT*) {
  std::memset(addIn.zipPassword, 0, sizeof(addIn.zipPassword));
  std::wstring text;
  if (!params.GetString(0, text)) return;
  // A longer password is cut to what the field holds.
  std::string ansi = Utf16ToAnsi(std::u16string(text.begin(), text.end()));
  ansi.copy(addIn.zipPassword, kMaxPassword);
}

void CallZipClear(CAddIn& addIn, CallParams&, VARIANT*) { PendingClear(addIn); }
