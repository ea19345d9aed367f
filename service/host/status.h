// The service state (the SCM's numbering) and the one way it is reported.
#pragma once
#include <atomic>
#include <cstdint>

enum ServiceState : std::uint32_t {
    kStopped = 1,
    kStartPending = 2,
    kStopPending = 3,
    kRunning = 4,
    kContinuePending = 5,
    kPausePending = 6,
    kPaused = 7,
};

constexpr std::uint32_t kErrorServiceSpecific = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR
constexpr std::uint32_t kAcceptStop = 0x1, kAcceptPauseContinue = 0x2;
// The SCM's control codes (SERVICE_CONTROL_*).
constexpr std::uint32_t kControlStop = 1, kControlPause = 2, kControlContinue = 3, kControlInterrogate = 4,
                        kControlShutdown = 5;

// What one status report carries to the SCM (the variable fields of SERVICE_STATUS).
struct ServiceStatusRecord {
    std::uint32_t state = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t exitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};
// Where reports go when not in debug mode: SetServiceStatus in the Windows service.
typedef bool (*StatusSink)(const ServiceStatusRecord& status);
void SetStatusSink(StatusSink sink);

extern std::atomic<bool> debugMode;
// The exit code reported with status updates and at the final stop.
extern std::atomic<std::uint32_t> lastError;

ServiceState CurrentState();
// Sets the state without a report.
void SetState(ServiceState state);
// Sets the state only when it is `from`, and reports the new state in the same step; false
// (nothing changed, nothing reported) otherwise.
bool TransitionAndReport(ServiceState from, ServiceState to, std::uint32_t exitCode, std::uint32_t waitHint);
// The same without a report.
bool SetStateIf(ServiceState from, ServiceState to);
// Sets the state and reports it in one step, so that a concurrent re-report of the old state
// cannot reach the SCM after the new one.
bool SetStateAndReport(ServiceState state, std::uint32_t exitCode, std::uint32_t waitHint);
// Re-reports whatever the state is at the moment of the report.
bool ReportCurrentStatus(std::uint32_t exitCode, std::uint32_t waitHint);
// Reports `state` with its controls and check point. Does nothing and succeeds in debug mode.
bool ReportStatus(ServiceState state, std::uint32_t exitCode, std::uint32_t waitHint);

// Back to the state of a fresh process (check point 1, no error); for a new run in-process.
void ResetServiceStatus();
