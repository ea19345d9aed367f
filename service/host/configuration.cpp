// Loading and releasing the configuration, and the listener set it opens.
#include <cstdio>
#include <cstring>

#include "exchange/records.h"
#include "host/admission.h"
#include "host/error_texts.h"
#include "host/listen_server.h"
#include "host/log.h"
#include "host/runtime.h"
#include "host/service.h"
#include "host/shell.h"
#include "host/status.h"
#include "platform/files.h"
#include "registry.h"

ConfigData config;

namespace {
// Guards the fields of `config` other than the device table, and the two paths below.
std::mutex& ConfigLock() {
    static std::mutex lock;
    return lock;
}
std::string exchangeFolder;
std::string configPath;

std::mutex& ServerLock() {
    static std::mutex lock;
    return lock;
}
std::unique_ptr<CListenServer> server;
std::atomic<std::uint16_t> listenPort{0};

void Fail(const char* text) {
    lastError.store(kErrorServiceSpecific);
    SetErrorText(text);
}

// What a failed load gives up: the device table and the queue; at start also the listener
// set. A failed reload leaves the listener to the stop sequence, after the sessions end.
void ReleaseAfterFailure(bool atStart) {
    if (atStart) {
        ClearConfiguration();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(ConfigLock());
        ClearDeviceTable(config);
    }
    ReleaseHandoffQueue();
}
}  // namespace

std::recursive_mutex& LifecycleLock() {
    static std::recursive_mutex lock;
    return lock;
}

ConfigView ConfigSnapshot() {
    std::lock_guard<std::mutex> lock(ConfigLock());
    ConfigView view;
    view.exchangeFolder = exchangeFolder;
    view.configPath = configPath;
    view.userCount = config.userCount;
    view.port = config.port;
    view.syncTime = config.syncTime != 0;
    std::memcpy(view.signature, config.signature, sizeof view.signature);
    return view;
}

void ResetConfigurationRecord() {
    std::lock_guard<std::mutex> lock(ConfigLock());
    config.PublishDevices(nullptr);
    config.userCount = config.port = config.syncTime = 0;
    std::memset(config.configId, 0, sizeof config.configId);
    std::memset(config.signature, 0, sizeof config.signature);
    exchangeFolder.clear();
    configPath.clear();
}

bool LoadConfiguration() {
    std::lock_guard<std::recursive_mutex> lifecycle(LifecycleLock());
    const bool atStart = CurrentState() == kStartPending;
    SetErrorText("");
    RecreateHandoffQueue();

    char folder[324] = {};
    GetExchFolder(folder, sizeof folder);
    if (!folder[0]) {
        char text[64];
        std::snprintf(text, sizeof text, ErrorTexts::kNoExchangeFolder, "config.xml");
        Fail(text);
        ReleaseAfterFailure(atStart);
        return false;
    }
    // One trailing separator goes; the derived paths then get exactly one back.
    std::string folderText = folder;
    if (IsPathSep(folderText.back())) folderText.pop_back();
    std::string base = folderText;
    if (!base.empty() && !IsPathSep(base.back())) base += kPathSep;
    std::string path = base + "config.xml";
    SetLogPath(base + "log.txt");
    {
        std::lock_guard<std::mutex> lock(ConfigLock());
        exchangeFolder = folderText;
    }

    if (!FileExists(path)) {
        Fail(ErrorTexts::WithPath(ErrorTexts::kConfigNotFound, path).c_str());
        ReleaseAfterFailure(atStart);
        return false;
    }

    LogMessage("Try read Config.xml...");
    // The identity is taken before the read: a change made while the file is being read
    // then shows at the next watch tick instead of being taken for the version just read.
    std::uint32_t signature[4] = {};
    if (!GetConfigSignature(path, signature)) std::memset(signature, 0, sizeof signature);

    ConfigData next;
    {
        std::lock_guard<std::mutex> lock(ConfigLock());
        next.syncTime = config.syncTime;  // kept when the file has no SyncTime
    }
    bool com = ComInitialize();
    bool read = ReadConfigXml(path.c_str(), folderText.c_str(), next);
    ComUninitialize(com);
    if (!read) {
        Fail(ErrorTexts::WithPath(ErrorTexts::kConfigUnreadable, path).c_str());
        LogMessage("Error read Config.xml");
        ReleaseAfterFailure(atStart);
        return false;
    }
    if (next.userCount == 0 || !next.Devices()) {
        Fail(ErrorTexts::kConfigFaults);
        ReleaseAfterFailure(atStart);
        LogMessage("Error user count");
        return false;
    }

    int userCount = next.userCount;
    {
        std::lock_guard<std::mutex> lock(ConfigLock());
        config.userCount = next.userCount;
        config.port = next.port < 1 ? 5555 : next.port;
        config.syncTime = next.syncTime;
        std::memcpy(config.configId, next.configId, sizeof config.configId);
        std::memcpy(config.signature, signature, sizeof config.signature);
        config.PublishDevices(next.Devices());
        configPath = path;
    }
    SetAutodetect();
    LogMessage(AutodetectActive() ? "Autodetect config is ON" : "Autodetect config is OFF");
    SetUserCount(static_cast<std::uint32_t>(userCount));
    Admission::Service().SetLimits(GetConnectionLimits());  // changed values apply at a reload
    CleanStack(folderText);
    return true;
}

void ClearConfiguration() {
    std::lock_guard<std::recursive_mutex> lifecycle(LifecycleLock());
    {
        std::lock_guard<std::mutex> lock(ConfigLock());
        ClearDeviceTable(config);
    }
    ReleaseServer();
    ReleaseHandoffQueue();
}

void CreateServer() {
    std::lock_guard<std::mutex> lock(ServerLock());
    server.reset(new CListenServer);
    server->SetSessionFunction(SessionThread);
    server->SetSessionCounter(&activeSessions);
    server->SetAdmission(&Admission::Service());
}

bool StartServer(std::uint16_t port) {
    std::lock_guard<std::mutex> lock(ServerLock());
    if (!server) return false;
    listenPort.store(port);
    return server->Start(port, true);
}

void PauseServer(bool on) {
    std::lock_guard<std::mutex> lock(ServerLock());
    if (server) server->Pause(listenPort.load(), on);
}

void StopServer() {
    std::lock_guard<std::mutex> lock(ServerLock());
    if (server) server->Stop(listenPort.load());
}

void ReleaseServer() {
    std::unique_ptr<CListenServer> old;
    {
        std::lock_guard<std::mutex> lock(ServerLock());
        old.swap(server);
    }
    old.reset();  // joins the accept thread, outside the lock
}

std::uint16_t ListenPort() { return listenPort.load(); }
