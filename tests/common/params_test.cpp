// The parameters store itself: types, names without case, sizes, deleting a tree and, in the
// POSIX build, the file's format and its safety against concurrent writers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/params.h"
#include "test_support.h"

#ifndef _WIN32
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
const char kKey[] = "SOFTWARE\\VeloraTest\\Store";

class Params : public ::testing::Test {
protected:
    void SetUp() override { ParamsDeleteTree("SOFTWARE\\VeloraTest"); }
    void TearDown() override { ParamsDeleteTree("SOFTWARE\\VeloraTest"); }
};

TEST_F(Params, StringsAndDwordsWithTheirFailures) {
    char buffer[32] = "stale";
    EXPECT_FALSE(ParamsReadString(kKey, "Name", buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);

    ASSERT_TRUE(ParamsWriteString(kKey, "Name", "Value one"));
    ASSERT_TRUE(ParamsWriteDword(kKey, "Count", 0xDEADBEEF));
    ASSERT_TRUE(ParamsReadString(kKey, "NAME", buffer, sizeof buffer));  // names ignore case
    EXPECT_STREQ("Value one", buffer);
    std::uint32_t n = 0;
    ASSERT_TRUE(ParamsReadDword("software\\veloratest\\STORE", "count", &n));
    EXPECT_EQ(0xDEADBEEFu, n);

    // A value of the other type does not read.
    EXPECT_FALSE(ParamsReadDword(kKey, "Name", &n));
    EXPECT_FALSE(ParamsReadString(kKey, "Count", buffer, sizeof buffer));

    // Exactly fitting, one byte short.
    EXPECT_TRUE(ParamsReadString(kKey, "Name", buffer, 10));
    EXPECT_FALSE(ParamsReadString(kKey, "Name", buffer, 9));
    EXPECT_STREQ("", buffer);

    // Overwrite, empty string.
    ASSERT_TRUE(ParamsWriteString(kKey, "Name", ""));
    std::strcpy(buffer, "x");
    EXPECT_TRUE(ParamsReadString(kKey, "Name", buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST_F(Params, DeleteTreeRemovesSubkeysToo) {
    ASSERT_TRUE(ParamsWriteDword(kKey, "A", 1));
    ASSERT_TRUE(ParamsWriteDword("SOFTWARE\\VeloraTest\\Store\\Sub", "B", 2));
    ASSERT_TRUE(ParamsWriteDword("SOFTWARE\\VeloraTestOther", "C", 3));
    EXPECT_TRUE(ParamsDeleteTree(kKey));
    std::uint32_t n = 0;
    EXPECT_FALSE(ParamsReadDword(kKey, "A", &n));
    EXPECT_FALSE(ParamsReadDword("SOFTWARE\\VeloraTest\\Store\\Sub", "B", &n));
    EXPECT_TRUE(ParamsReadDword("SOFTWARE\\VeloraTestOther", "C", &n));  // a sibling with a longer name stays
    EXPECT_EQ(3u, n);
    EXPECT_FALSE(ParamsDeleteTree(kKey));  // nothing left to delete
    EXPECT_TRUE(ParamsDeleteTree("SOFTWARE\\VeloraTestOther"));
}

TEST_F(Params, AnsiTextSurvives) {
    // Every byte the ANSI code page can hold in a registry string (all but NUL).
    std::string all;
    for (int i = 1; i < 256; ++i) all.push_back(static_cast<char>(i));
#ifdef _WIN32
    all.erase(all.find('\x98'), 1);  // unassigned in Windows-1251; the registry stores UTF-16
#endif
    const std::string texts[] = {all, "C:\\Обмен", "line\r\nbreak", "a=b;[c]%41", "  padded  "};
    for (const std::string& text : texts) {
        ASSERT_TRUE(ParamsWriteString(kKey, "Text", text.c_str()));
        char buffer[512];
        ASSERT_TRUE(ParamsReadString(kKey, "Text", buffer, sizeof buffer));
        EXPECT_EQ(text, buffer);
    }
}

TEST_F(Params, ConcurrentWritersInOneProcessLoseNothing) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 25; ++i)
                ParamsWriteDword(kKey, ("T" + std::to_string(t) + "_" + std::to_string(i)).c_str(),
                                 static_cast<std::uint32_t>(t * 100 + i));
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 25; ++i) {
            std::uint32_t n = 0;
            ASSERT_TRUE(ParamsReadDword(kKey, ("T" + std::to_string(t) + "_" + std::to_string(i)).c_str(), &n));
            EXPECT_EQ(static_cast<std::uint32_t>(t * 100 + i), n);
        }
    }
}

#ifndef _WIN32
TEST_F(Params, ConcurrentWriterProcessesLoseNothing) {
    const int kProcesses = 4, kWrites = 20;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kWrites; ++i)
                ok = ParamsWriteDword(kKey, ("P" + std::to_string(p) + "_" + std::to_string(i)).c_str(), i) && ok;
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kWrites; ++i) {
            std::uint32_t n = 99;
            ASSERT_TRUE(ParamsReadDword(kKey, ("P" + std::to_string(p) + "_" + std::to_string(i)).c_str(), &n));
            EXPECT_EQ(static_cast<std::uint32_t>(i), n);
        }
    }
}

TEST_F(Params, FileIsReadableTextAndToleratesDamage) {
    ASSERT_TRUE(ParamsWriteString(kKey, "Folder", "/srv/Обмен"));
    ASSERT_TRUE(ParamsWriteDword(kKey, "Count", 7));
    std::string text = ReadBytes(ParamsLocation());
    EXPECT_NE(std::string::npos, text.find("[SOFTWARE\\VeloraTest\\Store]\n")) << text;
    EXPECT_NE(std::string::npos, text.find(u8"Folder=sz:/srv/Обмен\n")) << text;
    EXPECT_NE(std::string::npos, text.find("Count=dword:00000007\n")) << text;

    // Lines an editor may leave behind are skipped; the rest still reads.
    text += "garbage line\nBroken=dword:xyz\n[unterminated\nOrphan=sz:1\n";
    ASSERT_TRUE(WriteBytes(ParamsLocation(), text));
    std::uint32_t n = 0;
    EXPECT_TRUE(ParamsReadDword(kKey, "Count", &n));
    EXPECT_EQ(7u, n);
    EXPECT_FALSE(ParamsReadDword(kKey, "Broken", &n));
    ASSERT_TRUE(ParamsWriteDword(kKey, "Count", 8));  // a write after damage keeps the good values
    char buffer[64];
    EXPECT_TRUE(ParamsReadString(kKey, "Folder", buffer, sizeof buffer));
    EXPECT_STREQ("/srv/Обмен", buffer);
}

TEST(ParamsLocationTest, EnvironmentOverrides) {
    const char* saved = std::getenv("VELORA_PARAMS");
    std::string keep = saved ? saved : "";
    setenv("VELORA_PARAMS", "/tmp/some/params.ini", 1);
    EXPECT_EQ("/tmp/some/params.ini", ParamsLocation());
    unsetenv("VELORA_PARAMS");
    std::string fallback = ParamsLocation();
    EXPECT_TRUE(fallback == "/var/lib/velora/params.ini" || fallback.find("/.velora/params.ini") != std::string::npos)
        << fallback;
    setenv("VELORA_PARAMS", keep.c_str(), 1);
}
#endif
}  // namespace
