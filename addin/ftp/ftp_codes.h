// The pieces of FtpConnect's server string and the result codes of the FTP methods.
#pragma once
#include <windows.h>

#include <string>

enum FtpResult : long {
  kFtpOk = 0,
  kFtpNoSourceFile = 1,
  kFtpWriteError = 6,
  kFtpReadError = 7,
  kFtpWrongType = 75,
  kFtpNoSession = 76,
  kFtpCancelled = 77,
  kFtpNotConnected = 78,
  kFtpBadLogin = 79,
  kFtpBadUser = 80,
  kFtpInternetError = 81,
  kFtpHostNotFound = 82,
  kFtpGeneral = 100,
};

struct FtpServer {
  std::wstring host;
  unsigned short port = 21;
  bool passive = true;
};

// "host[:option[:option]]", empty pieces skipped; an option is "a..." (active), "p..."
// (passive) or a decimal port, used when not 0. A fourth piece is ignored.
FtpServer ParseFtpServer(const std::wstring& text);

// The code for the system error of a failed connection.
long FtpConnectCode(DWORD systemError);
