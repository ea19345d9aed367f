// The DLL's entry point and its four exports.
#include <windows.h>
#include <objbase.h>

#include "class_factory.h"
#include "guard.h"
#include "module.h"
#include "registration.h"
#include "velora_addin.h"

namespace {
CAddInFactory factory;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    ModuleStart();
  } else if (reason == DLL_PROCESS_DETACH) {
    ModuleStop();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_AddIn)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return ModuleCanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return Guarded(HRESULT(E_OUTOFMEMORY), RegisterAddIn); }

STDAPI DllUnregisterServer() { return Guarded(HRESULT(E_OUTOFMEMORY), UnregisterAddIn); }
