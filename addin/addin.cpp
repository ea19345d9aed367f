#include "addin.h"
#include "guard.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#include "map9_link.h"
#include "module.h"
#include "schedule_list.h"
#include "server_link.h"
#include "zip/pending_list.h"

CAddIn* currentAddIn = nullptr;

namespace {
// The objects that completed Init and are still alive, oldest first: when the current one
// goes, the one initialised before it becomes current again.
std::mutex initialisedLock;
std::vector<CAddIn*> initialised;

void ForgetInitialised(CAddIn* addIn) {
  std::lock_guard<std::mutex> hold(initialisedLock);
  initialised.erase(std::remove(initialised.begin(), initialised.end(), addIn), initialised.end());
  currentAddIn = initialised.empty() ? nullptr : initialised.back();
}

void MakeCurrent(CAddIn* addIn) {
  std::lock_guard<std::mutex> hold(initialisedLock);
  initialised.erase(std::remove(initialised.begin(), initialised.end(), addIn), initialised.end());
  initialised.push_back(addIn);
  currentAddIn = addIn;
}

const wchar_t kProfileName[] = L"Sample AddIn Profile Name";
const wchar_t kEnabledRead[] = L"Enabled:0";  // name, then the default the host applies
const wchar_t kEnabledWrite[] = L"Enabled";
const DWORD kFileBufferSize = 0x20000;
const LONG kInfoVersion = 2000;

template <class T> void ReleaseAndNull(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}
}  // namespace

CAddIn::CAddIn() { ModuleObjectCreated(); }

CAddIn::~CAddIn() {
  // A host that never called Done still gets its interfaces back and no timer outlives us.
  KillAddInTimer();
  if (pageWindow) DestroyWindow(pageWindow);
  ReleasePageObjects();
  ReleaseAndNull(pageSite);
  ReleaseHostInterfaces();
  DestroyCompanions();
  PendingClear(*this);
  ForgetInitialised(this);
  ModuleObjectDestroyed();
}

STDMETHODIMP CAddIn::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IInitDone))
    *object = static_cast<IInitDone*>(this);
  else if (IsEqualIID(iid, IID_ILanguageExtender))
    *object = static_cast<ILanguageExtender*>(this);
  else if (IsEqualIID(iid, IID_IPropertyLink))
    *object = static_cast<IPropertyLink*>(this);
  else if (IsEqualIID(iid, IID_IPropertyPage))
    *object = static_cast<IPropertyPage*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CAddIn::AddRef() { return ++refCount; }

STDMETHODIMP_(ULONG) CAddIn::Release() {
  ULONG left = --refCount;
  if (left == 0) delete this;
  return left;
}

bool CAddIn::CreateCompanions() {
  serverLink = new (std::nothrow) ServerLink();
  map9Link = new (std::nothrow) Map9Link();
  schedules = new (std::nothrow) ScheduleList();
  if (!serverLink || !map9Link || !schedules || !schedules->Reset()) {
    DestroyCompanions();
    return false;
  }
  zipFiles.Initialize(8, 8, 12);
  zipFiles.Reset();
  return true;
}

void CAddIn::DestroyCompanions() {
  delete serverLink;
  delete map9Link;
  delete schedules;
  serverLink = nullptr;
  map9Link = nullptr;
  schedules = nullptr;
}

void CAddIn::HandEventSinkToCompanions() {
  if (serverLink) serverLink->asyncEvent = asyncEvent;
  if (map9Link) map9Link->SetEventSink(asyncEvent);
  if (schedules) schedules->asyncEvent = asyncEvent;
}

void CAddIn::ReleaseHostInterfaces() {
  ReleaseAndNull(statusLine);
  ReleaseAndNull(profile);
  ReleaseAndNull(asyncEvent);
  ReleaseAndNull(errorLog);
  // The companions must not keep using a released sink.
  HandEventSinkToCompanions();
}

STDMETHODIMP CAddIn::Init(IDispatch* connection) {
  return Guarded(HRESULT(E_FAIL), [&]() -> HRESULT {
    // A second Init without Done must not leak what the first one took.
    KillAddInTimer();
    ReleaseHostInterfaces();
    DestroyCompanions();
    if (!CreateCompanions()) return E_FAIL;

    if (connection) {
      connection->QueryInterface(IID_IErrorLog, reinterpret_cast<void**>(&errorLog));
      connection->QueryInterface(IID_IAsyncEvent, reinterpret_cast<void**>(&asyncEvent));
      HandEventSinkToCompanions();
      connection->QueryInterface(IID_IStatusLine, reinterpret_cast<void**>(&statusLine));
      connection->QueryInterface(IID_IPropertyProfile, reinterpret_cast<void**>(&profile));
    }

    if (profile) {
      BSTR name = SysAllocString(kProfileName);
      profile->RegisterProfileAs(name);
      SysFreeString(name);
      VARIANT value;
      VariantInit(&value);
      V_VT(&value) = VT_I4;
      V_I4(&value) = 0;
      if (FAILED(profile->Read(kEnabledRead, &value, nullptr))) return E_FAIL;
      if (V_VT(&value) != VT_I4 && FAILED(VariantChangeType(&value, &value, 0, VT_I4))) {
        VariantClear(&value);
        V_VT(&value) = VT_I4;
        V_I4(&value) = 0;
      }
      enabled = V_I4(&value) ? TRUE : FALSE;
    }

    fileBufferSize = kFileBufferSize;
    copyWindowVisible = TRUE;
    MakeCurrent(this);
    return S_OK;
  });
}

STDMETHODIMP CAddIn::Done() {
  KillAddInTimer();
  if (profile) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = enabled ? 1 : 0;
    profile->Write(kEnabledWrite, &value);
  }
  ReleaseHostInterfaces();
  return S_OK;
}

STDMETHODIMP CAddIn::GetInfo(SAFEARRAY** info) {
  if (!info || !*info) return E_POINTER;
  LONG index = 0;
  // The host's array starts at its lower bound (0 from 1C).
  if (FAILED(SafeArrayGetLBound(*info, 1, &index))) return E_INVALIDARG;
  VARIANT version;
  VariantInit(&version);
  V_VT(&version) = VT_I4;
  V_I4(&version) = kInfoVersion;
  HRESULT hr = SafeArrayPutElement(*info, &index, &version);
  return FAILED(hr) ? hr : S_OK;
}

void CAddIn::RaiseEvent(const wchar_t* source, const wchar_t* message, const wchar_t* data) {
  if (!asyncEvent) return;
  BSTR s = SysAllocString(source), m = SysAllocString(message), d = SysAllocString(data);
  asyncEvent->ExternalEvent(s, m, d);
  SysFreeString(s);
  SysFreeString(m);
  SysFreeString(d);
}

STDMETHODIMP CAddIn::get_Enabled(BOOL* value) {
  if (!value) return E_POINTER;
  *value = enabled;
  return S_OK;
}

STDMETHODIMP CAddIn::put_Enabled(BOOL value) {
  enabled = value ? TRUE : FALSE;
  RaiseEvent(L"Компонента", L"Включение", enabled ? L"1" : L"0");
  return S_OK;
}
