// The service under the Service Control Manager: dispatcher, ServiceMain, control handler and
// the status record that ReportStatus sends.
#include <windows.h>

#include "host/names.h"
#include "host/service.h"
#include "host/shell.h"
#include "host/status.h"

namespace {
SERVICE_STATUS_HANDLE statusHandle = nullptr;
// Set when ServiceMain has finished. The dispatcher returns as soon as the service reports
// STOPPED, which the stop sequence does before the service thread has written its last log
// line and its final report (with the exit code of a failed reload): the process waits for
// them before it ends.
HANDLE serviceMainDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);

bool SendStatus(const ServiceStatusRecord& r) {
    if (!statusHandle) return false;
    SERVICE_STATUS s;
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = r.state;
    s.dwControlsAccepted = r.controlsAccepted;
    s.dwWin32ExitCode = r.exitCode;
    s.dwServiceSpecificExitCode = 0;
    s.dwCheckPoint = r.checkPoint;
    s.dwWaitHint = r.waitHint;
    return SetServiceStatus(statusHandle, &s) != FALSE;
}

void WINAPI ControlHandler(DWORD control) { HandleServiceControl(control); }

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
    ResetConfigurationRecord();
    statusHandle = RegisterServiceCtrlHandlerA(kServiceName, ControlHandler);
    if (statusHandle) {
        SetStatusSink(SendStatus);
        if (ReportStatus(kStartPending, 0, 3000)) ServiceStart(static_cast<int>(argc), argv);
        ReportStatus(kStopped, lastError.load(), 0);
    }
    SetEvent(serviceMainDone);
}
}  // namespace

int RunServiceDispatcher() {
    static char name[] = "VeloraService";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        LogEventError("StartServiceCtrlDispatcher failed.");
        return 0;
    }
    WaitForSingleObject(serviceMainDone, 10000);
    return 0;
}
