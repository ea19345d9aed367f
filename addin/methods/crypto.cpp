// File encryption (CryptoAPI, RC2) and signed text files.
#include <cstring>
#include <string>

#include "addin.h"
#include "crypto/file_cipher.h"
#include "crypto/signature.h"
#include "methods.h"

namespace {
const long kWrongType = 75;
const long kCryptoError = 56;
const size_t kMaxPassword = sizeof(CAddIn::cryptPassword) / sizeof(wchar_t) - 1;
const size_t kMaxErrorText = sizeof(CAddIn::lastCryptoError) / sizeof(wchar_t) - 1;

typedef CipherResult (*CipherFn)(const std::wstring&, const std::wstring&, const std::wstring&);

// 0, or 56 with the system's text kept for ErrDescription.
void RunCipher(CAddIn& addIn, CallParams& params, VARIANT* result, CipherFn cipher) {
  std::wstring source, destination;
  if (!params.GetString(0, source) || !params.GetString(1, destination)) {
    SetResultLong(result, kWrongType);
    return;
  }
  CipherResult outcome = cipher(source, destination, std::wstring(addIn.cryptPassword));
  if (outcome.error == 0) {
    SetResultLong(result, 0);
    return;
  }
  std::memset(addIn.lastCryptoError, 0, sizeof(addIn.lastCryptoError));
  outcome.text.copy(addIn.lastCryptoError, kMaxErrorText);
  SetResultLong(result, kCryptoError);
}
}  // namespace

void CallEncryptFile(CAddIn& addIn, CallParams& params, VARIANT* result) {
  RunCipher(addIn, params, result, EncryptFileRc2);
}

void CallDecryptFile(CAddIn& addIn, CallParams& params, VARIANT* result) {
  RunCipher(addIn, params, result, DecryptFileRc2);
}

void CallSetCryptPassword(CAddIn& addIn, CallParams& params, VARIANT*) {
  std::memset(addIn.cryptPassword, 0, sizeof(addIn.cryptPassword));
  std::wstring text;
  if (params.GetString(0, text)) text.copy(addIn.cryptPassword, kMaxPassword);
}

void CallAddSignature(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring source, destination, key;
  if (!params.GetString(0, source) || !params.GetString(1, destination) || !params.GetString(2, key)) {
    SetResultLong(result, kWrongType);
    return;
  }
  SetResultLong(result, AddSignature(source, destination, key));
}

void CallVerifySignature(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring file, key;
  if (!params.GetString(0, file) || !params.GetString(1, key)) {
    SetResultLong(result, kWrongType);
    return;
  }
  SetResultLong(result, VerifySignature(file, key));
}
