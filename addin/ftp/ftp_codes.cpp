#include "ftp/ftp_codes.h"

#include <wininet.h>

#include <vector>

namespace {
void ReadOption(const std::wstring& piece, FtpServer& server) {
  wchar_t first = piece[0];
  if (first == L'a' || first == L'A') {
    server.passive = false;
  } else if (first == L'p' || first == L'P') {
    server.passive = true;
  } else {
    // Leading digits only, as a decimal reading does; a value beyond a port's range is
    // taken modulo 65536 like the 16-bit field it ends in, and 0 keeps the default.
    unsigned long value = 0;
    for (wchar_t c : piece) {
      if (c < L'0' || c > L'9') break;
      value = (value * 10 + unsigned(c - L'0')) & 0xFFFFFFFFul;
    }
    if (value & 0xFFFF) server.port = static_cast<unsigned short>(value & 0xFFFF);
  }
}
}  // namespace

FtpServer ParseFtpServer(const std::wstring& text) {
  std::vector<std::wstring> pieces;
  size_t pos = 0;
  while (pos <= text.size() && pieces.size() < 3) {
    size_t end = text.find(L':', pos);
    if (end == std::wstring::npos) end = text.size();
    if (end > pos) pieces.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  FtpServer server;
  if (!pieces.empty()) server.host = pieces[0];
  for (size_t i = 1; i < pieces.size(); ++i) ReadOption(pieces[i], server);
  return server;
}

long FtpConnectCode(DWORD systemError) {
  switch (systemError) {
    case ERROR_SUCCESS: return kFtpOk;
    case ERROR_INTERNET_INCORRECT_PASSWORD: return kFtpBadLogin;   // 12014
    case ERROR_INTERNET_INCORRECT_USER_NAME: return kFtpBadUser;   // 12013
    case ERROR_INTERNET_LOGIN_FAILURE: return kFtpInternetError;   // 12015
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return kFtpHostNotFound;  // 12007
    default: return kFtpGeneral;
  }
}
