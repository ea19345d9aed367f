// CAddIn: the component's one COM object. 1C:Enterprise creates it, calls Init with its
// connection object and then reaches four properties and 85 methods through
// ILanguageExtender. The per-object state of every method group is a field here.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include <atomic>

#include "my_din_array.h"
#include "velora_addin.h"

class ServerLink;
class ScheduleList;
class Map9Link;

class CAddIn : public IInitDone,
               public ILanguageExtender,
               public IPropertyLink,
               public IPropertyPage {
 public:
  CAddIn();
  virtual ~CAddIn();
  CAddIn(const CAddIn&) = delete;
  CAddIn& operator=(const CAddIn&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IInitDone
  STDMETHODIMP Init(IDispatch* connection) override;
  STDMETHODIMP Done() override;
  STDMETHODIMP GetInfo(SAFEARRAY** info) override;

  // ILanguageExtender
  STDMETHODIMP RegisterExtensionAs(BSTR* name) override;
  STDMETHODIMP GetNProps(long* count) override;
  STDMETHODIMP FindProp(BSTR name, long* number) override;
  STDMETHODIMP GetPropName(long number, long alias, BSTR* name) override;
  STDMETHODIMP GetPropVal(long number, VARIANT* value) override;
  STDMETHODIMP SetPropVal(long number, VARIANT* value) override;
  STDMETHODIMP IsPropReadable(long number, BOOL* flag) override;
  STDMETHODIMP IsPropWritable(long number, BOOL* flag) override;
  STDMETHODIMP GetNMethods(long* count) override;
  STDMETHODIMP FindMethod(BSTR name, long* number) override;
  STDMETHODIMP GetMethodName(long number, long alias, BSTR* name) override;
  STDMETHODIMP GetNParams(long number, long* count) override;
  STDMETHODIMP GetParamDefValue(long method, long param, VARIANT* value) override;
  STDMETHODIMP HasRetVal(long number, BOOL* flag) override;
  STDMETHODIMP CallAsProc(long number, SAFEARRAY** params) override;
  STDMETHODIMP CallAsFunc(long number, VARIANT* result, SAFEARRAY** params) override;

  // IPropertyLink
  STDMETHODIMP get_Enabled(BOOL* value) override;
  STDMETHODIMP put_Enabled(BOOL value) override;

  // IPropertyPage
  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT command) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR helpDir) override;
  STDMETHODIMP TranslateAccelerator(MSG* message) override;

  // The object's one window-less thread timer (server polling and schedules). Starts it
  // with the interval when none runs; a running timer keeps its interval.
  bool StartAddInTimer(UINT interval);
  void KillAddInTimer();
  // The property page's window while it exists (owner of the component's message boxes).
  HWND PageWindow() const { return pageWindow; }
  // Raises an event in 1C through the host's IAsyncEvent; nothing without one.
  void RaiseEvent(const wchar_t* source, const wchar_t* message, const wchar_t* data);

  // Fields read and written by the method groups.
  BOOL enabled = FALSE;
  UINT_PTR timerId = 0;
  IErrorLog* errorLog = nullptr;
  IPropertyProfile* profile = nullptr;
  IStatusLine* statusLine = nullptr;
  IAsyncEvent* asyncEvent = nullptr;
  DWORD fileBufferSize = 0;
  BOOL copyWindowVisible = FALSE;
  char zipPassword[128] = {};
  wchar_t lastCryptoError[256] = {};
  wchar_t cryptPassword[128] = {};
  wchar_t logFilePath[260] = {};
  ServerLink* serverLink = nullptr;
  ScheduleList* schedules = nullptr;
  Map9Link* map9Link = nullptr;
  MyDinArray zipFiles;
  // Ticks of the timer served by this object (diagnostics for the tests and the host).
  unsigned long timerTicks = 0;

 private:
  friend INT_PTR CALLBACK PropertyPageProc(HWND, UINT, WPARAM, LPARAM);

  bool CreateCompanions();
  void DestroyCompanions();
  void HandEventSinkToCompanions();
  void ReleaseHostInterfaces();
  void ReadPageObjects();
  void ReleasePageObjects();

  std::atomic<ULONG> refCount{1};
  // Property page state.
  IPropertyPageSite* pageSite = nullptr;
  IUnknown** pageObjects = nullptr;
  ULONG pageObjectCount = 0;
  HWND pageWindow = nullptr;
  BOOL pageDirty = FALSE;
  BOOL pageEnabled = FALSE;
};

// The most recently initialised object that is still alive (the one before it when it is
// destroyed; none when no object is left).
extern CAddIn* currentAddIn;

void CALLBACK OnAddInTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
