// DllRegisterServer / DllUnregisterServer: the registration script and the type library.
#pragma once
#include <windows.h>

HRESULT RegisterAddIn();
HRESULT UnregisterAddIn();
