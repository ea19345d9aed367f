// The config.xml template and LastErrorText.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "config_template.h"
#include "last_error.h"
#include "platform/files.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
std::string Utf16LeBytes(const std::u16string& text) {
    std::string out;
    for (char16_t u : text) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

TEST(ConfigTemplate, WritesTheSevenLinesByteForByte) {
    TempFolder tmp;
    std::string path = tmp.File("config.xml");
    ASSERT_TRUE(WriteBytes(path, "an older, longer file that must be replaced entirely ......."));
    ASSERT_TRUE(WriteConfigTemplate(path.c_str()));
    const std::u16string expected =
        u"\uFEFF"
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
        u"<VeloraServer VERSION=\"1.0\">\r\n"
        u"\t<ServerConfig PortExternal=\"5555\" ConfigID=\"11111111-1111-1111-1111-111111111111\" />\r\n"
        u"\t<!-- PortExternal - номер порта для запросов от КПК -->\r\n"
        u"\t<!-- Образец описания настроек для КПК: -->\r\n"
        u"\t<PPC DEVICE_ID=\"00000000-0000-0000-0000-000000000000\" PSEUDONIM=\"Agent1\" DIRECTORY=\"PPC1\" />\r\n"
        u"</VeloraServer>\r\n";
    std::string bytes = ReadBytes(path);
    EXPECT_EQ(Utf16LeBytes(expected), bytes);
    EXPECT_EQ("\xFF\xFE<", bytes.substr(0, 3));
}

TEST(ConfigTemplate, FailsWhenTheFileCannotBeOpened) {
    TempFolder tmp;
    EXPECT_FALSE(WriteConfigTemplate(JoinPath(tmp.File("missing"), "config.xml").c_str()));
    EXPECT_FALSE(WriteConfigTemplate(nullptr));
}

void SetLastErrorCode(unsigned code) {
#ifdef _WIN32
    SetLastError(code);
#else
    errno = static_cast<int>(code);
#endif
}

TEST(LastErrorTextTest, MessageThenCodeInHex) {
    char buffer[256];
#ifdef _WIN32
    const unsigned code = ERROR_ACCESS_DENIED;  // 5
    const char* suffix = " (0x5)";
#else
    const unsigned code = ENOENT;  // 2
    const char* suffix = " (0x2)";
#endif
    SetLastErrorCode(code);
    ASSERT_EQ(buffer, LastErrorText(buffer, sizeof buffer));
    std::string text = buffer;
    ASSERT_GT(text.size(), std::strlen(suffix));
    EXPECT_EQ(suffix, text.substr(text.size() - std::strlen(suffix)));
    EXPECT_EQ(std::string::npos, text.find_first_of("\r\n")) << text;  // the line break is cut
#ifndef _WIN32
    EXPECT_EQ("No such file or directory (0x2)", text);
#endif

    // Codes of more than one hex digit are lower case, without leading zeros.
#ifdef _WIN32
    SetLastErrorCode(ERROR_ALREADY_EXISTS);  // 183
    LastErrorText(buffer, sizeof buffer);
    EXPECT_NE(nullptr, std::strstr(buffer, " (0xb7)")) << buffer;
#else
    SetLastErrorCode(ECONNREFUSED);  // 111
    LastErrorText(buffer, sizeof buffer);
    EXPECT_NE(nullptr, std::strstr(buffer, " (0x6f)")) << buffer;
#endif
}

#ifdef _WIN32
// A system message with an insert keeps it as written: no arguments are read for it.
TEST(LastErrorTextTest, MessageWithAnInsertKeepsIt) {
    char buffer[512];
    SetLastErrorCode(ERROR_BAD_EXE_FORMAT);  // 193: "%1 is not a valid Win32 application."
    LastErrorText(buffer, sizeof buffer);
    std::string text = buffer;
    EXPECT_NE(std::string::npos, text.find("%1")) << text;
    EXPECT_NE(std::string::npos, text.find(" (0xc1)")) << text;
}
#endif

TEST(LastErrorTextTest, TooSmallABufferGivesEmptyText) {
    char buffer[256];
#ifdef _WIN32
    const unsigned code = ERROR_ACCESS_DENIED;
#else
    const unsigned code = ENOENT;
#endif
    SetLastErrorCode(code);
    LastErrorText(buffer, sizeof buffer);
    std::string full = buffer;
    ASSERT_FALSE(full.empty());
    // The message as the system gives it: on Windows with its two-character line end.
#ifdef _WIN32
    std::size_t message = full.size() - std::strlen(" (0x5)") + 2;
#else
    std::size_t message = full.size() - std::strlen(" (0x2)");
#endif
    char exact[300];
    SetLastErrorCode(code);
    EXPECT_STREQ(full.c_str(), LastErrorText(exact, message + 14));
    std::memset(exact, 'x', sizeof exact);
    SetLastErrorCode(code);
    EXPECT_STREQ("", LastErrorText(exact, message + 13));
    // The caller's last error is still there afterwards.
#ifdef _WIN32
    EXPECT_EQ(code, GetLastError());
#else
    EXPECT_EQ(static_cast<int>(code), errno);
#endif
}

TEST(LastErrorTextTest, UnknownCodeGivesEmptyText) {
#ifdef _WIN32
    char buffer[256] = "stale";
    SetLastErrorCode(0x2FFFFFFF);  // no message in the system table
    EXPECT_STREQ("", LastErrorText(buffer, sizeof buffer));
#else
    GTEST_SKIP() << "strerror has a text for every number";
#endif
}
}  // namespace
