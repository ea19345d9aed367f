// File encryption (CryptoAPI, RC2) and signed text files.
#include <cstring>
#include <string>

#include "addin.h"
#include "crypto/signature.h"
#include "methods.h"

namespace {
const long kWrongType = 75;
}

void CallEncryptFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallDecryptFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallSetCryptPassword(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }

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
