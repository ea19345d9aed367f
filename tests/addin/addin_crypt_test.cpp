// File encryption through the host emulator: round trips and ciphertext lengths with a
// password, the key-blob layout without one, and failures answering 56 with the system's
// text. The ciphertext itself is checked against an independent RC2 by crypt_interop.py.
#include "addin_fixture.h"
#include "exchange_folder.h"

namespace {
std::string Narrow(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// The system's message for a code, as the component keeps it (without the line break).
std::wstring SystemText(DWORD code) {
  wchar_t text[256] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 256, nullptr);
  while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ')) --n;
  return std::wstring(text, n);
}

// What ErrDescription(56) gives for a failure with that code: the system's text, or, where the
// system has none (Wine has none for the CryptoAPI's codes), the code in hexadecimal.
std::wstring Expected56(DWORD code) {
  std::wstring text = SystemText(code);
  if (!text.empty()) return text;
  wchar_t own[64];
  swprintf(own, 64, L"Ошибка шифрования 0x%08lX", static_cast<unsigned long>(code));
  return own;
}

enum { kErrDescription = 9, kEncryptFile = 25, kDecryptFile = 26, kSetCryptPassword = 27 };

class Crypt : public AddInTest {
 protected:
  long Encrypt(const std::wstring& from, const std::wstring& to) {
    return Func(kEncryptFile, {Variant(dir.File(from)), Variant(dir.File(to))});
  }
  long Decrypt(const std::wstring& from, const std::wstring& to) {
    return Func(kDecryptFile, {Variant(dir.File(from)), Variant(dir.File(to))});
  }
  void SetPassword(const std::wstring& password) { ASSERT_EQ(S_OK, CallProc(kSetCryptPassword, {Variant(password)})); }
  std::wstring Text56() {
    Variant text;
    EXPECT_EQ(S_OK, CallFunc(kErrDescription, {Variant(56L)}, text));
    return text.String();
  }
  static std::string Bytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 7919 + i / 251) & 0xFF);
    return s;
  }

  ExchangeFolder dir{L"crypt"};
};

TEST_F(Crypt, RoundTripsAndLengthsWithAPassword) {
  SetPassword(L"Пароль");
  const size_t sizes[] = {0, 1, 7, 8, 1000, 1001, 3 * 1024 * 1024 + 5};
  for (size_t n : sizes) {
    const std::string plain = Bytes(n);
    ASSERT_TRUE(dir.Write(L"plain.bin", plain));
    ASSERT_EQ(0, Encrypt(L"plain.bin", L"cipher.bin")) << n;
    EXPECT_EQ(8 * (n / 8 + 1), dir.Read(L"cipher.bin").size()) << n;
    ASSERT_EQ(0, Decrypt(L"cipher.bin", L"back.bin")) << n;
    EXPECT_TRUE(plain == dir.Read(L"back.bin")) << n;
  }
}

TEST_F(Crypt, RandomKeyWrappedForTheUser) {
  const std::string plain = Bytes(2500);
  ASSERT_TRUE(dir.Write(L"plain.bin", plain));
  ASSERT_EQ(0, Encrypt(L"plain.bin", L"cipher.bin"));
  const std::string file = dir.Read(L"cipher.bin");
  ASSERT_GE(file.size(), 4u);
  size_t blob = size_t(static_cast<unsigned char>(file[0])) | size_t(static_cast<unsigned char>(file[1])) << 8 |
                size_t(static_cast<unsigned char>(file[2])) << 16 | size_t(static_cast<unsigned char>(file[3])) << 24;
  EXPECT_EQ(4 + blob + 8 * (2500 / 8 + 1), file.size());
  ASSERT_GE(file.size(), 4 + 12u);
  EXPECT_EQ(SIMPLEBLOB, static_cast<unsigned char>(file[4])) << "a simple key blob";
  ALG_ID algorithm;
  memcpy(&algorithm, file.data() + 4 + 4, sizeof(algorithm));
  EXPECT_EQ(ALG_ID(CALG_RC2), algorithm);
  ASSERT_EQ(0, Decrypt(L"cipher.bin", L"back.bin")) << Narrow(Text56());
  EXPECT_TRUE(plain == dir.Read(L"back.bin"));
  // Two encryptions use two keys.
  ASSERT_EQ(0, Encrypt(L"plain.bin", L"cipher2.bin"));
  EXPECT_NE(file, dir.Read(L"cipher2.bin"));
}

TEST_F(Crypt, FailuresAnswer56WithTheSystemsText) {
  ASSERT_TRUE(dir.Write(L"plain.bin", Bytes(3000)));
  SetPassword(L"правильный");
  ASSERT_EQ(0, Encrypt(L"plain.bin", L"cipher.bin"));
  EXPECT_EQ(L"", Text56()) << "nothing failed yet";
  SetPassword(L"неправильный");
  EXPECT_EQ(56, Decrypt(L"cipher.bin", L"back.bin"));
  EXPECT_EQ(Expected56(DWORD(NTE_BAD_DATA)), Text56()) << Narrow(Text56());
  SetPassword(L"");
  EXPECT_EQ(56, Decrypt(L"cipher.bin", L"back.bin")) << "a password-encrypted file read as blob layout";
  EXPECT_FALSE(Text56().empty());
  // A file that ends inside the blob's length.
  ASSERT_TRUE(dir.Write(L"short.bin", std::string("\x4c\x00", 2)));
  EXPECT_EQ(56, Decrypt(L"short.bin", L"back.bin"));
  EXPECT_FALSE(Text56().empty());

  EXPECT_EQ(56, Encrypt(L"missing.bin", L"x.bin"));
  ASSERT_FALSE(SystemText(ERROR_FILE_NOT_FOUND).empty());
  EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), Text56()) << Narrow(Text56());
  EXPECT_EQ(56, Encrypt(L"plain.bin", L"no-such-folder\\x.bin"));
  EXPECT_FALSE(Text56().empty());
  EXPECT_EQ(75, Func(kEncryptFile, {Variant(1L), Variant(dir.File(L"x.bin"))}));
}
}  // namespace
