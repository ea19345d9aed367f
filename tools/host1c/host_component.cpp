#include "host_component.h"

namespace {
template <class T> void ReleaseAndNull(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

std::wstring FromBstr(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

// Dispatches queued messages for at most `budget` ms: a timer whose work outlasts its
// interval is always due again, and must not keep the loop from its own deadline.
void DispatchPending(DWORD budget) {
  DWORD start = GetTickCount();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (GetTickCount() - start >= budget) return;
  }
}

DWORD Remaining(DWORD start, DWORD ms) {
  DWORD spent = GetTickCount() - start;
  return spent >= ms ? 0 : ms - spent;
}

// One wait of the message loop: until a message, the connection's signal, or `ms`.
void WaitOnce(HANDLE signal, DWORD ms) {
  if (signal)
    MsgWaitForMultipleObjects(1, &signal, FALSE, ms, QS_ALLINPUT);
  else
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  DispatchPending(ms);
}
}  // namespace

HostComponent::~HostComponent() {
  Release();
  if (!library) return;
  // The DLL stays mapped while anything of it is alive (an object someone else holds).
  typedef HRESULT(STDAPICALLTYPE * CanUnload)();
  CanUnload canUnload = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
  if (!canUnload || canUnload() == S_OK) FreeLibrary(library);
}

HRESULT HostComponent::Attach(IUnknown* object) {
  HRESULT hr = object->QueryInterface(IID_IInitDone, reinterpret_cast<void**>(&initDone));
  if (SUCCEEDED(hr)) hr = object->QueryInterface(IID_ILanguageExtender, reinterpret_cast<void**>(&extender));
  if (FAILED(hr)) {
    ReleaseAndNull(initDone);
    ReleaseAndNull(extender);
  }
  return hr;
}

HRESULT HostComponent::CreateByProgId(const std::wstring& progId) {
  Release();
  CLSID clsid;
  failedStep = L"cannot find the ProgID " + progId;
  HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
  if (FAILED(hr)) return hr;
  IUnknown* object = nullptr;
  failedStep = L"cannot create the component " + progId;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object));
  if (FAILED(hr)) return hr;
  failedStep = L"the component " + progId + L" is no 1C external component (IInitDone, ILanguageExtender)";
  hr = Attach(object);
  object->Release();
  if (SUCCEEDED(hr)) failedStep.clear();
  return hr;
}

HRESULT HostComponent::CreateFromDll(const std::wstring& path, const CLSID& clsid) {
  Release();
  failedStep = L"cannot load " + path;
  if (!library) library = LoadLibraryW(path.c_str());
  if (!library) {
    DWORD error = GetLastError();
    // The loader says "module not found" also for a DLL that the component itself needs.
    if (error == ERROR_MOD_NOT_FOUND && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
      failedStep += L": a DLL it depends on is missing";
    return HRESULT_FROM_WIN32(error);
  }
  failedStep = L"cannot get the class factory from " + path;
  typedef HRESULT(STDAPICALLTYPE * GetClassObject)(REFCLSID, REFIID, void**);
  GetClassObject get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  if (!get) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  IClassFactory* factory = nullptr;
  HRESULT hr = get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  IUnknown* object = nullptr;
  failedStep = L"the class factory of " + path + L" did not create the component";
  hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
  factory->Release();
  if (FAILED(hr)) return hr;
  failedStep = L"the object from " + path + L" is no 1C external component (IInitDone, ILanguageExtender)";
  hr = Attach(object);
  object->Release();
  if (SUCCEEDED(hr)) failedStep.clear();
  return hr;
}

HRESULT HostComponent::Init(HostConnection* newConnection) {
  failedStep = L"the component's Init failed";
  if (!initDone) return E_UNEXPECTED;
  if (newConnection) newConnection->AddRef();
  ReleaseAndNull(connection);
  connection = newConnection;
  HRESULT hr = initDone->Init(connection ? static_cast<IDispatch*>(connection) : nullptr);
  if (FAILED(hr)) return hr;
  failedStep.clear();

  version = 0;
  SAFEARRAY* info = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  if (info && SUCCEEDED(initDone->GetInfo(&info))) {
    LONG index = 0;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(SafeArrayGetElement(info, &index, &value)) &&
        SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4)))
      version = V_I4(&value);
    VariantClear(&value);
  }
  if (info) SafeArrayDestroy(info);

  BSTR name = nullptr;
  if (SUCCEEDED(extender->RegisterExtensionAs(&name))) extensionName = FromBstr(name);
  SysFreeString(name);
  return hr;
}

HRESULT HostComponent::Done() {
  if (!initDone) return E_UNEXPECTED;
  HRESULT hr = initDone->Done();
  ReleaseAndNull(connection);
  return hr;
}

void HostComponent::Release() {
  ReleaseAndNull(extender);
  ReleaseAndNull(initDone);
  ReleaseAndNull(connection);
}

long HostComponent::FindMethod(const std::wstring& name) {
  if (!extender) return -1;
  long number = -1;
  BSTR text = SysAllocStringLen(name.data(), UINT(name.size()));
  if (extender->FindMethod(text, &number) != S_OK) number = -1;
  SysFreeString(text);
  return number;
}

long HostComponent::FindProp(const std::wstring& name) {
  if (!extender) return -1;
  long number = -1;
  BSTR text = SysAllocStringLen(name.data(), UINT(name.size()));
  if (extender->FindProp(text, &number) != S_OK) number = -1;
  SysFreeString(text);
  return number;
}

SAFEARRAY* MakeParamArray(const std::vector<Variant>& args) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(args.size()));
  if (!array) return nullptr;
  for (LONG i = 0; i < LONG(args.size()); ++i)
    SafeArrayPutElement(array, &i, const_cast<VARIANT*>(args[size_t(i)].Get()));
  return array;
}

HRESULT HostComponent::Call(long number, std::vector<Variant>& args, Variant& result) {
  if (!extender) return E_UNEXPECTED;
  result = Variant();
  BOOL hasResult = FALSE;
  extender->HasRetVal(number, &hasResult);
  SAFEARRAY* array = MakeParamArray(args);
  if (!array) return E_OUTOFMEMORY;
  HRESULT hr;
  if (hasResult) {
    VARIANT value;
    VariantInit(&value);
    hr = extender->CallAsFunc(number, &value, &array);
    result = Variant::Adopt(value);
  } else {
    hr = extender->CallAsProc(number, &array);
  }
  for (LONG i = 0; array && i < LONG(args.size()); ++i) {
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(SafeArrayGetElement(array, &i, &value))) args[size_t(i)] = Variant::Adopt(value);
  }
  if (array) SafeArrayDestroy(array);
  return hr;
}

HRESULT HostComponent::CallByName(const std::wstring& name, std::vector<Variant>& args, Variant& result,
                                  std::wstring* error) {
  auto fail = [&](const std::wstring& text) {
    if (error) *error = text;
    return E_INVALIDARG;
  };
  long number = FindMethod(name);
  if (number < 0) return fail(L"unknown method " + name);
  long count = 0;
  extender->GetNParams(number, &count);
  if (long(args.size()) > count)
    return fail(L"too many parameters for " + name + L": it takes " + std::to_wstring(count));
  while (long(args.size()) < count) {
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = extender->GetParamDefValue(number, long(args.size()), &value);
    if (hr != S_OK || V_VT(&value) == VT_EMPTY) {
      VariantClear(&value);
      return fail(L"missing parameter " + std::to_wstring(args.size() + 1) + L" of " + name);
    }
    args.push_back(Variant::Adopt(value));
  }
  return Call(number, args, result);
}

HRESULT HostComponent::GetProp(long number, Variant& value) {
  if (!extender) return E_UNEXPECTED;
  VARIANT v;
  VariantInit(&v);
  HRESULT hr = extender->GetPropVal(number, &v);
  value = Variant::Adopt(v);
  return hr;
}

HRESULT HostComponent::SetProp(long number, const Variant& value) {
  if (!extender) return E_UNEXPECTED;
  Variant copy = value;
  return extender->SetPropVal(number, copy.Get());
}

void PumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    DispatchPending(Remaining(start, ms));
    DWORD spent = GetTickCount() - start;
    if (spent >= ms) return;
    WaitOnce(nullptr, ms - spent);
  }
}

bool WaitForEvent(HostConnection& connection, DWORD ms, HostEvent& event) {
  DWORD start = GetTickCount();
  for (;;) {
    DispatchPending(Remaining(start, ms));
    if (connection.PopEvent(event)) return true;
    DWORD spent = GetTickCount() - start;
    if (spent >= ms) return false;
    WaitOnce(connection.EventSignal(), ms - spent);
  }
}
