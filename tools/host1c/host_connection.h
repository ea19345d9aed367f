// The host's connection object, as 1C:Enterprise 7 hands it to a component's Init: an
// IDispatch that also answers for IAsyncEvent (events are queued, and a caller can wait for
// them), IStatusLine, IErrorLog and IPropertyProfile (values persist in an INI file when one
// is given, else for the life of the object). Each host interface can be left out.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "velora_addin.h"

struct HostOptions {
  bool asyncEvent = true;
  bool statusLine = true;
  bool errorLog = true;
  bool profile = true;
  bool profileReadFails = false;  // every IPropertyBag::Read fails (E_FAIL)
  std::wstring profileFile;       // INI file; empty keeps the profile in memory
  long eventBufferDepth = 1;      // events held until the host takes them, as 1C holds them
};

struct HostEvent {
  std::wstring source, message, data;
};

struct HostError {
  std::wstring property;
  WORD code = 0;
  SCODE scode = 0;
  std::wstring source, description;
};

class HostConnection : public IDispatch,
                       public IAsyncEvent,
                       public IStatusLine,
                       public IErrorLog,
                       public IPropertyProfile {
 public:
  // A new object with one reference, which the caller owns.
  static HostConnection* Create(const HostOptions& options);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IDispatch: the connection has no members of its own for scripts.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
  // IAsyncEvent
  STDMETHODIMP SetEventBufferDepth(long depth) override;
  STDMETHODIMP GetEventBufferDepth(long* depth) override;
  STDMETHODIMP ExternalEvent(BSTR source, BSTR message, BSTR data) override;
  STDMETHODIMP CleanBuffer() override;
  // IStatusLine
  STDMETHODIMP SetStatusLine(BSTR text) override;
  STDMETHODIMP ResetStatusLine() override;
  // IErrorLog
  STDMETHODIMP AddError(LPCOLESTR property, EXCEPINFO* info) override;
  // IPropertyBag, IPropertyProfile
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;
  STDMETHODIMP RegisterProfileAs(BSTR name) override;

  // What the component did, for the host and the tests.
  bool PopEvent(HostEvent& event);
  size_t PendingEvents();
  unsigned long DroppedEvents() const { return dropped; }
  HANDLE EventSignal() const { return signal; }  // set whenever an event is queued
  std::vector<std::wstring> StatusLines();
  std::vector<HostError> Errors();
  std::wstring ProfileName();
  bool ProfileValue(const std::wstring& name, std::wstring& value);
  ULONG RefCount() const { return refCount; }
  const HostOptions& Options() const { return options; }

  // Called as a status line or an error report arrives (on the component's thread).
  std::function<void(const std::wstring&)> onNote;

 private:
  explicit HostConnection(const HostOptions& options);
  virtual ~HostConnection();
  std::wstring Section();

  HostOptions options;
  std::atomic<ULONG> refCount{1};
  HANDLE signal;
  std::mutex lock;
  std::deque<HostEvent> events;
  long depth;
  std::atomic<unsigned long> dropped{0};
  std::vector<std::wstring> statusLines;
  std::vector<HostError> errors;
  std::wstring profileName;
  std::map<std::wstring, std::map<std::wstring, std::wstring>> memoryProfile;
};
