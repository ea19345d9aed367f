// An exchange folder with two device folders and an in-process session server on it.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "exchange/text_table.h"
#include "handheld.h"
#include "platform/files.h"
#include "protocol/crc32.h"
#include "support.h"

constexpr char kDeviceNoFolder[] = "11111111-2222-3333-4444-555555555555";
constexpr char kDeviceDotDot[] = "66666666-7777-8888-9999-AAAAAAAAAAAA";

struct SessionTest : ::testing::Test {
    TempDir ex;
    std::unique_ptr<SessionServer> server;
    std::vector<std::string> printed;

    void SetUp() override {
        CreateFolder(ex / "PPC1");
        CreateFolder(ex / "PPC2");
        Start(30000, false);
    }
    void Start(int timeoutMs, bool syncTime) {
        server.reset();
        server.reset(new SessionServer(ex.Path(), Devices(), timeoutMs, syncTime));
    }
    static std::vector<TestDevice> Devices() {
        return {{kDeviceA, "Agent A", "PPC1"}, {kDeviceB, "Агент Б", "ppc2"},
                {kDeviceNoFolder, "Nobody", "PPC9"}, {kDeviceDotDot, "Up", ".."}};
    }
    std::string In1(const std::string& name) const { return JoinPath(ex / "PPC1", name); }
    std::unique_ptr<Handheld> Connected(const char* id = kDeviceA, bool binary = false, int version = 22) {
        std::unique_ptr<Handheld> h(new Handheld([this](const std::string& l) { printed.push_back(l); }));
        h->timeoutSec = 15;
        EXPECT_TRUE(h->Connect("127.0.0.1", server->Port()));
        EXPECT_TRUE(h->Authorize(id, binary, version)) << h->error;
        return h;
    }
    // The log once every session has ended.
    std::string Log() {
        server->WaitIdle();
        return ReadFile(ex / "log.txt");
    }
    // A new session of device A resumes the upload of `local` (content `data`) from the
    // announced size `held`, which then lands in To1C.zip and Status.txt. The numbers of the
    // blocks it sent.
    std::vector<std::uint32_t> ResumeAndExpectDelivered(const std::string& local, const std::string& data,
                                                        std::uint32_t held) {
        std::uint32_t crc = Crc32(data.data(), data.size());
        auto h = Connected();
        EXPECT_EQ(h->Announced().partialSize, held);
        EXPECT_EQ(h->Announced().partialCrc, crc);
        EXPECT_TRUE(h->Upload(local, "", false, 2048, true)) << h->error;
        EXPECT_TRUE(h->End());
        server->WaitIdle();
        EXPECT_TRUE(SameBytes(ReadFile(In1("To1C.zip")), data));
        EXPECT_FALSE(Exists(In1("download.tmp")));
        std::vector<std::string> status = Lines(ReadFile(ex / "Status.txt"));
        EXPECT_EQ(status.empty() ? "" : TextTable::GetField(status[0], 4), std::to_string(crc));
        return h->blockNumbers;
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};
