// What 1C:Enterprise 7 does with an external component: create it (by ProgID, or straight
// from its DLL without registration), Init it with a connection object, read its version and
// extension name, resolve names, call methods with a SAFEARRAY of VARIANT parameters
// (output parameters written back), pump window messages so its timers fire, and Done it.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "host_connection.h"
#include "host_variant.h"
#include "velora_addin.h"

class HostComponent {
 public:
  HostComponent() = default;
  ~HostComponent();
  HostComponent(const HostComponent&) = delete;
  HostComponent& operator=(const HostComponent&) = delete;

  HRESULT CreateByProgId(const std::wstring& progId);
  // Loads the DLL and asks its class factory, as an unregistered component.
  HRESULT CreateFromDll(const std::wstring& path, const CLSID& clsid);

  // Init with the connection, then GetInfo and RegisterExtensionAs. The connection is held
  // until Done.
  HRESULT Init(HostConnection* connection);
  HRESULT Done();
  // Releases the component (after Done, when it was initialised).
  void Release();

  long Version() const { return version; }
  const std::wstring& ExtensionName() const { return extensionName; }
  IInitDone* InitDone() const { return initDone; }
  ILanguageExtender* Extender() const { return extender; }
  HostConnection* Connection() const { return connection; }
  bool Created() const { return initDone != nullptr; }
  // The step at which the last Create or Init failed, in words ("cannot load X.dll"); empty
  // after a success.
  const std::wstring& FailedStep() const { return failedStep; }

  // Name lookups as 1C does them: -1 when unknown.
  long FindMethod(const std::wstring& name);
  long FindProp(const std::wstring& name);

  // Calls method `number` with `args` as 1C does: CallAsFunc when HasRetVal says so, else
  // CallAsProc. Values the method wrote back into the array replace the args. `result` gets
  // the function's result (VT_EMPTY for a procedure). Answers the dispatcher's HRESULT.
  HRESULT Call(long number, std::vector<Variant>& args, Variant& result);
  // By name, with 1C's checks: too many arguments is an error; missing trailing ones take
  // the component's defaults (GetParamDefValue) or else are an error. E_INVALIDARG with
  // `error` set when the call cannot be made.
  HRESULT CallByName(const std::wstring& name, std::vector<Variant>& args, Variant& result,
                     std::wstring* error);

  HRESULT GetProp(long number, Variant& value);
  HRESULT SetProp(long number, const Variant& value);

 private:
  HRESULT Attach(IUnknown* object);

  HMODULE library = nullptr;
  IInitDone* initDone = nullptr;
  ILanguageExtender* extender = nullptr;
  HostConnection* connection = nullptr;
  long version = 0;
  std::wstring extensionName;
  std::wstring failedStep;
};

// Parameters as 1C passes them: a one-dimensional, zero-based SAFEARRAY of VARIANT.
SAFEARRAY* MakeParamArray(const std::vector<Variant>& args);

// Runs the thread's message loop for `ms` milliseconds (timers fire, windows work).
void PumpMessages(DWORD ms);
// Runs the message loop until the connection holds an event (taken into `event`) or `ms`
// pass. False on time-out.
bool WaitForEvent(HostConnection& connection, DWORD ms, HostEvent& event);
