// An exchange folder with two device folders and an in-process session server on it.
#pragma once
#include <gtest/gtest.h>

#include <memory>

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
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};
