#include <objbase.h>

#include "host/shell.h"

// Apartment-threaded, as the XML parser expects; a thread already initialised differently
// keeps its own setting and is not uninitialised by us.
bool ComInitialize() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return hr == S_OK || hr == S_FALSE;
}

void ComUninitialize(bool initialized) {
    if (initialized) CoUninitialize();
}
