#include "class_factory.h"

#include <new>

#include "addin.h"
#include "module.h"

// The factory is one static object; its references keep the DLL loaded like an object's.
STDMETHODIMP CAddInFactory::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  *object = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CAddInFactory::AddRef() {
  ModuleLock(true);
  return 2;
}

STDMETHODIMP_(ULONG) CAddInFactory::Release() {
  ModuleLock(false);
  return 1;
}

STDMETHODIMP CAddInFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  CAddIn* addIn = new (std::nothrow) CAddIn();
  if (!addIn) return E_OUTOFMEMORY;
  HRESULT hr = addIn->QueryInterface(iid, object);
  addIn->Release();  // the creation reference; the object lives on through *object
  return hr;
}

STDMETHODIMP CAddInFactory::LockServer(BOOL lock) {
  ModuleLock(lock != FALSE);
  return S_OK;
}
