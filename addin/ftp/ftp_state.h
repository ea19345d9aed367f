// The one FTP state of the loaded component, shared by every add-in object: WinINet session
// and connection, proxy, block size, cancel flag and the progress window.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <string>

struct FtpState {
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  std::wstring proxy, proxyUser, proxyPassword;
  DWORD blockSize = 4096;
  volatile bool cancel = false;
  HWND progress = nullptr;
  bool determinate = false;
  // A transfer is running: the message pump may call methods re-entrantly, and these must
  // not free or replace the handles the transfer uses.
  bool transferring = false;
  // FtpCloseSession arrived during a transfer: it cancelled the transfer, which closes the
  // session once it has let go of its handles.
  bool closeRequested = false;
};

FtpState& Ftp();
void FtpModuleStart();

// Closes the connection and the session, and the progress window.
void FtpCloseAll();
// Closes the connection if there is one.
void FtpCloseConnection();

// Remote paths take slashes only.
std::wstring RemotePath(std::wstring path);

// Looks a remote file up in the listing (bypassing any cache): 0 found (with its size),
// 1 no such file, 100 any other failure.
long FtpLookUp(const std::wstring& remote, DWORD* size);
