// Folders, file attributes and file operations of the platform layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "test_support.h"

namespace {
TEST(Files, JoinPathAddsOneSeparator) {
    std::string sep(1, kPathSep);
    EXPECT_EQ("a" + sep + "b", JoinPath("a", "b"));
    EXPECT_EQ("a" + sep + "b", JoinPath("a" + sep, "b"));
    EXPECT_EQ("b", JoinPath("", "b"));
}

TEST(Files, CreateListAndRemove) {
    TempFolder tmp;
    std::string nested = JoinPath(JoinPath(tmp.Path(), "x"), "y");
    EXPECT_FALSE(CreateFolder(nested));  // one level only
    EXPECT_TRUE(CreateFolderTree(nested));
    EXPECT_TRUE(CreateFolderTree(nested));  // already there
    EXPECT_TRUE(CreateFolder(nested));
    EXPECT_TRUE(FolderExists(nested));
    EXPECT_FALSE(FileExists(nested));

    // A Cyrillic name is the same file to every call that takes an ANSI path.
    std::string file = JoinPath(nested, "Отчёт.txt");
    ASSERT_TRUE(WriteBytes(file, "12345"));
    EXPECT_TRUE(FileExists(file));
    FileItem item;
    ASSERT_TRUE(GetFileItem(file, &item));
    EXPECT_EQ("Отчёт.txt", item.name);
    EXPECT_EQ(5u, item.size);
    EXPECT_FALSE(item.IsFolder());
    EXPECT_GT(item.lastWriteTime, 116444736000000000ULL);  // after 1970 in FILETIME units

    std::vector<FileItem> items;
    ASSERT_TRUE(ListFolder(JoinPath(tmp.Path(), "x"), &items));
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ("y", items[0].name);
    EXPECT_TRUE(items[0].IsFolder());
    ASSERT_TRUE(ListFolder(nested, &items));
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ("Отчёт.txt", items[0].name);

    std::string moved = JoinPath(nested, "moved.txt");
    ASSERT_TRUE(WriteBytes(moved, "old"));
    EXPECT_TRUE(RenameReplace(file, moved));  // replaces the existing file
    EXPECT_EQ("12345", ReadBytes(moved));
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(RemoveFile(moved));
    EXPECT_FALSE(RemoveFile(moved));
    EXPECT_FALSE(ListFolder(JoinPath(tmp.Path(), "missing"), &items));
    EXPECT_TRUE(items.empty());
    EXPECT_FALSE(GetFileItem(moved, &item));
}

TEST(Files, ClearAttributesMakesAReadOnlyFileWritable) {
    TempFolder tmp;
    std::string file = tmp.File("From1C.zip");
    ASSERT_TRUE(WriteBytes(file, "z"));
    ASSERT_TRUE(MakeReadOnlyHidden(file));
    FileItem item;
    ASSERT_TRUE(GetFileItem(file, &item));
    EXPECT_TRUE(item.attributes & kAttrReadOnly);
    EXPECT_TRUE(ClearFileAttributes(file));
    ASSERT_TRUE(GetFileItem(file, &item));
    EXPECT_FALSE(item.attributes & kAttrReadOnly);
    EXPECT_TRUE(WriteBytes(file, "new"));
    EXPECT_FALSE(ClearFileAttributes(tmp.File("absent.zip")));
}
}  // namespace
