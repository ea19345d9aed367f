#include "zip/zip_reader.h"

#include <windows.h>

#include <vector>

#include <unzip.h>
// after unzip.h, which declares what it needs
#include <iowin32.h>

#include "zip/encrypted_entry.h"
#include "zip/entry_name.h"
#include "zip/zip_codes.h"

namespace {
const unsigned kChunk = 64 * 1024;

struct Entry {
  std::wstring name;
  unz_file_info64 info;
};

bool ReadEntry(unzFile zip, Entry& entry) {
  char stored[1024];
  if (unzGetCurrentFileInfo64(zip, &entry.info, stored, sizeof(stored), nullptr, 0, nullptr, 0) != UNZ_OK)
    return false;
  size_t length = entry.info.size_filename < sizeof(stored) ? entry.info.size_filename : sizeof(stored) - 1;
  entry.name = DecodeEntryName(std::string(stored, length), entry.info.flag);
  return true;
}

// Every name is checked before anything is written, so a hostile archive leaves nothing.
bool AllNamesSafe(unzFile zip) {
  for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
    Entry entry;
    if (!ReadEntry(zip, entry) || !IsSafeEntryName(entry.name)) return false;
  }
  return true;
}

// Creates every folder on the way to `path` (which ends in the file's own name).
void MakeFolders(const std::wstring& path) {
  for (size_t slash = path.find(L'\\'); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
}

// The entry's plain bytes, from minizip or, for an encrypted entry, from EncryptedEntry.
class EntryData {
 public:
  EntryData(unzFile zip, const Entry& entry) : zip(zip), entry(entry) {}
  ~EntryData() {
    if (plainOpen) unzCloseCurrentFile(zip);
  }
  long Open(const std::string& password) {
    if (!Encrypted()) {
      plainOpen = unzOpenCurrentFile(zip) == UNZ_OK;
      return plainOpen ? kZipOk : kZipCannotOpen;
    }
    return password.empty() ? kZipWrongPassword : encrypted.Open(zip, entry.info, password);
  }
  // Bytes read, 0 at the end, or minus the result code.
  int Read(char* data, unsigned size) {
    if (Encrypted()) return encrypted.Read(data, size);
    int n = unzReadCurrentFile(zip, data, size);
    return n < 0 ? -kZipCannotOpen : n;
  }
  // minizip compares the CRC when the entry is closed.
  long Finish() {
    if (Encrypted()) return encrypted.Finish();
    plainOpen = false;
    return unzCloseCurrentFile(zip) == UNZ_OK ? kZipOk : kZipCannotOpen;
  }

 private:
  bool Encrypted() const { return (entry.info.flag & 1) != 0; }

  unzFile zip;
  const Entry& entry;
  EncryptedEntry encrypted;
  bool plainOpen = false;
};

long ExtractFile(unzFile zip, const Entry& entry, const std::wstring& target, const std::string& password) {
  EntryData data(zip, entry);
  long code = data.Open(password);
  if (code != kZipOk) return code;
  // Into a temporary file beside the target, which replaces the target once the entry has
  // been read in full and its CRC matched: a wrong password overwrites nothing.
  wchar_t temp[MAX_PATH];
  if (!GetTempFileNameW(target.substr(0, target.find_last_of(L'\\')).c_str(), L"vlz", 0, temp)) return kZipDestination;
  HANDLE out = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) code = kZipDestination;
  std::vector<char> buffer(kChunk);
  while (code == kZipOk) {
    int n = data.Read(buffer.data(), kChunk);
    if (n == 0) break;
    DWORD written = 0;
    if (n < 0)
      code = -n;
    else if (!WriteFile(out, buffer.data(), DWORD(n), &written, nullptr) || written != DWORD(n))
      code = kZipDestination;
  }
  if (code == kZipOk) code = data.Finish();
  if (out != INVALID_HANDLE_VALUE && !CloseHandle(out) && code == kZipOk) code = kZipDestination;
  if (code == kZipOk && !MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING)) code = kZipDestination;
  if (code != kZipOk) DeleteFileW(temp);
  return code;
}

long ExtractAll(unzFile zip, const std::wstring& folder, const std::string& password) {
  if (!AllNamesSafe(zip)) return kZipCannotOpen;
  std::wstring base = folder;
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  unz_global_info64 global;
  if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) return kZipCannotOpen;
  if (global.number_entry == 0) return kZipOk;
  if (unzGoToFirstFile(zip) != UNZ_OK) return kZipCannotOpen;
  for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
    if (i > 0 && unzGoToNextFile(zip) != UNZ_OK) return kZipCannotOpen;
    Entry entry;
    if (!ReadEntry(zip, entry)) return kZipCannotOpen;
    std::wstring target = base + entry.name;
    MakeFolders(target);
    if (target.back() == L'\\') {  // a folder entry
      if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) return kZipDestination;
      continue;
    }
    long code = ExtractFile(zip, entry, target, password);
    if (code != kZipOk) return code;
  }
  return kZipOk;
}
}  // namespace

long UnpackArchive(const std::wstring& archivePath, const std::wstring& folder, const std::string& password) {
  // The folder stays the current directory afterwards, as callers may rely on it; one that
  // cannot be entered must not send the files into whatever directory happens to be current.
  if (!SetCurrentDirectoryW(folder.c_str())) return kZipDestination;
  wchar_t full[MAX_PATH];
  DWORD n = GetCurrentDirectoryW(MAX_PATH, full);
  if (n == 0 || n >= MAX_PATH) return kZipDestination;

  zlib_filefunc64_def files;
  fill_win32_filefunc64W(&files);
  unzFile zip = unzOpen2_64(archivePath.c_str(), &files);
  if (!zip) return kZipCannotOpen;
  long code = ExtractAll(zip, full, password);
  if (unzClose(zip) != UNZ_OK) code = kZipCannotClose;
  return code;
}
