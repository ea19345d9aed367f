#include "host_connection.h"

#include <new>

namespace {
std::wstring FromBstr(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }
}  // namespace

HostConnection* HostConnection::Create(const HostOptions& options) {
  return new (std::nothrow) HostConnection(options);
}

HostConnection::HostConnection(const HostOptions& o)
    : options(o), signal(CreateEventW(nullptr, FALSE, FALSE, nullptr)), depth(o.eventBufferDepth) {
  if (!options.profileFile.empty()) {
    // The profile functions look up a bare name in the Windows folder: make it absolute.
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(options.profileFile.c_str(), MAX_PATH, full, nullptr);
    if (n > 0 && n < MAX_PATH) options.profileFile = full;
  }
}

HostConnection::~HostConnection() {
  if (signal) CloseHandle(signal);
}

STDMETHODIMP HostConnection::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch))
    *object = static_cast<IDispatch*>(this);
  else if (options.asyncEvent && IsEqualIID(iid, IID_IAsyncEvent))
    *object = static_cast<IAsyncEvent*>(this);
  else if (options.statusLine && IsEqualIID(iid, IID_IStatusLine))
    *object = static_cast<IStatusLine*>(this);
  else if (options.errorLog && IsEqualIID(iid, IID_IErrorLog))
    *object = static_cast<IErrorLog*>(this);
  else if (options.profile && (IsEqualIID(iid, IID_IPropertyProfile) || IsEqualIID(iid, IID_IPropertyBag)))
    *object = static_cast<IPropertyProfile*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) HostConnection::AddRef() { return ++refCount; }

STDMETHODIMP_(ULONG) HostConnection::Release() {
  ULONG left = --refCount;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP HostConnection::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}
STDMETHODIMP HostConnection::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}
STDMETHODIMP HostConnection::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return DISP_E_UNKNOWNNAME; }
STDMETHODIMP HostConnection::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP HostConnection::SetEventBufferDepth(long newDepth) {
  if (newDepth < 1) return E_INVALIDARG;
  std::lock_guard<std::mutex> guard(lock);
  depth = newDepth;
  return S_OK;
}

STDMETHODIMP HostConnection::GetEventBufferDepth(long* value) {
  if (!value) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock);
  *value = depth;
  return S_OK;
}

STDMETHODIMP HostConnection::ExternalEvent(BSTR source, BSTR message, BSTR data) {
  {
    std::lock_guard<std::mutex> guard(lock);
    if (long(events.size()) >= depth) {
      // A full buffer loses the event, as in 1C; the host counts what it lost.
      ++dropped;
      return S_FALSE;
    }
    events.push_back(HostEvent{FromBstr(source), FromBstr(message), FromBstr(data)});
  }
  SetEvent(signal);
  return S_OK;
}

STDMETHODIMP HostConnection::CleanBuffer() {
  std::lock_guard<std::mutex> guard(lock);
  events.clear();
  return S_OK;
}

STDMETHODIMP HostConnection::SetStatusLine(BSTR text) {
  std::wstring line = FromBstr(text);
  {
    std::lock_guard<std::mutex> guard(lock);
    statusLines.push_back(line);
  }
  if (onNote) onNote(L"status line: " + line);
  return S_OK;
}

STDMETHODIMP HostConnection::ResetStatusLine() {
  {
    std::lock_guard<std::mutex> guard(lock);
    statusLines.push_back(std::wstring());
  }
  if (onNote) onNote(L"status line reset");
  return S_OK;
}

STDMETHODIMP HostConnection::AddError(LPCOLESTR property, EXCEPINFO* info) {
  if (!info) return E_POINTER;
  HostError error;
  error.property = property ? property : L"";
  error.code = info->wCode;
  error.scode = info->scode;
  error.source = FromBstr(info->bstrSource);
  error.description = FromBstr(info->bstrDescription);
  {
    std::lock_guard<std::mutex> guard(lock);
    errors.push_back(error);
  }
  if (onNote)
    onNote(L"error log: [" + std::to_wstring(error.code) + L"] " + error.source + L": " + error.description);
  return S_OK;
}

std::wstring HostConnection::Section() {
  return profileName.empty() ? std::wstring(L"Default") : profileName;
}

STDMETHODIMP HostConnection::RegisterProfileAs(BSTR name) {
  std::lock_guard<std::mutex> guard(lock);
  profileName = FromBstr(name);
  return S_OK;
}

// "Name:default": the value stored under Name, else the default; converted to the type that
// the caller put in the VARIANT (a string when it is empty).
STDMETHODIMP HostConnection::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  if (!name || !value) return E_POINTER;
  if (options.profileReadFails) return E_FAIL;
  std::wstring key = name, fallback;
  bool hasFallback = false;
  size_t colon = key.find(L':');
  if (colon != std::wstring::npos) {
    fallback = key.substr(colon + 1);
    key.resize(colon);
    hasFallback = true;
  }
  std::wstring stored;
  if (!ProfileValue(key, stored)) {
    if (!hasFallback) return E_INVALIDARG;
    stored = fallback;
  }
  VARTYPE wanted = V_VT(value) == VT_EMPTY ? VARTYPE(VT_BSTR) : V_VT(value);
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = SysAllocStringLen(stored.data(), UINT(stored.size()));
  VARIANT converted;
  VariantInit(&converted);
  HRESULT hr = VariantChangeType(&converted, &text, 0, wanted);
  VariantClear(&text);
  if (FAILED(hr)) return hr;
  VariantClear(value);
  *value = converted;
  return S_OK;
}

STDMETHODIMP HostConnection::Write(LPCOLESTR name, VARIANT* value) {
  if (!name || !value) return E_POINTER;
  VARIANT text;
  VariantInit(&text);
  HRESULT hr = VariantChangeType(&text, value, 0, VT_BSTR);
  if (FAILED(hr)) return hr;
  std::wstring stored = FromBstr(V_BSTR(&text));
  VariantClear(&text);
  std::lock_guard<std::mutex> guard(lock);
  if (!options.profileFile.empty()) {
    if (!WritePrivateProfileStringW(Section().c_str(), name, stored.c_str(), options.profileFile.c_str()))
      return HRESULT_FROM_WIN32(GetLastError());
  } else {
    memoryProfile[Section()][name] = stored;
  }
  return S_OK;
}

bool HostConnection::ProfileValue(const std::wstring& name, std::wstring& value) {
  std::lock_guard<std::mutex> guard(lock);
  if (!options.profileFile.empty()) {
    // A marker default tells a missing key from an empty value.
    const wchar_t* missing = L"\x01missing\x01";
    wchar_t buffer[4096];
    GetPrivateProfileStringW(Section().c_str(), name.c_str(), missing, buffer, 4096,
                             options.profileFile.c_str());
    if (std::wstring(buffer) == missing) return false;
    value = buffer;
    return true;
  }
  auto section = memoryProfile.find(Section());
  if (section == memoryProfile.end()) return false;
  auto entry = section->second.find(name);
  if (entry == section->second.end()) return false;
  value = entry->second;
  return true;
}

std::wstring HostConnection::ProfileName() {
  std::lock_guard<std::mutex> guard(lock);
  return profileName;
}

bool HostConnection::PopEvent(HostEvent& event) {
  std::lock_guard<std::mutex> guard(lock);
  if (events.empty()) return false;
  event = events.front();
  events.pop_front();
  return true;
}

size_t HostConnection::PendingEvents() {
  std::lock_guard<std::mutex> guard(lock);
  return events.size();
}

std::vector<std::wstring> HostConnection::StatusLines() {
  std::lock_guard<std::mutex> guard(lock);
  return statusLines;
}

std::vector<HostError> HostConnection::Errors() {
  std::lock_guard<std::mutex> guard(lock);
  return errors;
}
