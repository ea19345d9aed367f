// Signed text files through the host emulator: AddSignature's output, VerifySignature's
// answers, and a file signed by hand from the algorithm.
#include "addin_fixture.h"
#include "exchange_folder.h"

namespace {
enum { kAddSignature = 65, kVerifySignature = 66 };

// Signed by hand with the key "ab" and r = 0x1234 (4660); 'Я' is byte 0xDF (223) in 1251.
//   key:  A0 += 'a' (97), A1 += 'b' (98)
//   text: "Hi" then "Я" (line breaks not counted): A0 += 3*72, A1 += 3*105, A2 += 3*223
//   A = 313, 413, 669, 0, 0, 0, 0;  W[k] = A[k] + 4660, W7 = 4660
//   W = 0x136D, 0x13D1, 0x14D1, 0x1234, 0x1234, 0x1234, 0x1234, 0x1234
//   groups W0 + 65536*W1 ... = 13D1136D 123414D1 12341234 12341234
// A signed char would make A2 = 3*(-33) and W2 0x11D1.
const char kHandSigned[] = "Hi\r\n\xDF\r\n<VLSGN>13D1136D123414D11234123412341234";

class Signature : public AddInTest {
 protected:
  long Sign(const std::wstring& source, const std::wstring& destination, const std::wstring& key) {
    return Func(kAddSignature, {Variant(dir.File(source)), Variant(dir.File(destination)), Variant(key)});
  }
  long Verify(const std::wstring& file, const std::wstring& key) {
    return Func(kVerifySignature, {Variant(dir.File(file)), Variant(key)});
  }
  // The signed file's text before the marker; fails unless 32 upper-case digits end it.
  std::string Body(const std::wstring& file) {
    std::string text = dir.Read(file);
    size_t marker = text.rfind("<VLSGN>");
    EXPECT_NE(std::string::npos, marker);
    if (marker == std::string::npos) return text;
    std::string digits = text.substr(marker + 7);
    EXPECT_EQ(32u, digits.size());
    EXPECT_EQ(std::string::npos, digits.find_first_not_of("0123456789ABCDEF")) << digits;
    return text.substr(0, marker);
  }

  ExchangeFolder dir{L"sign"};
};

TEST_F(Signature, VerificationAnswers) {
  const std::string text = "Накладная №1\r\nТовар\t10\t255,50\r\n\r\nИтого\r\n";
  ASSERT_TRUE(dir.Write(L"doc.txt", text));
  ASSERT_EQ(0, Sign(L"doc.txt", L"signed.txt", L"Ключ"));
  const std::string signedText = dir.Read(L"signed.txt");
  EXPECT_EQ(text, Body(L"signed.txt"));

  std::string changed = signedText;
  changed[3] ^= 1;  // one body character
  std::string lf;
  for (char c : signedText)
    if (c != '\r') lf += c;
  size_t marker = signedText.find("<VLSGN>");
  struct Case {
    const char* what;
    std::string content;
    const wchar_t* key;
    long code;
  } cases[] = {
      {"same key", signedText, L"Ключ", 0},
      {"another key", signedText, L"Ключ2", 100},
      {"empty key", signedText, L"", 100},
      {"one body character changed", changed, L"Ключ", 100},
      {"CR LF changed to LF", lf, L"Ключ", 0},
      {"no marker", text, L"Ключ", 100},
      {"31 characters after the marker", signedText.substr(0, signedText.size() - 1), L"Ключ", 100},
      {"a digit changed", signedText.substr(0, marker + 7) + "0" + signedText.substr(marker + 8), L"Ключ", 100},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(dir.Write(L"case.txt", c.content));
    EXPECT_EQ(c.code, Verify(L"case.txt", c.key)) << c.what;
  }
  ASSERT_TRUE(dir.Write(L"hand.txt", kHandSigned));
  EXPECT_EQ(0, Verify(L"hand.txt", L"ab")) << "the signature computed by hand";
  EXPECT_EQ(100, Verify(L"hand.txt", L"ba"));
}

TEST_F(Signature, MissingFilesAndParameterTypes) {
  ASSERT_TRUE(dir.Write(L"doc.txt", "text\r\n"));
  EXPECT_EQ(4, Verify(L"missing.txt", L"k"));
  EXPECT_EQ(4, Sign(L"missing.txt", L"out.txt", L"k"));
  EXPECT_EQ(5, Sign(L"doc.txt", L"no-such-folder\\out.txt", L"k"));
  EXPECT_EQ(75, Func(kAddSignature, {Variant(dir.File(L"doc.txt")), Variant(dir.File(L"o.txt")), Variant(5L)}));
  EXPECT_EQ(75, Func(kAddSignature, {Variant(1L), Variant(dir.File(L"o.txt")), Variant(L"k")}));
  EXPECT_EQ(75, Func(kVerifySignature, {Variant(dir.File(L"doc.txt")), Variant(1.5)}));
  EXPECT_EQ(75, Func(kVerifySignature, {Variant(2L), Variant(L"k")}));
  EXPECT_FALSE(dir.Exists(L"o.txt"));
}

TEST_F(Signature, LinesOfTheSignedCopy) {
  const std::string x1023(1023, 'x'), y3000(3000, 'y');
  struct Case {
    const char* what;
    std::string source, body;
  } cases[] = {
      {"a final line without a line break gets one", "one\r\ntwo", "one\r\ntwo\r\n"},
      {"LF line breaks become CR LF", "one\ntwo\n", "one\r\ntwo\r\n"},
      {"a 3000-character line is cut every 1023 characters", y3000 + "\r\nend\r\n",
       y3000.substr(0, 1023) + "\r\n" + y3000.substr(1023, 1023) + "\r\n" + y3000.substr(2046) + "\r\nend\r\n"},
      {"a line of exactly 1023 characters stays one line", x1023 + "\r\nend\r\n", x1023 + "\r\nend\r\n"},
      {"an empty source", "", ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(dir.Write(L"src.txt", c.source));
    ASSERT_EQ(0, Sign(L"src.txt", L"out.txt", L"ключ")) << c.what;
    EXPECT_EQ(c.body, Body(L"out.txt")) << c.what;
    EXPECT_EQ(0, Verify(L"out.txt", L"ключ")) << c.what;
  }
}
}  // namespace
