#include "module.h"

#include <atomic>

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

// The rapi.dll entry points and the zip list belong to method groups that are not built
// yet; they join these two hooks when they are.
void ModuleStart() { FtpModuleStart(); }

// The FTP handles are left to the end of the process: closing them sends QUIT over the
// network, which must not happen under the loader lock.

void ModuleStop() {}
