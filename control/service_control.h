// The control panel's operations on the VeloraService entry of the Service Control Manager.
#pragma once
#include <windows.h>
#include <string>

// The state the status line shows; the numbers index its table.
enum ServiceUiState {
    kStateError = 0,
    kStateStartPending = 1,
    kStateStopPending = 2,
    kStateStopped = 3,
    kStateRunning = 4,
    kStatePausePending = 5,
    kStatePaused = 6,
    kStateContinuePending = 7,
    kStateNotInstalled = 8,
};

// How long a pending state may last before an operation gives up waiting for it.
constexpr unsigned kPendingLimitSeconds = 60;

// Queries the service. With reportErrors false a manager that cannot be opened gives 0
// without a message box (used by timer ticks while another box is open).
int GetServiceStateCode(bool reportErrors = true);
int MapServiceState(DWORD scmState);

// The service executable in the system directory, as the service is registered.
std::wstring ServiceExePath();
// The file at a registered path as this process reaches it. A 32-bit control panel on
// 64-bit Windows has its system32 redirected to SysWOW64, while the Service Control Manager
// (a 64-bit program) starts the registered path in the real system32: the file must go
// there, which a 32-bit process names "<windows>\Sysnative". Elsewhere the path itself.
std::wstring FileOfRegisteredPath(const std::wstring& registered);

bool InstallServiceEntry();
bool RemoveServiceEntry();
bool RemoveLegacyService();

bool StartServiceAndWait();
bool StopServiceAndWait();
bool PauseServiceAndWait();
bool ContinueServiceAndWait();

// 1: go on; 0: end the program; -1: the old service was removed, install again.
int CheckOldServiceVersion();
// 2510 -> "2.510", 1000 -> "1.0", 1005 -> "1.5".
std::wstring FormatServiceVersion(unsigned version);

// Deletes the service executable; a file that is not there counts as deleted. Waits a few
// seconds for a service process that has just stopped to let go of its file.
bool DeleteServiceExe(const std::wstring& path);
