// The ANSI code page (Windows-1251 on the office machines) and its conversions.
#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {
// Cyrillic, the Ukrainian and Belarusian letters, punctuation of the upper half.
const char kAnsi[] = "Агент Ёлкин, ёж; Їжак Ґ ґ № «»—";
const char kUtf8[] = u8"Агент Ёлкин, ёж; Їжак Ґ ґ № «»—";
const char16_t kUtf16[] = u"Агент Ёлкин, ёж; Їжак Ґ ґ № «»—";

TEST(CodePage, ConvertsCyrillicBothWays) {
    EXPECT_EQ(std::u16string(kUtf16), AnsiToUtf16(kAnsi));
    EXPECT_EQ(std::string(kAnsi), Utf16ToAnsi(kUtf16));
    EXPECT_EQ(std::string(kUtf8), AnsiToUtf8(kAnsi));
    EXPECT_EQ(std::string(kAnsi), Utf8ToAnsi(kUtf8));
    EXPECT_EQ("", AnsiToUtf8(""));
    EXPECT_EQ(u"", AnsiToUtf16(""));
}

TEST(CodePage, LiteralsAreWindows1251) {
    // "Ж" is 0xC6 in Windows-1251: the build's narrow literals are what the office expects.
    EXPECT_EQ('\xC6', "Ж"[0]);
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ("a?b", Utf16ToAnsi(u"a\u4E2Db"));       // a CJK character
    EXPECT_EQ("x??y", Utf16ToAnsi(u"x\U0001F600y"));  // one '?' per UTF-16 unit, as Windows does
    EXPECT_EQ("a?b", Utf8ToAnsi(u8"a\u4E2Db"));
    EXPECT_EQ("x??y", Utf8ToAnsi(u8"x\U0001F600y"));
}

TEST(CodePage, CompareIgnoresCaseOfLatinAndCyrillic) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"PPC1", "ppc1", true},
        {"Иванов", "иВАНОВ", true},
        {"Ёлкин", "ёлкин", true},
        {"Їжак", "їжак", true},
        {"Иванов", "Иванова", false},
        {"abc", "abd", false},
        {"", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.equal, AnsiCompareNoCase(c.a, c.b) == 0) << AnsiToUtf8(c.a) << " / " << AnsiToUtf8(c.b);
        EXPECT_EQ(c.equal, AnsiCompareNoCase(c.b, c.a) == 0);
    }
    EXPECT_LT(AnsiCompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(AnsiCompareNoCase("abd", "ABC"), 0);
}

#ifndef _WIN32
TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int i = 1; i < 256; ++i) all.push_back(static_cast<char>(i));
    EXPECT_EQ(all, Utf16ToAnsi(AnsiToUtf16(all)));
    EXPECT_EQ(all, Utf8ToAnsi(AnsiToUtf8(all)));
}

TEST(CodePage, MalformedUtf8BecomesQuestionMarks) {
    EXPECT_EQ("a?b", Utf8ToAnsi("a\xFF" "b"));
    EXPECT_EQ("a?(", Utf8ToAnsi("a\xC3\x28"));  // lead byte without its continuation, then "("
    EXPECT_EQ("??", Utf8ToAnsi("\xE0\x80"));     // cut short at the end
}
#endif
}  // namespace
