#include "crypto/file_cipher.h"

#include <wincrypt.h>

#include <cstdio>
#include <vector>

namespace {
const DWORD kPiece = 1000;
const DWORD kBuffer = 1064;  // a piece and the padding block, with room to spare
const DWORD kKeyBits = 40;
const DWORD kSaltBytes = 11;  // the base provider's salt of a 40-bit key
const DWORD kMaxBlob = 64 * 1024;

// The resources of one operation, released in reverse order of acquisition.
struct Session {
  FILE* in = nullptr;
  FILE* out = nullptr;
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  HCRYPTKEY key = 0;
  HCRYPTKEY exchange = 0;
  HCURSOR cursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  ~Session() {
    if (key) CryptDestroyKey(key);
    if (exchange) CryptDestroyKey(exchange);
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
    if (in) fclose(in);
    if (out) fclose(out);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    (void)cursor;
  }
};

CipherResult Failure(DWORD error) {
  if (error == 0) error = ERROR_GEN_FAILURE;
  return CipherResult{error, SystemErrorText(error)};
}
CipherResult LastFailure() { return Failure(GetLastError()); }

bool OpenFiles(Session& s, const std::wstring& source, const std::wstring& destination) {
  if (source.size() >= MAX_PATH || destination.size() >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  SetLastError(0);
  s.in = _wfopen(source.c_str(), L"rb");
  if (!s.in) {
    if (GetLastError() == 0) SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  s.out = _wfopen(destination.c_str(), L"wb");
  if (!s.out && GetLastError() == 0) SetLastError(ERROR_CANNOT_MAKE);
  return s.out != nullptr;
}

bool Acquire(Session& s) {
  if (CryptAcquireContextW(&s.provider, nullptr, MS_DEF_PROV_W, PROV_RSA_FULL, 0)) return true;
  return GetLastError() == DWORD(NTE_BAD_KEYSET) &&
         CryptAcquireContextW(&s.provider, nullptr, MS_DEF_PROV_W, PROV_RSA_FULL, CRYPT_NEWKEYSET);
}

bool DeriveKey(Session& s, const std::wstring& password, DWORD flags) {
  return CryptCreateHash(s.provider, CALG_MD5, 0, 0, &s.hash) &&
         CryptHashData(s.hash, reinterpret_cast<const BYTE*>(password.data()), DWORD(password.size() * 2), 0) &&
         CryptDeriveKey(s.provider, CALG_RC2, s.hash, (kKeyBits << 16) | CRYPT_NO_SALT | flags, &s.key);
}

// Gives a generated key the salt an imported one gets: 11 zero bytes.
bool ZeroSalt(Session& s) {
  BYTE salt[kSaltBytes] = {};
  return CryptSetKeyParam(s.key, KP_SALT, salt, 0) != FALSE;
}

bool SetEffectiveLength(Session& s) {
  DWORD bits = kKeyBits;
  return CryptSetKeyParam(s.key, KP_EFFECTIVE_KEYLEN, reinterpret_cast<BYTE*>(&bits), 0);
}

bool AtEnd(FILE* f) {
  int c = fgetc(f);
  if (c == EOF) return true;
  ungetc(c, f);
  return false;
}

bool Write(FILE* f, const void* data, size_t n) {
  if (n && fwrite(data, 1, n, f) != n) {
    SetLastError(ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

// Reads pieces of 1000 bytes, the last one final, through the cipher.
bool Transform(Session& s, bool encrypt) {
  std::vector<BYTE> buffer(kBuffer);
  for (;;) {
    DWORD n = DWORD(fread(buffer.data(), 1, kPiece, s.in));
    if (ferror(s.in)) {
      SetLastError(ERROR_READ_FAULT);
      return false;
    }
    BOOL final = AtEnd(s.in);
    bool ok = encrypt ? CryptEncrypt(s.key, 0, final, 0, buffer.data(), &n, kBuffer)
                      : CryptDecrypt(s.key, 0, final, 0, buffer.data(), &n);
    if (!ok || !Write(s.out, buffer.data(), n)) return false;
    if (final) return true;
  }
}
}  // namespace

std::wstring SystemErrorText(DWORD error) {
  wchar_t text[256] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                           sizeof(text) / sizeof(text[0]), nullptr);
  while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ')) --n;
  if (n == 0) {
    swprintf(text, sizeof(text) / sizeof(text[0]), L"Ошибка шифрования 0x%08lX", static_cast<unsigned long>(error));
    return text;
  }
  return std::wstring(text, n);
}

CipherResult EncryptFileRc2(const std::wstring& source, const std::wstring& destination, const std::wstring& password) {
  Session s;
  if (!OpenFiles(s, source, destination) || !Acquire(s)) return LastFailure();
  if (!password.empty()) {
    if (!DeriveKey(s, password, CRYPT_EXPORTABLE)) return LastFailure();
  } else {
    // A simple key blob carries the 5 key bytes alone; the import gives the key the
    // provider's default 11-byte salt of zeros. The salt is set to those zeros here, since
    // a provider may fill it at random (Wine does), and the import could not rebuild it.
    if (!CryptGenKey(s.provider, CALG_RC2, (kKeyBits << 16) | CRYPT_EXPORTABLE, &s.key) || !ZeroSalt(s))
      return LastFailure();
    if (!CryptGetUserKey(s.provider, AT_KEYEXCHANGE, &s.exchange) &&
        (GetLastError() != DWORD(NTE_NO_KEY) || !CryptGenKey(s.provider, AT_KEYEXCHANGE, 0, &s.exchange)))
      return LastFailure();
    DWORD length = 0;
    if (!CryptExportKey(s.key, s.exchange, SIMPLEBLOB, 0, nullptr, &length)) return LastFailure();
    std::vector<BYTE> blob(length);
    if (!CryptExportKey(s.key, s.exchange, SIMPLEBLOB, 0, blob.data(), &length)) return LastFailure();
    BYTE prefix[4] = {BYTE(length), BYTE(length >> 8), BYTE(length >> 16), BYTE(length >> 24)};
    if (!Write(s.out, prefix, 4) || !Write(s.out, blob.data(), length)) return LastFailure();
  }
  if (!SetEffectiveLength(s) || !Transform(s, true)) return LastFailure();
  if (fclose(s.out) != 0) {
    s.out = nullptr;
    return Failure(ERROR_WRITE_FAULT);
  }
  s.out = nullptr;
  return CipherResult();
}

CipherResult DecryptFileRc2(const std::wstring& source, const std::wstring& destination, const std::wstring& password) {
  Session s;
  if (!OpenFiles(s, source, destination) || !Acquire(s)) return LastFailure();
  if (!password.empty()) {
    if (!DeriveKey(s, password, 0)) return LastFailure();
  } else {
    BYTE prefix[4];
    if (fread(prefix, 1, 4, s.in) != 4) return Failure(DWORD(NTE_BAD_DATA));
    DWORD length = prefix[0] | DWORD(prefix[1]) << 8 | DWORD(prefix[2]) << 16 | DWORD(prefix[3]) << 24;
    if (length == 0 || length > kMaxBlob) return Failure(DWORD(NTE_BAD_DATA));
    std::vector<BYTE> blob(length);
    if (fread(blob.data(), 1, length, s.in) != length) return Failure(DWORD(NTE_BAD_DATA));
    if (!CryptGetUserKey(s.provider, AT_KEYEXCHANGE, &s.exchange) ||
        !CryptImportKey(s.provider, blob.data(), length, s.exchange, 0, &s.key))
      return LastFailure();
  }
  if (!SetEffectiveLength(s) || !Transform(s, false)) return LastFailure();
  if (fclose(s.out) != 0) {
    s.out = nullptr;
    return Failure(ERROR_WRITE_FAULT);
  }
  s.out = nullptr;
  return CipherResult();
}
