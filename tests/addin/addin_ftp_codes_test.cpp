// FtpConnect's reading of the server string and its mapping of WinINet errors to codes.
#include "ftp/ftp_codes.h"

#include <wininet.h>

#include <gtest/gtest.h>

namespace {
TEST(FtpConnectCodeTest, MapsSystemErrors) {
  const struct { DWORD error; long code; } cases[] = {
      {ERROR_SUCCESS, 0},
      {ERROR_INTERNET_INCORRECT_PASSWORD, 79},   // 12014
      {ERROR_INTERNET_INCORRECT_USER_NAME, 80},  // 12013
      {ERROR_INTERNET_LOGIN_FAILURE, 81},        // 12015: what Wine gives for both
      {ERROR_INTERNET_NAME_NOT_RESOLVED, 82},    // 12007
      {ERROR_INTERNET_CANNOT_CONNECT, 100},      // 12029
      {ERROR_INTERNET_TIMEOUT, 100},
      {ERROR_FILE_NOT_FOUND, 100},
  };
  for (const auto& c : cases) EXPECT_EQ(c.code, FtpConnectCode(c.error)) << c.error;
  EXPECT_EQ(12014u, DWORD(ERROR_INTERNET_INCORRECT_PASSWORD));
  EXPECT_EQ(12013u, DWORD(ERROR_INTERNET_INCORRECT_USER_NAME));
  EXPECT_EQ(12015u, DWORD(ERROR_INTERNET_LOGIN_FAILURE));
  EXPECT_EQ(12007u, DWORD(ERROR_INTERNET_NAME_NOT_RESOLVED));
}

TEST(ParseFtpServerTest, HostPortAndMode) {
  const struct { const wchar_t* text; const wchar_t* host; unsigned port; bool passive; } cases[] = {
      {L"ftp.example", L"ftp.example", 21, true},
      {L"host:2121", L"host", 2121, true},
      {L"host:a:2121", L"host", 2121, false},
      {L"host:2121:Active", L"host", 2121, false},
      {L"host:A:p", L"host", 21, true},
      {L"::host::2121:", L"host", 2121, true},   // empty pieces skipped
      {L"host:0", L"host", 21, true},            // 0 keeps the default
      {L"host:x", L"host", 21, true},            // no digits reads as 0
      {L"host:21xx", L"host", 21, true},
      {L"host:990:a:2121", L"host", 990, false}, // a fourth piece is ignored
      {L"host:1:2", L"host", 2, true},           // the later option wins
      {L"", L"", 21, true},
  };
  for (const auto& c : cases) {
    FtpServer server = ParseFtpServer(c.text);
    EXPECT_EQ(std::wstring(c.host), server.host) << c.text;
    EXPECT_EQ(c.port, server.port) << c.text;
    EXPECT_EQ(c.passive, server.passive) << c.text;
  }
}
}  // namespace
