#include "module.h"

#include <atomic>

#include "activesync/rapi_library.h"
#include "addin.h"
#include "ftp/ftp_state.h"

namespace {
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
}  // namespace

void ModuleObjectCreated() { ++liveObjects; }
void ModuleObjectDestroyed() { --liveObjects; }
void ModuleLock(bool lock) {
  if (lock) ++serverLocks; else --serverLocks;
}
bool ModuleCanUnload() { return liveObjects == 0 && serverLocks == 0; }

// rapi.dll is loaded here, not on first use, so that a component without it still loads and
// its device methods answer 8.
void ModuleStart() {
  FtpModuleStart();
  LoadRapi();
}

// The FTP handles are left to the end of the process: closing them sends QUIT over the
// network, which must not happen under the loader lock.

void ModuleStop() { UnloadRapi(); }
