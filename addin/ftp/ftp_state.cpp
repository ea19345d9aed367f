#include "ftp/ftp_state.h"

#include "ftp/ftp_codes.h"
#include "ftp/progress_window.h"

FtpState& Ftp() {
  static FtpState state;
  return state;
}

void FtpModuleStart() { Ftp() = FtpState(); }

void FtpCloseConnection() {
  FtpState& ftp = Ftp();
  if (ftp.connection) InternetCloseHandle(ftp.connection);
  ftp.connection = nullptr;
}

void FtpCloseAll() {
  FtpState& ftp = Ftp();
  ProgressStatus(L"Завершение...");
  FtpCloseConnection();
  if (ftp.session) InternetCloseHandle(ftp.session);
  ftp.session = nullptr;
  ProgressClose();
}

std::wstring RemotePath(std::wstring path) {
  for (wchar_t& c : path)
    if (c == L'\\') c = L'/';
  return path;
}

long FtpLookUp(const std::wstring& remote, DWORD* size) {
  WIN32_FIND_DATAW found = {};
  SetLastError(0);
  HINTERNET find = FtpFindFirstFileW(Ftp().connection, RemotePath(remote).c_str(), &found, INTERNET_FLAG_RELOAD, 0);
  if (!find) {
    // Wine answers a missing file with no error at all, Windows with ERROR_NO_MORE_FILES.
    DWORD error = GetLastError();
    return error == ERROR_NO_MORE_FILES || error == 0 ? kFtpNoSourceFile : kFtpGeneral;
  }
  InternetCloseHandle(find);
  // A listing line that names a device or a stream ("x:") with no size is no file.
  if (found.nFileSizeLow == 0 && found.nFileSizeHigh == 0 && wcschr(found.cFileName, L':')) return kFtpNoSourceFile;
  if (size) *size = found.nFileSizeLow;
  return kFtpOk;
}
