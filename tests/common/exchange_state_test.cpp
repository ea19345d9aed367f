// The reader of the exchange folder's state and the device table built from it.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "device_rows.h"
#include "exchange_fixture.h"
#include "exchange_state.h"
#include "platform/files.h"
#include "platform/shared_read.h"
#include "test_support.h"

namespace {
const DeviceState& Of(const ExchangeState& s, int device) { return s.devices.at(static_cast<std::size_t>(device)); }

std::string Folder(const TempFolder& t, int device) { return t.File(kFixtureFolders[device]); }

TEST(ExchangeState, FixtureShowsEveryDeviceState) {
    TempFolder exchange;
    std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    BuildExchangeFixture(exchange.Path(), now);

    ExchangeState s = ReadExchangeState(exchange.Path() + kPathSep);
    ASSERT_EQ(s.config, ExchangeState::Config::Read);
    EXPECT_EQ(s.folder, exchange.Path());
    ASSERT_EQ(s.devices.size(), static_cast<std::size_t>(kFixtureDevices));
    for (int i = 0; i < kFixtureDevices; ++i) {
        SCOPED_TRACE(kFixtureFolders[i]);
        EXPECT_EQ(Of(s, i).agentName, kFixtureAgents[i]);
        EXPECT_EQ(Of(s, i).deviceId, kFixtureIds[i]);
        EXPECT_EQ(Of(s, i).folderPath, Folder(exchange, i));
        EXPECT_TRUE(Of(s, i).folderExists);
        EXPECT_EQ(Of(s, i).lockedBy1C, i == kLocked);
        EXPECT_EQ(Of(s, i).from1C.present, i == kBothWays);
        EXPECT_EQ(Of(s, i).deliveredWaiting, i == kBothWays);
        EXPECT_EQ(Of(s, i).partialUpload, i == kPartial);
        EXPECT_EQ(Of(s, i).namedWaiting.size(), i == kNamed ? 1u : 0u);
        EXPECT_EQ(Of(s, i).everConnected, i != kNeverConnected);
    }
    EXPECT_EQ(Of(s, kIdleToday).lastConnection, now);
    EXPECT_EQ(Of(s, kPartial).lastConnection, now - 3 * 86400);

    const DeviceState& both = Of(s, kBothWays);
    EXPECT_EQ(both.from1C.size, kFixtureFrom1CSize);
    EXPECT_NEAR(static_cast<double>(FileTimeToUnix(both.from1C.writeTime)), static_cast<double>(now), 120.0);
    EXPECT_EQ(both.delivered.file, "PPC3\\To1C.zip");
    EXPECT_EQ(both.delivered.size, kFixtureTo1CSize);
    EXPECT_EQ(both.delivered.crc, kFixtureTo1CCrc);
    EXPECT_EQ(both.delivered.recordTime, "2026-12-11 09-30-05");

    EXPECT_EQ(Of(s, kPartial).partialSize, kFixturePartialSize);
    EXPECT_EQ(Of(s, kPartial).partialCrc, kFixturePartialCrc);  // above 2^31: unsigned, as stored

    // report.dat is waiting; taken.dat's record stays in Stack.txt but 1C has taken the file.
    const WaitingUpload& named = Of(s, kNamed).namedWaiting.at(0);
    EXPECT_EQ(named.file, "PPC6\\report.dat");
    EXPECT_EQ(named.size, kFixtureNamedSize);
    EXPECT_EQ(named.crc, kFixtureNamedCrc);
    // The record cut inside its CRC is not taken for a delivery with CRC 9.
    EXPECT_FALSE(Of(s, kNamed).deliveredWaiting);
    EXPECT_EQ(s.incompleteRecords, 1);

    EXPECT_EQ(s.unconfiguredFolders, std::vector<std::string>{kFixtureUnconfigured});

    // A device whose folder is gone (the service would refuse it) says so.
    ASSERT_TRUE(std::filesystem::remove(Folder(exchange, kNeverConnected)));
    ExchangeState gone = ReadExchangeState(exchange.Path());
    EXPECT_FALSE(Of(gone, kNeverConnected).folderExists);
    EXPECT_EQ(BuildDeviceRows(gone, now, RowLanguage::Russian)[kNeverConnected].cells[kColLastConnection], "нет папки");
}

TEST(ExchangeState, ConfigMissingOrHalfWritten) {
    TempFolder exchange;
    BuildExchangeFixture(exchange.Path(), 0);
    std::string config = ReadBytes(exchange.File("config.xml"));

    // An editor saving config.xml: a cut document. No devices, and the device folders are not
    // called unconfigured for want of a device list.
    ASSERT_TRUE(WriteFixtureFile(exchange.File("config.xml"), config.substr(0, config.size() / 2)));
    ExchangeState cut = ReadExchangeState(exchange.Path());
    EXPECT_EQ(cut.config, ExchangeState::Config::Unparsed);
    EXPECT_TRUE(cut.devices.empty());
    EXPECT_TRUE(cut.unconfiguredFolders.empty());

    ASSERT_TRUE(RemoveFile(exchange.File("config.xml")));
    ExchangeState missing = ReadExchangeState(exchange.Path());
    EXPECT_EQ(missing.config, ExchangeState::Config::Missing);
    EXPECT_TRUE(missing.devices.empty());

    ExchangeState nowhere = ReadExchangeState(exchange.File("no-such-folder"));
    EXPECT_EQ(nowhere.config, ExchangeState::Config::Missing);
}

TEST(ExchangeState, RecordsAndStampsCaughtHalfWritten) {
    const std::string full = FixtureRecord(kBothWays, "To1C.zip", kFixtureTo1CCrc);
    const std::string lfOnly = full.substr(0, full.size() - 2) + "\n";
    std::string lowerId = full;
    for (std::size_t i = 0; i < 36; ++i) lowerId[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lowerId[i])));
    std::string oldFolder = full;
    oldFolder.replace(oldFolder.find("PPC3\\"), 5, "PPC9\\");
    struct Case {
        const char* what;
        std::string status;
        bool delivered;
        int incomplete;
    } cases[] = {
        {"empty file", "", false, 0},
        {"first record without its line end", full.substr(0, full.size() - 2), false, 1},
        {"cut in the middle", full.substr(0, 40), false, 1},
        {"CRC not a number", full.substr(0, full.size() - 3) + "x\r\n", false, 1},
        {"three fields", std::string(kFixtureIds[kBothWays]) + "\tagent\tPPC3\\To1C.zip\r\n", false, 1},
        {"LF line end", lfOnly, true, 0},
        {"identifier in other case", lowerId, true, 0},
        {"blank lines around", "\r\n" + full + "\r\n", true, 0},
        {"record of another folder", oldFolder, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder exchange;
        BuildExchangeFixture(exchange.Path(), 0);
        ASSERT_TRUE(WriteFixtureFile(exchange.File("Status.txt"), c.status));
        ExchangeState s = ReadExchangeState(exchange.Path());
        EXPECT_EQ(Of(s, kBothWays).deliveredWaiting, c.delivered);
        if (c.delivered) {
            EXPECT_EQ(Of(s, kBothWays).delivered.crc, kFixtureTo1CCrc);
        }
        EXPECT_EQ(s.incompleteRecords, c.incomplete);
    }

    // A connection stamp caught before its seconds were written reads as no connection.
    TempFolder exchange;
    BuildExchangeFixture(exchange.Path(), 1000);
    std::string stamp = JoinPath(Folder(exchange, kIdleToday), "LastConnectionTime");
    for (const char* text : {"", "22222222-2222-2222-2222-222222222222|Петров|", "2222|Петров|12a"}) {
        ASSERT_TRUE(WriteFixtureFile(stamp, text));
        EXPECT_FALSE(Of(ReadExchangeState(exchange.Path()), kIdleToday).everConnected) << text;
    }
}

// The service rewrites Status.txt while the window refreshes: in place (truncate, then the
// lines) or by renaming a finished copy over it. A reader holds the file only for the moment of
// reading, so a replace that meets it succeeds on a retry soon after (Windows refuses to replace
// a file that is open at all), and the reader never shows a record the service did not write.
TEST(ExchangeState, ReadsWhileTheServiceRewritesStatus) {
    TempFolder exchange;
    BuildExchangeFixture(exchange.Path(), 0);
    const std::string status = exchange.File("Status.txt"), fresh = exchange.File("Status.new");
    const std::string a = FixtureRecord(kBothWays, "To1C.zip", 1111111111), b = FixtureRecord(kBothWays, "To1C.zip", 2222);
    ASSERT_TRUE(WriteFixtureFile(status, a));

    const int kWrites = 1500;
    std::atomic<int> lost{0}, writes{0};
    std::thread writer([&] {
        for (int i = 0; i < kWrites; ++i, ++writes) {
            const std::string& text = i % 2 ? a : b;
            if (i % 4 < 2) {
                std::FILE* f = FileOpen(status, "wb");  // in place, in two pieces
                if (!f) continue;
                std::fwrite(text.data(), 1, text.size() / 2, f);
                std::fflush(f);
                std::fwrite(text.data() + text.size() / 2, 1, text.size() - text.size() / 2, f);
                std::fclose(f);
                continue;
            }
            bool done = WriteFixtureFile(fresh, text);
            for (int tries = 0; done && !RenameReplace(fresh, status); ++tries) {
                if (tries == 200) done = false;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (!done) ++lost;
        }
    });
    int reads = 0, seen = 0;
    while (writes < kWrites && reads < 1000) {
        ExchangeState s = ReadExchangeState(exchange.Path());
        ++reads;
        ASSERT_EQ(s.config, ExchangeState::Config::Read);
        const DeviceState& d = Of(s, kBothWays);
        if (d.deliveredWaiting) {
            ++seen;
            EXPECT_TRUE(d.delivered.crc == 1111111111u || d.delivered.crc == 2222u) << d.delivered.crc;
        }
    }
    writer.join();
    EXPECT_EQ(lost, 0);
    EXPECT_GT(seen, 0);
    // Nothing stays open after a read: the service's replace and delete go through at once.
    ReadExchangeState(exchange.Path());
    ASSERT_TRUE(WriteFixtureFile(fresh, a));
    EXPECT_TRUE(RenameReplace(fresh, status));
    EXPECT_TRUE(RemoveFile(status));
}

#ifdef _WIN32
// The service renames download.tmp and deletes CRC through handles that hold delete access,
// and writes Status.txt while it is open: the reader must share all of it, or its open fails
// (and a reader that got in first would make those operations fail).
TEST(ExchangeState, ReadSharesWriteAndDelete) {
    TempFolder exchange;
    const std::string path = exchange.File("Status.txt");
    ASSERT_TRUE(WriteFixtureFile(path, "record\r\n"));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    std::string content;
    EXPECT_TRUE(ReadSharedFile(path, 1024, &content));
    EXPECT_EQ(content, "record\r\n");
    std::FILE* plain = std::fopen(path.c_str(), "rb");  // what a plain C read would get: refused
    EXPECT_EQ(plain, nullptr);
    if (plain) std::fclose(plain);
    CloseHandle(writer);
}
#endif

std::vector<std::string> FolderOrder(const std::vector<DeviceRow>& rows) {
    std::vector<std::string> out;
    for (const DeviceRow& r : rows) out.push_back(r.cells[kColFolder]);
    return out;
}

TEST(DeviceRows, CellsAndOrders) {
    TempFolder exchange;
    std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    BuildExchangeFixture(exchange.Path(), now);
    std::vector<DeviceRow> rows = BuildDeviceRows(ReadExchangeState(exchange.Path()), now, RowLanguage::Russian);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kFixtureDevices + 1));

    const DeviceRow& both = rows[kBothWays];
    EXPECT_EQ(both.cells[kColAgent], "Сидоров");
    EXPECT_EQ(both.cells[kColFrom1CSize], "1000");
    EXPECT_EQ(both.cells[kColFor1CFile], "To1C.zip");
    EXPECT_EQ(both.cells[kColFor1CSize], "500");
    EXPECT_EQ(both.cells[kColFor1CCrc], "305419896");
    EXPECT_EQ(both.cells[kColLastConnection], FormatLocalTime(now));
    EXPECT_TRUE(both.connectedToday);
    EXPECT_EQ(rows[kNeverConnected].cells[kColLastConnection], "никогда");
    EXPECT_FALSE(rows[kNeverConnected].connectedToday);
    EXPECT_FALSE(rows[kPartial].connectedToday);
    EXPECT_EQ(rows[kPartial].cells[kColPartialSize], "20480");
    EXPECT_EQ(rows[kPartial].cells[kColPartialCrc], "4000000000");
    EXPECT_EQ(rows[kLocked].cells[kColLock], "да");
    EXPECT_EQ(rows[kNamed].cells[kColNamed], "report.dat (120)");
    EXPECT_EQ(rows[kFixtureDevices].cells[kColAgent], "(нет в config.xml)");
    EXPECT_EQ(rows[kFixtureDevices].folderPath, exchange.File("OLD7"));
    EXPECT_FALSE(rows[kFixtureDevices].configured);

    // Morning order: the two that have not connected today, then today's, each by agent name
    // (Иванов, Кузнецов; Петров, Попов, Сидоров, Смирнов), the unconfigured folder last.
    SortDeviceRows(&rows, -1, false);
    EXPECT_EQ(FolderOrder(rows), (std::vector<std::string>{"PPC1", "PPC4", "PPC2", "PPC6", "PPC3", "PPC5", "OLD7"}));
    // Numbers by value, empty cells first; ties keep the morning order.
    SortDeviceRows(&rows, kColPartialCrc, true);
    EXPECT_EQ(FolderOrder(rows)[0], "PPC4");
    SortDeviceRows(&rows, kColLastConnection, false);
    EXPECT_EQ(FolderOrder(rows), (std::vector<std::string>{"OLD7", "PPC1", "PPC4", "PPC2", "PPC6", "PPC3", "PPC5"}));
    SortDeviceRows(&rows, kColAgent, true);
    EXPECT_EQ(FolderOrder(rows), (std::vector<std::string>{"PPC5", "PPC3", "PPC6", "PPC2", "PPC4", "PPC1", "OLD7"}));

    std::vector<DeviceRow> english = BuildDeviceRows(ReadExchangeState(exchange.Path()), now, RowLanguage::English);
    EXPECT_EQ(english[kNeverConnected].cells[kColLastConnection], "never");
    EXPECT_STREQ(ColumnTitle(kColLock, RowLanguage::English), "1C lock");
}

TEST(DeviceRows, TodayIsTheLocalCalendarDay) {
    std::time_t t = std::time(nullptr);
    std::tm local = {};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 30;
    local.tm_isdst = -1;
    std::int64_t midnight = static_cast<std::int64_t>(std::mktime(&local));
    EXPECT_TRUE(SameLocalDay(midnight, midnight + 23 * 3600));
    EXPECT_FALSE(SameLocalDay(midnight, midnight - 60));
}
}  // namespace
