// Life of the DLL: live objects and server locks (DllCanUnloadNow), and the work done when
// the DLL is loaded and unloaded.
#pragma once
#include <windows.h>

void ModuleObjectCreated();
void ModuleObjectDestroyed();
void ModuleLock(bool lock);
bool ModuleCanUnload();

// Run from DllMain.
void ModuleStart();
void ModuleStop();
