// The 5-second watch of config.xml: a changed identity (creation time, size, write time)
// reloads the configuration; a reload that fails stops the service.
#include <cstring>

#include "host/log.h"
#include "host/runtime.h"
#include "host/service.h"
#include "host/status.h"
#include "platform/files.h"
#include "platform/timer.h"

namespace {
constexpr unsigned kWatchPeriodMs = 5000;

std::mutex& WatchLock() {
    static std::mutex lock;
    return lock;
}
TimerHandle watchTimer = nullptr;

bool IsZero(const std::uint32_t s[4]) { return !(s[0] | s[1] | s[2] | s[3]); }
}  // namespace

bool GetConfigSignature(const std::string& path, std::uint32_t signature[4]) {
    FileItem item;
    if (!GetFileItem(path, &item) || item.IsFolder()) return false;
    signature[0] = static_cast<std::uint32_t>(item.creationTime);
    signature[1] = static_cast<std::uint32_t>(item.size);
    signature[2] = static_cast<std::uint32_t>(item.lastWriteTime);
    signature[3] = static_cast<std::uint32_t>(item.lastWriteTime >> 32);
    return true;
}

void SetAutodetect() {
    ConfigView view = ConfigSnapshot();
    const std::uint32_t* signature = view.signature;
    std::lock_guard<std::mutex> lock(WatchLock());
    if (watchTimer && IsZero(signature)) {
        TimerStop(watchTimer, false);
        watchTimer = nullptr;
    } else if (!watchTimer && !IsZero(signature) && !stopRequested.load()) {
        // Only a starting or running service watches; a pause or a stop turned it off.
        ServiceState state = CurrentState();
        if (state == kStartPending || state == kRunning)
            watchTimer = TimerStart(kWatchPeriodMs, kWatchPeriodMs, CheckConfigChanged, nullptr);
    }
}

bool AutodetectActive() {
    std::lock_guard<std::mutex> lock(WatchLock());
    return watchTimer != nullptr;
}

void StopWatchTimer() {
    std::lock_guard<std::mutex> lock(WatchLock());
    if (watchTimer) TimerStop(watchTimer, false);
    watchTimer = nullptr;
}

void CheckConfigChanged(void*) {
    ConfigView view = ConfigSnapshot();
    if (view.configPath.empty()) return;
    std::uint32_t now[4];
    if (!GetConfigSignature(view.configPath, now)) return;
    bool ok = true;
    {
        std::lock_guard<std::recursive_mutex> lifecycle(LifecycleLock());
        if (std::memcmp(now, ConfigSnapshot().signature, sizeof now) == 0) return;
        if (stopRequested.load() || CurrentState() != kRunning) return;
        LogMessage("New config detected!");
        ok = LoadConfiguration();
    }
    if (!ok) ServiceStop();
}
