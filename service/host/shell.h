// The platform shell around the portable service core: the Windows service (SCM, event log,
// console handler) or, in the POSIX build, the debug console program.
#pragma once

// The three command-line actions. Each returns the process exit code.
int InstallService();
int RemoveService();
int DebugService(int argc, char** argv);
// The exit code of a debug run that has ended: 0, or 1 after printing the stored error text.
int FinishDebugRun();
// No switch: hand the process to the Service Control Manager.
int RunServiceDispatcher();

// One error entry in the Windows event log; sets lastError to the platform's last error.
// Nothing in debug mode (and nothing at all in the POSIX build).
void LogEventError(const char* text);

// COM for the XML parser on the calling thread (nothing to do in the POSIX build).
bool ComInitialize();
void ComUninitialize(bool initialized);
