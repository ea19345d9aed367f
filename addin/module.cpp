#include "module.h"

#include <atomic>

#include "addin.h"

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

// The FTP module state, the rapi.dll entry points and the zip list belong to method groups
// that are not built yet; they join these two hooks when they are.
void ModuleStart() {}

void ModuleStop() {}
