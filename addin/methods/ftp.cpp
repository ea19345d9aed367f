// FTP transfer through WinINet: session, connection, transfers and remote files. The state
// is the component's one FtpState; during a transfer the message pump may call these
// methods re-entrantly, so nothing here frees or replaces the handles a transfer uses.
#include "methods.h"

#include "ftp/ftp_codes.h"
#include "ftp/ftp_state.h"
#include "ftp/ftp_transfer.h"
#include "ftp/progress_window.h"

namespace {
const size_t kMaxField = 255;
const size_t kMaxPath = 259;

// A string parameter cut to its field; false for a non-string.
bool Text(CallParams& params, long i, size_t limit, std::wstring& out) {
  if (!params.GetString(i, out)) return false;
  if (out.size() > limit) out.resize(limit);
  return true;
}

std::wstring TextOrEmpty(CallParams& params, long i) {
  std::wstring text;
  Text(params, i, kMaxField, text);
  return text;
}

// Runs one operation on the connection's remote path: 78 without a connection, 100 during
// a transfer (the connection carries one operation at a time), 75 for a non-string.
template <typename Operation>
long OnRemote(CallParams& params, Operation operation) {
  std::wstring path;
  if (!Ftp().connection) return kFtpNotConnected;
  if (!Text(params, 0, kMaxPath, path)) return kFtpWrongType;
  if (Ftp().transferring) return kFtpGeneral;
  return operation(RemotePath(path));
}

template <typename Transfer>
long RunTransfer(CallParams& params, Transfer transfer) {
  FtpState& ftp = Ftp();
  if (ftp.transferring) return kFtpGeneral;
  if (!ftp.connection) return kFtpNotConnected;
  std::wstring local, remote;
  if (!Text(params, 0, kMaxPath, local) || !Text(params, 1, kMaxPath, remote)) return kFtpWrongType;
  ftp.transferring = true;
  long code = transfer(local, remote);
  ftp.transferring = false;
  if (ftp.closeRequested) {
    ftp.closeRequested = false;
    FtpCloseAll();
  }
  return code;
}
}  // namespace

void CallFtpSetProxy(CAddIn&, CallParams& params, VARIANT*) {
  FtpState& ftp = Ftp();
  ftp.proxy = TextOrEmpty(params, 0);
  ftp.proxyUser = TextOrEmpty(params, 1);
  ftp.proxyPassword = TextOrEmpty(params, 2);
}

void CallFtpOpenSession(CAddIn&, CallParams&, VARIANT* result) {
  FtpState& ftp = Ftp();
  if (!ftp.session) {
    bool proxy = !ftp.proxy.empty();
    ftp.session = InternetOpenW(L"VeloraAddIn", proxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                                proxy ? ftp.proxy.c_str() : nullptr, nullptr, 0);
    if (ftp.session && proxy && !ftp.proxyUser.empty()) {
      InternetSetOptionW(ftp.session, INTERNET_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(ftp.proxyUser.c_str()),
                         DWORD(ftp.proxyUser.size()));
      InternetSetOptionW(ftp.session, INTERNET_OPTION_PROXY_PASSWORD,
                         const_cast<wchar_t*>(ftp.proxyPassword.c_str()), DWORD(ftp.proxyPassword.size()));
    }
  }
  SetResultLong(result, ftp.session ? kFtpOk : kFtpGeneral);
}

// During a transfer the close cancels it; the transfer closes the session when it ends.
void CallFtpCloseSession(CAddIn&, CallParams&, VARIANT*) {
  FtpState& ftp = Ftp();
  if (ftp.transferring) {
    ftp.cancel = true;
    ftp.closeRequested = true;
    return;
  }
  FtpCloseAll();
}

void CallFtpConnect(CAddIn&, CallParams& params, VARIANT* result) {
  FtpState& ftp = Ftp();
  std::wstring server, user, password;
  if (!Text(params, 0, kMaxField, server) || !Text(params, 1, kMaxField, user) ||
      !Text(params, 2, kMaxField, password)) {
    SetResultLong(result, kFtpWrongType);
    return;
  }
  FtpServer target = ParseFtpServer(server);
  if (!ftp.session) {
    SetResultLong(result, kFtpNoSession);
    return;
  }
  if (ftp.transferring) {
    SetResultLong(result, kFtpGeneral);
    return;
  }
  FtpCloseConnection();
  ProgressStatus(L"Подключение к серверу...");
  SetLastError(0);
  ftp.connection = InternetConnectW(ftp.session, target.host.c_str(), target.port, user.c_str(), password.c_str(),
                                    INTERNET_SERVICE_FTP, target.passive ? INTERNET_FLAG_PASSIVE : 0, 0);
  DWORD error = ftp.connection ? 0 : GetLastError();
  SetResultLong(result, ftp.connection ? kFtpOk : (error ? FtpConnectCode(error) : kFtpGeneral));
}

void CallFtpGetFile(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultLong(result, RunTransfer(params, FtpGet));
}

void CallFtpPutFile(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultLong(result, RunTransfer(params, FtpPut));
}

void CallFtpSetCurDir(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultLong(result, OnRemote(params, [](const std::wstring& path) {
    return FtpSetCurrentDirectoryW(Ftp().connection, path.c_str()) ? kFtpOk : kFtpGeneral;
  }));
}

void CallFtpDeleteFile(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultLong(result, OnRemote(params, [](const std::wstring& path) {
    return FtpDeleteFileW(Ftp().connection, path.c_str()) ? kFtpOk : kFtpGeneral;
  }));
}

void CallFtpCreateDirectory(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultLong(result, OnRemote(params, [](const std::wstring& path) {
    return FtpCreateDirectoryW(Ftp().connection, path.c_str()) ? kFtpOk : kFtpGeneral;
  }));
}

void CallFtpFileExists(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultLong(result, OnRemote(params, [](const std::wstring& path) { return FtpLookUp(path, nullptr); }));
}

void CallFtpGetFileSize(CAddIn&, CallParams& params, VARIANT* result) {
  DWORD size = 0;
  OnRemote(params, [&size](const std::wstring& path) { return FtpLookUp(path, &size); });
  SetResultLong(result, long(size));
}

void CallFtpSetBufferSize(CAddIn&, CallParams& params, VARIANT*) {
  double value = 0;
  if (!params.GetDouble(0, value)) return;
  Ftp().blockSize = value >= 8 && value <= 131072 ? DWORD(value) : 4096;
}
