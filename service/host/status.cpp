#include "host/status.h"

#include <mutex>

#include "host/shell.h"

std::atomic<bool> debugMode{false};
std::atomic<std::uint32_t> lastError{0};

namespace {
std::atomic<std::uint32_t> state{0};
std::atomic<std::uint32_t> checkPoint{1};
std::atomic<StatusSink> sink{nullptr};
// Orders state changes with their reports; the sink is never called with it held by a
// report of another thread, so each SCM record is complete and in order.
std::recursive_mutex& ReportLock() {
    static std::recursive_mutex lock;
    return lock;
}
}  // namespace

void SetStatusSink(StatusSink s) { sink.store(s); }

ServiceState CurrentState() { return static_cast<ServiceState>(state.load()); }

void SetState(ServiceState s) {
    std::lock_guard<std::recursive_mutex> lock(ReportLock());
    state.store(s);
}

bool SetStateIf(ServiceState from, ServiceState to) {
    std::lock_guard<std::recursive_mutex> lock(ReportLock());
    if (state.load() != from) return false;
    state.store(to);
    return true;
}

bool TransitionAndReport(ServiceState from, ServiceState to, std::uint32_t exitCode, std::uint32_t waitHint) {
    std::lock_guard<std::recursive_mutex> lock(ReportLock());
    if (state.load() != from) return false;
    state.store(to);
    ReportStatus(to, exitCode, waitHint);
    return true;
}

bool SetStateAndReport(ServiceState s, std::uint32_t exitCode, std::uint32_t waitHint) {
    std::lock_guard<std::recursive_mutex> lock(ReportLock());
    state.store(s);
    return ReportStatus(s, exitCode, waitHint);
}

bool ReportCurrentStatus(std::uint32_t exitCode, std::uint32_t waitHint) {
    std::lock_guard<std::recursive_mutex> lock(ReportLock());
    return ReportStatus(CurrentState(), exitCode, waitHint);
}

bool ReportStatus(ServiceState s, std::uint32_t exitCode, std::uint32_t waitHint) {
    if (debugMode.load()) return true;
    std::lock_guard<std::recursive_mutex> lock(ReportLock());
    ServiceStatusRecord record;
    record.state = s;
    record.controlsAccepted = s == kStartPending ? 0 : (kAcceptStop | kAcceptPauseContinue);
    record.exitCode = exitCode;
    record.waitHint = waitHint;
    // Check points rise across every pending phase of the process's life.
    record.checkPoint = (s == kRunning || s == kStopped) ? 0 : checkPoint.fetch_add(1);
    StatusSink target = sink.load();
    bool ok = target && target(record);
    if (!ok) LogEventError("SetServiceStatus");
    return ok;
}

void ResetServiceStatus() {
    std::lock_guard<std::recursive_mutex> lock(ReportLock());
    state.store(0);
    checkPoint.store(1);
    lastError.store(0);
}
