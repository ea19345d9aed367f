// The FTP progress window as a user meets it, in the component's own process: closing it
// cancels a download or an upload, a long download shows only its byte count, and methods
// called while the transfer pumps the host's messages do not disturb it. ftp_interop.py runs
// this program with its FTP server in the environment (VELORA_FTP_SERVER, _USER, _PASSWORD,
// the local folder VELORA_FTP_LOCAL and the screenshot path VELORA_FTP_SHOT) and checks the
// server's folder afterwards.
#include "addin_fixture.h"
#include "res/resource.h"
#include "screenshot.h"

#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <regex>
#include <string>

namespace {
std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  wchar_t cls[16] = L"";
  GetClassNameW(window, cls, 16);
  if (!IsWindowVisible(window) || wcscmp(cls, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(param) = window;
  return FALSE;
}

// The progress window of this thread, if one is shown.
HWND ProgressWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, LPARAM(&found));
  return found;
}

std::wstring Status(HWND window) {
  wchar_t text[256] = L"";
  GetDlgItemTextW(window, IDC_FTP_STATUS, text, 256);
  return text;
}

// A step run by a thread timer of the test thread, so it runs inside the transfer's own
// message pump as the host's windows do; it answers true when it has done its part.
std::function<bool(HWND)> watchStep;
bool watchDone = false;

void CALLBACK OnWatchTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (watchDone) return;
  HWND window = ProgressWindow();
  if (window && watchStep(window)) watchDone = true;
}

class FtpWindow : public AddInTest {
 protected:
  void SetUp() override {
    AddInTest::SetUp();
    server = Wide(Env("VELORA_FTP_SERVER"));
    local = Wide(Env("VELORA_FTP_LOCAL"));
    ASSERT_FALSE(server.empty() || local.empty()) << "run by ftp_interop.py, which starts the FTP server";
    ASSERT_EQ(0, Func(Method(L"FtpOpenSession"), {}));
    ASSERT_EQ(0, Func(Method(L"FtpConnect"),
                      {Variant(server), Variant(Wide(Env("VELORA_FTP_USER"))), Variant(Wide(Env("VELORA_FTP_PASSWORD")))}));
  }
  void TearDown() override {
    KillTimer(nullptr, timer);
    AddInTest::TearDown();
  }

  long Method(const wchar_t* name) {
    long number = FindMethod(name);
    EXPECT_GE(number, 0) << Narrow(name);
    return number;
  }
  void BlockSize(long bytes) { EXPECT_EQ(S_OK, CallProc(Method(L"FtpSetBufferSize"), {Variant(bytes)})); }
  std::wstring Local(const wchar_t* name) { return local + L"\\" + name; }
  bool LocalExists(const wchar_t* name) { return GetFileAttributesW(Local(name).c_str()) != INVALID_FILE_ATTRIBUTES; }
  void WriteLocal(const wchar_t* name, size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = char(i * 7 + i / 251);
    HANDLE file = CreateFileW(Local(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, data.data(), DWORD(size), &written, nullptr) && written == size);
    CloseHandle(file);
  }

  // Runs a transfer while `step` watches its progress window every 50 ms.
  long Transfer(const wchar_t* method, const wchar_t* localName, const wchar_t* remote, std::function<bool(HWND)> step) {
    watchStep = std::move(step);
    watchDone = false;
    timer = SetTimer(nullptr, 0, 50, OnWatchTimer);
    EXPECT_NE(0u, timer);
    long code = Func(Method(method), {Variant(Local(localName)), Variant(remote)});
    KillTimer(nullptr, timer);
    timer = 0;
    EXPECT_TRUE(watchDone) << "the watch did not finish its part during the transfer";
    EXPECT_EQ(nullptr, ProgressWindow()) << "the progress window outlived the transfer";
    return code;
  }

  // A click on the close box sends this command to the window.
  static void CloseBox(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

  std::wstring server, local;
  UINT_PTR timer = 0;
};

// Bytes counted in a status line of this form, or -1.
long long Counted(const std::wstring& status, const wchar_t* pattern) {
  std::wsmatch match;
  if (!std::regex_match(status, match, std::wregex(pattern))) return -1;
  return std::stoll(match[1].str());
}

// Run first, in a process of its own: Wine reads the frame setting when a process starts.
TEST(Display, FramesAreDrawnForTheWindowsOfLaterProcesses) {
  DrawWindowFrames();
  wchar_t value[8] = L"";
  DWORD size = sizeof(value);
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Decorated", RRF_RT_REG_SZ,
                                        nullptr, value, &size));
  EXPECT_STREQ(L"N", value);
}

TEST_F(FtpWindow, ClosingCancelsALongDownloadThatShowsOnlyItsByteCount) {
  BlockSize(131072);
  std::wstring seen;
  long code = Transfer(L"FtpGetFile", L"big.bin", L"big.bin", [&](HWND window) {
    std::wstring status = Status(window);
    if (Counted(status, L"Загрузка: (\\d+) б\\.") <= 0) return false;
    seen = status;
    CloseBox(window);
    return true;
  });
  EXPECT_EQ(77, code);
  EXPECT_FALSE(seen.empty());
  EXPECT_FALSE(LocalExists(L"big.bin")) << "a cancelled download left its partial file";
}

TEST_F(FtpWindow, ClosingCancelsAnUploadAndShowsItsProgressUntilThen) {
  BlockSize(4096);
  WriteLocal(L"up.bin", 100 * 4096);
  std::string shot = Env("VELORA_FTP_SHOT");
  std::wstring seen;
  int bar = 0;
  long code = Transfer(L"FtpPutFile", L"up.bin", L"cancelled\\up.bin", [&](HWND window) {
    std::wstring status = Status(window);
    long long sent = Counted(status, L"Выгрузка: (\\d+) из 409600 б\\. \\(\\d+%\\)");
    if (sent < 40 * 4096) return false;
    seen = status;
    bar = int(SendDlgItemMessageW(window, IDC_FTP_BAR, PBM_GETPOS, 0, 0));
    if (!shot.empty()) {
      EXPECT_TRUE(Screenshot(shot, window)) << shot;
    }
    CloseBox(window);
    return true;
  });
  EXPECT_EQ(77, code);
  EXPECT_GE(bar, 400) << Narrow(seen);
  EXPECT_LT(bar, 1000) << Narrow(seen);
  EXPECT_TRUE(LocalExists(L"up.bin")) << "the source of a cancelled upload must stay";
  EXPECT_EQ(1, Func(Method(L"FtpFileExists"), {Variant(L"cancelled/up.bin")})) << "the partial remote file stayed";
}

TEST_F(FtpWindow, CallsDuringATransferLeaveItsHandlesAloneAndACloseCancelsIt) {
  BlockSize(4096);
  WriteLocal(L"first.bin", 50 * 4096);
  WriteLocal(L"second.bin", 4096);
  long get = -1, put = -1, connect = -1, exists = -1;
  long code = Transfer(L"FtpPutFile", L"first.bin", L"reentry.bin", [&](HWND window) {
    if (Counted(Status(window), L"Выгрузка: (\\d+) из \\d+ б\\. \\(\\d+%\\)") <= 0) return false;
    get = Func(Method(L"FtpGetFile"), {Variant(Local(L"got.bin")), Variant(L"big.bin")});
    put = Func(Method(L"FtpPutFile"), {Variant(Local(L"second.bin")), Variant(L"second.bin")});
    connect = Func(Method(L"FtpConnect"), {Variant(server), Variant(L"x"), Variant(L"y")});
    exists = Func(Method(L"FtpFileExists"), {Variant(L"big.bin")});
    EXPECT_EQ(S_OK, CallProc(Method(L"FtpCloseSession"), {}));
    return true;
  });
  EXPECT_EQ(100, get);
  EXPECT_EQ(100, put);
  EXPECT_EQ(100, connect);
  EXPECT_EQ(100, exists);
  EXPECT_EQ(77, code) << "the close cancels the running upload";
  EXPECT_FALSE(LocalExists(L"got.bin"));
  // The session was closed once the upload let go of it.
  EXPECT_EQ(76, Func(Method(L"FtpConnect"), {Variant(server), Variant(L"x"), Variant(L"y")}));
}
}  // namespace
