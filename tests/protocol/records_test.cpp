// TextTable, the transfer records Status.txt / Stack.txt, CleanStack and the directory listing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "exchange/dir_listing.h"
#include "exchange/records.h"
#include "exchange/text_table.h"
#include "host/log.h"
#include "platform/files.h"
#include "protocol/crc32.h"
#include "support.h"

TEST(TextTable, LoadFindSelectDeleteSave) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "t.txt", "a\tb\r\nc\t\td\ne\x01\r\nlast"));
    TextTable t;
    ASSERT_TRUE(t.Load(dir / "t.txt"));
    ASSERT_EQ(t.Count(), 4);
    t.Select(2);
    EXPECT_EQ(t.Current(), "e\x01");  // only one trailing control character is cut
    EXPECT_EQ(t.Find(0, "c", -1), 1);
    EXPECT_EQ(t.Find(0, "c", 1), -1);
    EXPECT_EQ(t.Find(1, "d", -1), 1);  // consecutive TABs count as one
    t.Select(5);                         // modulo the number of rows
    EXPECT_EQ(t.Current(), "c\t\td");
    t.DeleteCurrent();
    EXPECT_EQ(t.Current(), "e\x01");
    EXPECT_TRUE(t.Next());
    EXPECT_FALSE(t.Next());
    EXPECT_TRUE(t.AtEnd());
    t.Append();
    t.SetCurrent("new");
    ASSERT_TRUE(t.Save());
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(ReadFile(dir / "t.txt"), "a\tb\r\ne\x01\r\nlast\r\nnew\r\n");

    // A missing file starts empty and is written afresh.
    EXPECT_FALSE(t.Load(dir / "none.txt"));
    t.Append();
    t.SetCurrent("x");
    ASSERT_TRUE(t.Save());
    EXPECT_EQ(ReadFile(dir / "none.txt"), "x\r\n");
}

TEST(TextTable, LongLinesStayWhole) {
    TempDir dir;
    std::string longLine(3000, 'z');
    ASSERT_TRUE(WriteFile(dir / "t.txt", longLine + "\r\nshort\r\n"));
    TextTable t;
    ASSERT_TRUE(t.Load(dir / "t.txt"));
    ASSERT_EQ(t.Count(), 2);
    EXPECT_EQ(t.Current(), longLine);
}

TEST(TextTable, Fields) {
    EXPECT_EQ(TextTable::GetField("a\tb\tc", 1), "b");
    EXPECT_EQ(TextTable::GetField("\ta\t\tb", 1), "b");
    EXPECT_EQ(TextTable::GetField("a", 3), "");
    EXPECT_EQ(TextTable::GetField("a\t\x01\tc", 1), "");
    EXPECT_EQ(TextTable::SetField("", 2, "x"), "\x01\t\x01\tx");
    EXPECT_EQ(TextTable::SetField("a\tb\tc", 1, "B"), "a\tB\tc");
    // An empty value or one with TABs would shift the fields after it.
    std::string row = TextTable::SetField("a\tb\tc", 1, "");
    EXPECT_EQ(TextTable::GetField(row, 1), "");
    EXPECT_EQ(TextTable::GetField(row, 2), "c");
    row = TextTable::SetField("a\tb\tc", 1, "x\ty");
    EXPECT_EQ(TextTable::GetField(row, 1), "x y");
    EXPECT_EQ(TextTable::GetField(row, 2), "c");
}

namespace {

struct RecordsFixture : ::testing::Test {
    TempDir dir;
    void SetUp() override {
        InitExchangeLock();
        RecreateHandoffQueue();
        SetLogPath(dir / "log.txt");
        CreateFolder(dir / "PPC1");
    }
    void TearDown() override { ReleaseHandoffQueue(); }
    std::vector<std::string> Fields(const std::string& line) {
        std::vector<std::string> f;
        for (int i = 0; i < 6; ++i) f.push_back(TextTable::GetField(line, i));
        return f;
    }
};
}  // namespace

TEST_F(RecordsFixture, UploadsGoToStatusThenStack) {
    std::string data = "first";
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "To1C.zip"), data));
    RecordTransfer(kDeviceA, "Agent One", dir.Path(), "PPC1", "To1C.zip", 1, "127.0.0.1");
    std::vector<std::string> status = Lines(ReadFile(dir / "Status.txt"));
    ASSERT_EQ(status.size(), 1u);
    std::vector<std::string> f = Fields(status[0]);
    EXPECT_EQ(f[0], kDeviceA);
    EXPECT_EQ(f[1], "Agent One");
    EXPECT_EQ(f[2], "PPC1\\To1C.zip");
    EXPECT_TRUE(IsStamp(f[3])) << f[3];
    EXPECT_EQ(f[4], std::to_string(Crc32(data.data(), data.size())));
    EXPECT_EQ(f[5], "");
    EXPECT_EQ(ReadFile(dir / "Status.txt").substr(status[0].size()), "\r\n");

    // A second upload replaces the record in place; another device gets its own.
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "To1C.zip"), "second"));
    RecordTransfer(kDeviceA, "Agent One", dir.Path(), "PPC1", "To1C.zip", 1, "127.0.0.1");
    CreateFolder(dir / "PPC2");
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC2", "To1C.zip"), "b"));
    RecordTransfer(kDeviceB, "Agent Two", dir.Path(), "PPC2", "To1C.zip", 1, "127.0.0.1");
    status = Lines(ReadFile(dir / "Status.txt"));
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(Fields(status[0])[4], std::to_string(Crc32("second", 6)));
    EXPECT_EQ(Fields(status[1])[0], kDeviceB);

    // A named upload goes to Stack.txt; Status.txt is written back unchanged.
    std::string before = ReadFile(dir / "Status.txt");
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "report.dat"), "r1"));
    RecordTransfer(kDeviceA, "Agent One", dir.Path(), "PPC1", "report.dat", 1, "127.0.0.1");
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "report.dat"), "r2"));
    RecordTransfer(kDeviceA, "Agent One", dir.Path(), "PPC1", "report.dat", 1, "127.0.0.1");
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "other.dat"), "o"));
    RecordTransfer(kDeviceA, "Agent One", dir.Path(), "PPC1", "other.dat", 1, "127.0.0.1");
    EXPECT_EQ(ReadFile(dir / "Status.txt"), before);
    std::vector<std::string> stack = Lines(ReadFile(dir / "Stack.txt"));
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_EQ(Fields(stack[0])[2], "PPC1\\report.dat");
    EXPECT_EQ(Fields(stack[0])[4], std::to_string(Crc32("r2", 2)));
    EXPECT_EQ(Fields(stack[1])[2], "PPC1\\other.dat");

    std::vector<std::string> log = Lines(ReadFile(dir / "log.txt"));
    ASSERT_EQ(log.size(), 6u);
    EXPECT_NE(log[0].find(std::string(" 127.0.0.1 IN ") + kDeviceA + " Agent One PPC1\\To1C.zip "),
              std::string::npos)
        << log[0];
    EXPECT_NE(log[0].find(" " + std::to_string(Crc32("first", 5)) + " 5"), std::string::npos) << log[0];
}

// 1C's component reads Status.txt with a plain fopen while the service works: Windows refuses
// to replace a file held open that way, so the record is written once the reader lets go
// (within the bound) instead of being lost and the upload left unacknowledged.
TEST_F(RecordsFixture, RecordWaitsForAReaderOfStatusTxt) {
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "To1C.zip"), "first"));
    ASSERT_TRUE(RecordTransfer(kDeviceA, "Agent One", dir.Path(), "PPC1", "To1C.zip", 1, "127.0.0.1"));
    std::FILE* reader = std::fopen((dir / "Status.txt").c_str(), "rb");
    ASSERT_NE(reader, nullptr);
    std::thread closer([reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        std::fclose(reader);
    });
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "To1C.zip"), "second"));
    bool recorded = RecordTransfer(kDeviceA, "Agent One", dir.Path(), "PPC1", "To1C.zip", 1, "127.0.0.1");
    closer.join();
    EXPECT_TRUE(recorded);
    std::vector<std::string> status = Lines(ReadFile(dir / "Status.txt"));
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(Fields(status[0])[4], std::to_string(Crc32("second", 6)));
}

TEST_F(RecordsFixture, DownloadWritesOnlyTheLogLine) {
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "From1C.zip"), "data"));
    RecordTransfer(kDeviceA, "Agent", dir.Path(), "PPC1", "From1C.zip", -1, "10.0.0.5");
    EXPECT_FALSE(Exists(dir / "Status.txt"));
    EXPECT_FALSE(Exists(dir / "Stack.txt"));
    std::string log = ReadFile(dir / "log.txt");
    EXPECT_NE(log.find(std::string(" 10.0.0.5 OUT ") + kDeviceA + " Agent PPC1\\From1C.zip "), std::string::npos);
    EXPECT_NE(log.find(" " + std::to_string(Crc32("data", 4)) + " 4\r\n"), std::string::npos) << log;
}

TEST_F(RecordsFixture, CrcIsUnsigned) {
    // Find content whose CRC has the top bit set.
    std::string data;
    for (unsigned seed = 0;; ++seed) {
        data = RandomBytes(16, seed);
        if (Crc32(data.data(), data.size()) >= 0x80000000u) break;
    }
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "To1C.zip"), data));
    RecordTransfer(kDeviceA, "A", dir.Path(), "PPC1", "To1C.zip", 1, "p");
    EXPECT_EQ(TextTable::GetField(Lines(ReadFile(dir / "Status.txt"))[0], 4),
              std::to_string(Crc32(data.data(), data.size())));
}

TEST_F(RecordsFixture, CleanStackDropsRecordsOfTakenFiles) {
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC1", "kept.dat"), "k"));
    std::string stack = std::string(kDeviceA) + "\tA\tPPC1\\gone.dat\t2024-01-01 00-00-00\t1\r\n" +
                        kDeviceA + "\tA\tPPC1\\kept.dat\t2024-01-01 00-00-00\t2\r\n" + kDeviceB +
                        "\tB\tPPC2\\gone.dat\t2024-01-01 00-00-00\t3\r\n";
    ASSERT_TRUE(WriteFile(dir / "Stack.txt", stack));
    CleanStack(dir.Path());
    std::vector<std::string> rows = Lines(ReadFile(dir / "Stack.txt"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(TextTable::GetField(rows[0], 2), "PPC1\\kept.dat");

    RemoveFile(JoinPath(dir / "PPC1", "kept.dat"));
    CleanStack(dir.Path());
    EXPECT_FALSE(Exists(dir / "Stack.txt"));
    CleanStack(dir.Path());  // no Stack.txt: nothing happens
    EXPECT_FALSE(Exists(dir / "Stack.txt"));
}

TEST(DirListing, TreeAndFindChild) {
    TempDir dir;
    CreateFolder(dir / "PPC1");
    CreateFolder(JoinPath(dir / "PPC1", "From1C.zip"));  // a folder is not 1C's data
    CreateFolder(dir / "PPC2");
    ASSERT_TRUE(WriteFile(JoinPath(dir / "PPC2", "FROM1C.ZIP"), "12345"));
    ASSERT_TRUE(WriteFile(dir / "PPC3", "a file named like a device folder"));
    DirListing listing;
    ASSERT_TRUE(listing.List(dir.Path()));
    ASSERT_EQ(listing.Count(), 3);
    for (const DirEntry& e : listing.Entries()) {
        if (e.name == "PPC1") {
            EXPECT_EQ(e.type, 'd');
            EXPECT_EQ(DirListing::FindChild(e, "From1C.zip", 'f'), nullptr);
            EXPECT_NE(DirListing::FindChild(e, "from1c.zip", 'd'), nullptr);
        } else if (e.name == "PPC2") {
            const DirEntry* data = DirListing::FindChild(e, "From1C.zip", 'f');
            ASSERT_NE(data, nullptr);
            EXPECT_EQ(data->findData.size, 5u);
        } else {
            EXPECT_EQ(e.type, 'f');
        }
    }
    DirListing none;
    EXPECT_FALSE(none.List(dir / "missing"));
    EXPECT_EQ(none.Count(), 0);
}
