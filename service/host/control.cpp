// The start, stop, pause and continue sequences.
#include <chrono>
#include <cstdio>
#include <thread>

#include "exchange/records.h"
#include "host/admission.h"
#include "host/error_texts.h"
#include "host/log.h"
#include "host/runtime.h"
#include "host/service.h"
#include "host/shell.h"
#include "host/status.h"
#include "platform/net.h"
#include "protocol/running_sessions.h"
#include "registry.h"

std::atomic<int> activeSessions{0};
std::atomic<bool> stopRequested{false};

namespace {
void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The thread handles are not kept.
void RunDetached(void (*sequence)()) {
    try {
        std::thread(sequence).detach();
    } catch (...) {
        sequence();  // no thread to spare: run it here rather than drop the request
    }
}

// Waits for the running sessions, re-reporting the pending state once a second. Sessions still
// running after the drain time are cancelled (a peer that trickles bytes would otherwise hold
// the service in its pending state for ever).
void DrainSessions(ServiceState pending) {
    auto limit = std::chrono::seconds(Admission::Service().Limits().drainTimeoutSec);
    auto start = std::chrono::steady_clock::now();
    bool logged = false;
    while (activeSessions.load() != 0 && CurrentState() == pending) {
        if (std::chrono::steady_clock::now() - start >= limit) {
            int n = RunningSessions::Service().CancelAll();
            if (!logged) {
                char text[96];
                std::snprintf(text, sizeof text, "Cancelled %d sessions still running", n);
                LogMessage(text);
                logged = true;
            }
        }
        Sleep(1000);
        ReportCurrentStatus(0, 3000);
    }
}
}  // namespace

void ServiceStart(int, char**) {
    stopRequested.store(false);
    SetState(kStartPending);
    SetErrorText("");
    bool com = ComInitialize();

    int wsa = NetStartup();
    if (wsa != 0) {
        char text[64];
        std::snprintf(text, sizeof text, ErrorTexts::kSocketsStartup, wsa);
        lastError.store(kErrorServiceSpecific);
        SetErrorText(text);
        NetCleanup();
        ClearConfiguration();
        ComUninitialize(com);
        return;
    }

    bool started = false;
    {
        std::lock_guard<std::recursive_mutex> lifecycle(LifecycleLock());
        InitExchangeLock();
        CreateServer();
        RecreateHandoffQueue();
        if (LoadConfiguration()) {
            std::uint16_t port = static_cast<std::uint16_t>(ConfigSnapshot().port);
            if (StartServer(port)) {
                started = true;
            } else {
                lastError.store(kErrorServiceSpecific);
                SetErrorText(ErrorTexts::kServiceStart);  // kept only if Listen stored nothing
                StopWatchTimer();
                ClearConfiguration();
                LogMessage("Error start service");
            }
        } else {
            StopWatchTimer();
        }
        if (started) {
            LogMessage("Service started!");
            // A stop that arrived during the start has already moved the state on.
            SetStateIf(kStartPending, kRunning);
        }
    }

    if (started) {
        // Re-report once a second; look at the state more often so the end of a stop is
        // seen without delay.
        for (int tick = 0; CurrentState() != kStopped; tick = (tick + 1) % 10) {
            if (tick == 0) ReportCurrentStatus(lastError.load(), 3000);
            Sleep(100);
        }
        LogMessage("Service stoped!");
    }
    NetCleanup();
    ComUninitialize(com);
}

void ServiceStop() {
    if (stopRequested.exchange(true)) return;  // one stop per run; the first one finishes it
    LogMessage("Stop service...");
    StopWatchTimer();
    SetStateAndReport(kStopPending, 0, 3000);
    PauseServer(true);
    DrainSessions(kStopPending);
    {
        std::lock_guard<std::recursive_mutex> lifecycle(LifecycleLock());
        StopServer();
        ClearConfiguration();  // joins the accept thread
    }
    // A session accepted just before the pause took effect is counted by now.
    DrainSessions(kStopPending);
    // The exit code is that of the run: 0 for an ordinary stop, 1066 when a failed reload
    // stopped the service, so the SCM does not show that as a clean stop.
    FlushRefusals();
    SetStateAndReport(kStopped, lastError.load(), 0);
    LogMessage("Service stoped!");
}

void ServicePause() {
    if (stopRequested.load()) return;
    if (!TransitionAndReport(kRunning, kPausePending, 0, 3000)) return;
    StopWatchTimer();
    PauseServer(true);
    DrainSessions(kPausePending);
    TransitionAndReport(kPausePending, kPaused, 0, 0);
}

void ServiceContinue() {
    if (stopRequested.load()) return;
    if (!TransitionAndReport(kPaused, kContinuePending, 0, 3000) &&
        !TransitionAndReport(kPausePending, kContinuePending, 0, 3000))
        return;
    PauseServer(false);
    TransitionAndReport(kContinuePending, kRunning, 0, 0);
    SetAutodetect();
}

void HandleServiceControl(std::uint32_t control) {
    switch (control) {
        case kControlStop:
        case kControlShutdown:
            RunDetached(ServiceStop);
            break;
        case kControlPause:
            RunDetached(ServicePause);
            break;
        case kControlContinue:
            ServiceContinue();
            break;
        default:  // interrogate: the main loop re-reports the state every second
            break;
    }
}
