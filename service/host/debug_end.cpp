// The end of a debug run. At the console the Error value is out of sight, so a run that could
// not start, or that a faulty reload stopped, prints its text and ends with exit code 1.
#include <cstring>

#include "host/names.h"
#include "host/service.h"
#include "host/shell.h"
#include "host/status.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "registry.h"

int FinishDebugRun() {
    if (lastError.load() == 0) return 0;
    char text[kErrorTextSize];
    GetErrorText(text, sizeof text);
    ConsolePrintf("%s ended with an error: %s\n", kDisplayName, text[0] ? text : "(no text stored)");
    // The per-device faults of config.xml are listed in config.err beside it.
    const std::string folder = ConfigSnapshot().exchangeFolder;
    if (std::strcmp(text, "config_error") == 0 && !folder.empty())
        ConsolePrintf("The faults of config.xml are listed in %s.\n", JoinPath(folder, "config.err").c_str());
    return 1;
}
