// The POSIX build has no Service Control Manager and no event log: the service runs as the
// debug console program only.
#include "host/names.h"
#include "host/shell.h"
#include "platform/codepage.h"
#include "platform/params.h"

namespace {
int NoServiceManager(const char* action) {
    ConsolePrintf("%s: cannot %s %s - the Service Control Manager is Windows-only.\n"
                  "Run \"%s -debug\" to run the service as a console program "
                  "(parameters: %s).\n",
                  kServiceName, action, kDisplayName, kServiceName, ParamsLocation().c_str());
    return 1;
}
}  // namespace

int InstallService() { return NoServiceManager("install"); }
int RemoveService() { return NoServiceManager("remove"); }

int RunServiceDispatcher() {
    ConsolePrintf("StartServiceCtrlDispatcher failed: the Service Control Manager is Windows-only.\n");
    return 1;
}

void LogEventError(const char*) {}

bool ComInitialize() { return false; }
void ComUninitialize(bool) {}
