// Many handhelds at once, each downloading and uploading: every file intact, every record
// present. Runs under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <thread>

#include "exchange/records.h"
#include "exchange/text_table.h"
#include "handheld.h"
#include "platform/files.h"
#include "protocol/crc32.h"
#include "protocol/protocol.h"
#include "support.h"

namespace {
std::string DeviceId(int i) {
    char id[40];
    std::snprintf(id, sizeof id, "%08X-0000-4000-8000-%012X", 0xA0000000u + i, i);
    return id;
}
std::string Folder(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "PPC%02d", i);
    return name;
}
}  // namespace

TEST(ManyHandhelds, FiftySessionsInParallel) {
    constexpr int kCount = 50;
    CProtocol::SetConsoleEvents(false);
    InitExchangeLock();
    RecreateHandoffQueue();
    TempDir ex;
    std::vector<TestDevice> devices;
    std::vector<std::string> toHandheld(kCount), fromHandheld(kCount);
    for (int i = 0; i < kCount; ++i) {
        devices.push_back({DeviceId(i), "Agent " + std::to_string(i), Folder(i)});
        CreateFolder(ex / Folder(i));
        toHandheld[i] = RandomBytes(64 * 1024 + 17 * i, 1000 + i);
        fromHandheld[i] = RandomBytes(64 * 1024 + 31 * i, 2000 + i);
        WriteFile(JoinPath(ex / Folder(i), "From1C.zip"), toHandheld[i]);
        WriteFile(ex / ("up" + std::to_string(i)), fromHandheld[i]);
    }
    {
        SessionServer server(ex.Path(), devices);
        std::vector<std::thread> clients;
        std::vector<std::string> errors(kCount);
        for (int i = 0; i < kCount; ++i) {
            clients.emplace_back([&, i] {
                Handheld h;
                std::string local = ex / ("down" + std::to_string(i));
                bool ok = h.Connect("127.0.0.1", server.Port()) && h.Authorize(DeviceId(i), i % 2 == 0, 22) &&
                          h.Download(local, i % 3 == 0 ? 65536 : 2048, false, 0) &&
                          h.Upload(ex / ("up" + std::to_string(i)), "", false, 4096, false) && h.End();
                if (!ok) errors[i] = h.error;
            });
        }
        for (std::thread& t : clients) t.join();
        server.WaitIdle();
        for (int i = 0; i < kCount; ++i) EXPECT_EQ(errors[i], "") << "handheld " << i;
        EXPECT_EQ(server.Sessions(), kCount);
    }
    std::set<std::string> recorded;
    for (const std::string& row : Lines(ReadFile(ex / "Status.txt"))) {
        recorded.insert(TextTable::GetField(row, 0));
        int i = std::stoi(TextTable::GetField(row, 2).substr(3, 2));
        EXPECT_EQ(TextTable::GetField(row, 4),
                  std::to_string(Crc32(fromHandheld[i].data(), fromHandheld[i].size())));
    }
    EXPECT_EQ(recorded.size(), static_cast<std::size_t>(kCount));
    std::string log = ReadFile(ex / "log.txt");
    for (int i = 0; i < kCount; ++i) {
        EXPECT_TRUE(SameBytes(ReadFile(ex / ("down" + std::to_string(i))), toHandheld[i])) << i;
        EXPECT_TRUE(SameBytes(ReadFile(JoinPath(ex / Folder(i), "To1C.zip")), fromHandheld[i])) << i;
        EXPECT_FALSE(Exists(JoinPath(ex / Folder(i), "From1C.zip"))) << i;
        EXPECT_NE(log.find(" IN " + DeviceId(i) + " Agent " + std::to_string(i) + " " + Folder(i) + "\\To1C.zip "),
                  std::string::npos) << i;
        EXPECT_NE(log.find(" OUT " + DeviceId(i) + " Agent " + std::to_string(i) + " " + Folder(i) + "\\From1C.zip "),
                  std::string::npos) << i;
    }
    EXPECT_EQ(Lines(log).size(), static_cast<std::size_t>(2 * kCount));
    ReleaseHandoffQueue();
}
