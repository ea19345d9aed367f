// Debug mode on Windows: the service in a console; Ctrl+C and Ctrl+Break stop it.
#include <windows.h>

#include "host/names.h"
#include "host/service.h"
#include "host/shell.h"
#include "platform/codepage.h"

namespace {
BOOL WINAPI ConsoleCtrlHandler(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    ConsolePrintf("Stopping %s.\n", kDisplayName);
    ServiceStop();
    return TRUE;
}
}  // namespace

int DebugService(int argc, char** argv) {
    ConsolePrintf("Debugging %s.\n", kDisplayName);
    SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);
    ServiceStart(argc, argv);
    return FinishDebugRun();
}
