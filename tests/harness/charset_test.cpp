// The build compiles narrow literals to Windows-1251 and the Windows tests run with ANSI code
// page 1251; every Russian text the programs write depends on both.
#include <gtest/gtest.h>
#include <cstring>
#ifdef _WIN32
#include <windows.h>
#endif

TEST(Charset, NarrowLiteralsAreCp1251) {
    const char* text = "Ошибка";
    ASSERT_EQ(std::strlen(text), 6u);
    EXPECT_EQ(static_cast<unsigned char>(text[0]), 0xCE);  // О
    EXPECT_EQ(static_cast<unsigned char>(text[5]), 0xE0);  // а
    const wchar_t* wide = L"Ж";
    EXPECT_EQ(static_cast<unsigned>(wide[0]), 0x0416u);
}

#ifdef _WIN32
TEST(Charset, AnsiCodePageIsRussian) {
    EXPECT_EQ(GetACP(), 1251u);
    EXPECT_EQ(GetOEMCP(), 866u);
}
#endif
