// Copies between a PC file and a file on the handheld, in blocks of the object's
// fileBufferSize, with the progress window when copyWindowVisible is set. The result is a
// code of the ActiveSync methods.
#pragma once
#include <string>

class CAddIn;

enum ActiveSyncResult : long {
  kCeOk = 0,
  kCeNoSource = 1,
  kCeSourceIsFolder = 2,
  kCeNotInited = 3,
  kCeCannotOpenSource = 4,
  kCeCannotCreate = 5,
  kCeWriteError = 6,
  kCeReadError = 7,
  kCeNoLibrary = 8,
  kCeValueNotFound = 57,
  kCeCannotOpen = 99,
  kCeGeneral = 100,
  kCeWrongType = 111,
};

long PutFileToDevice(CAddIn& addIn, const std::wstring& source, std::wstring destination);
long GetFileFromDevice(CAddIn& addIn, const std::wstring& source, std::wstring destination);

// A message box with an empty caption and an OK button, owned by the property page's window
// when it exists.
void ShowDeviceMessage(CAddIn& addIn, const std::wstring& text);
