#include "zip/zip_writer.h"

#include <windows.h>

#include <vector>

#include <zip.h>
#include <zlib.h>
// after zip.h, which declares what it needs
#include <iowin32.h>

#include "platform/codepage.h"
#include "zip/zip_codes.h"

namespace {
const DWORD kChunk = 64 * 1024;

class Handle {
 public:
  explicit Handle(HANDLE h) : h(h) {}
  ~Handle() {
    if (Valid()) CloseHandle(h);
  }
  bool Valid() const { return h != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h; }

 private:
  HANDLE h;
};

// The CRC of the whole file, which the encryption header needs before the data.
bool FileCrc(HANDLE file, unsigned long& crc) {
  std::vector<unsigned char> buffer(kChunk);
  crc = crc32(0L, Z_NULL, 0);
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, buffer.data(), kChunk, &n, nullptr)) return false;
    if (n == 0) break;
    crc = crc32(crc, buffer.data(), n);
  }
  LARGE_INTEGER zero = {};
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) != 0;
}

void EntryTime(HANDLE file, zip_fileinfo& info) {
  FILETIME written, local;
  SYSTEMTIME t;
  if (!GetFileTime(file, nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
      !FileTimeToSystemTime(&local, &t))
    GetLocalTime(&t);
  info.tmz_date.tm_sec = t.wSecond;
  info.tmz_date.tm_min = t.wMinute;
  info.tmz_date.tm_hour = t.wHour;
  info.tmz_date.tm_mday = t.wDay;
  info.tmz_date.tm_mon = t.wMonth - 1;
  info.tmz_date.tm_year = t.wYear;
}
}  // namespace

ZipWriter::ZipWriter(const std::wstring& archivePath, const std::string& password)
    : archivePath(archivePath), password(password) {}

ZipWriter::~ZipWriter() { Close(); }

bool ZipWriter::Create() {
  zlib_filefunc64_def files;
  fill_win32_filefunc64W(&files);
  zip = zipOpen2_64(archivePath.c_str(), APPEND_STATUS_CREATE, nullptr, &files);
  return zip != nullptr;
}

long ZipWriter::AddFile(const std::wstring& source, const std::wstring& name) {
  if (name.empty()) return kZipCannotAdd;
  Handle file(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid()) return kZipCannotAdd;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size)) return kZipCannotAdd;
  unsigned long crc = 0;
  if (!password.empty() && !FileCrc(file.get(), crc)) return kZipCannotAdd;
  if (!zip && !Create()) return kZipCannotCreate;

  zip_fileinfo info = {};
  EntryTime(file.get(), info);
  info.external_fa = GetFileAttributesW(source.c_str()) & 0xFF;
  std::u16string wide(name.begin(), name.end());
  std::string stored = Utf16ToAnsi(wide);
  int zip64 = size.QuadPart >= 0xFFFFFFFFLL ? 1 : 0;
  if (zipOpenNewFileInZip3_64(zip, stored.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                              password.empty() ? nullptr : password.c_str(), crc, zip64) != ZIP_OK)
    return kZipCannotAdd;
  std::vector<unsigned char> buffer(kChunk);
  bool ok = true;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.get(), buffer.data(), kChunk, &n, nullptr)) {
      ok = false;
      break;
    }
    if (n == 0) break;
    if (zipWriteInFileInZip(zip, buffer.data(), n) != ZIP_OK) {
      ok = false;
      break;
    }
  }
  if (zipCloseFileInZip(zip) != ZIP_OK) ok = false;
  return ok ? kZipOk : kZipCannotAdd;
}

long ZipWriter::AddFolder(const std::wstring& folder) {
  size_t slash = folder.find_last_of(L'\\');
  if (slash == std::wstring::npos) return kZipCannotAdd;
  return Walk(folder.substr(0, slash + 1), folder.substr(slash + 1));
}

long ZipWriter::Walk(const std::wstring& parent, const std::wstring& relative) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((parent + relative + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return kZipCannotAdd;
  long code = kZipOk;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring below = relative + L"\\" + name;
    code = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Walk(parent, below) : AddFile(parent + below, below);
    if (code != kZipOk) break;
  } while (FindNextFileW(find, &found));
  if (code == kZipOk && GetLastError() != ERROR_NO_MORE_FILES) code = kZipCannotAdd;
  FindClose(find);
  return code;
}

bool ZipWriter::Close() {
  if (!zip) return true;
  int closed = zipClose(zip, nullptr);
  zip = nullptr;
  return closed == ZIP_OK;
}
