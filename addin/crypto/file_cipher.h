// Whole-file encryption with the Microsoft Base Cryptographic Provider: RC2, a 40-bit key
// of effective length 40, CBC with a zero IV and PKCS#5 padding, in pieces of 1000 bytes.
// With a password the key is derived from the MD5 of the password's UTF-16 units without
// salt and the file is the bare ciphertext; without one the key is random and the file
// begins with its 4-byte length and the key blob wrapped with the user's key-exchange key.
#pragma once
#include <windows.h>

#include <string>

struct CipherResult {
  DWORD error = 0;  // 0 on success, else the system error code of the failing step
  std::wstring text;  // the system's text for it
};

CipherResult EncryptFileRc2(const std::wstring& source, const std::wstring& destination, const std::wstring& password);
CipherResult DecryptFileRc2(const std::wstring& source, const std::wstring& destination, const std::wstring& password);
// The system's message for an error code (default language), without its line break.
std::wstring SystemErrorText(DWORD error);
