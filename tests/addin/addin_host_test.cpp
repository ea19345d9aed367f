// The component's life with its host: Init with and without each host interface, the
// profile, events, the status line and error log, the property page, COM identity and the
// type library.
#include <ocidl.h>
#include <olectl.h>

#include "addin_fixture.h"

namespace {
HostOptions Only(bool asyncEvent, bool statusLine, bool errorLog, bool profile) {
  HostOptions o;
  o.asyncEvent = asyncEvent;
  o.statusLine = statusLine;
  o.errorLog = errorLog;
  o.profile = profile;
  return o;
}

class Host : public AddInTest {
 protected:
  void SetUp() override {}  // each test starts the component with its own connection

  IPropertyLink* Link() {
    IPropertyLink* link = nullptr;
    EXPECT_EQ(S_OK, component.InitDone()->QueryInterface(IID_IPropertyLink, reinterpret_cast<void**>(&link)));
    return link;
  }
  long Enabled() {
    Variant value;
    component.GetProp(0, value);
    return value.Long();
  }
};

TEST_F(Host, InitWithAnySetOfHostInterfaces) {
  for (int mask = 0; mask < 16; ++mask) {
    SCOPED_TRACE(mask);
    HostOptions options = Only(mask & 1, mask & 2, mask & 4, mask & 8);
    Start(options);
    // The property-page setter raises its event only when the host takes events.
    IPropertyLink* link = Link();
    ASSERT_NE(nullptr, link);
    EXPECT_EQ(S_OK, link->put_Enabled(TRUE));
    link->Release();
    EXPECT_EQ(options.asyncEvent ? 1u : 0u, connection->PendingEvents());
    // Without a status line the text goes to the error log, and with neither nowhere.
    if (!options.statusLine) {
      Variant result;
      std::vector<Variant> args = {Variant(L"текст")};
      EXPECT_EQ(S_OK, component.Call(2, args, result));
      EXPECT_EQ(options.errorLog ? 1u : 0u, connection->Errors().size());
    }
    EXPECT_EQ(S_OK, component.Done());
    // Done gave back every reference the component took.
    EXPECT_EQ(1u, connection->RefCount());
    Stop();
  }
}

TEST_F(Host, InitWithoutConnection) {
  ASSERT_EQ(S_OK, component.CreateFromDll(AddInDllPath(), CLSID_AddIn));
  EXPECT_EQ(S_OK, component.InitDone()->Init(nullptr));
  EXPECT_EQ(0, Enabled());
  EXPECT_EQ(S_OK, CallProc(0, {}));
  EXPECT_EQ(S_OK, CallProc(2, {Variant(L"x")}));
  EXPECT_EQ(S_OK, component.InitDone()->Done());
}

TEST_F(Host, EnabledPersistsThroughTheProfile) {
  Start(HostOptions());
  EXPECT_EQ(L"Sample AddIn Profile Name", connection->ProfileName());
  EXPECT_EQ(0, Enabled());
  EXPECT_EQ(S_OK, CallProc(0, {}));
  EXPECT_EQ(S_OK, component.Done());
  std::wstring stored;
  ASSERT_TRUE(connection->ProfileValue(L"Enabled", stored));
  EXPECT_EQ(L"1", stored);
  // A new object with the same host starts enabled; disabling is saved as well.
  component.Release();
  ASSERT_EQ(S_OK, component.CreateFromDll(AddInDllPath(), CLSID_AddIn));
  ASSERT_EQ(S_OK, component.Init(connection));
  EXPECT_EQ(1, Enabled());
  EXPECT_EQ(S_OK, CallProc(1, {}));
  EXPECT_EQ(S_OK, component.Done());
  ASSERT_TRUE(connection->ProfileValue(L"Enabled", stored));
  EXPECT_EQ(L"0", stored);
  // Done/Init on the same object reads the profile again.
  EXPECT_EQ(S_OK, connection->Write(L"Enabled", Variant(1L).Get()));
  ASSERT_EQ(S_OK, component.Init(connection));
  EXPECT_EQ(1, Enabled());
}

TEST_F(Host, EnabledPersistsInTheHostsIniFile) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring file = std::wstring(temp) + L"velora_host_profile_test.ini";
  DeleteFileW(file.c_str());
  HostOptions options;
  options.profileFile = file;
  Start(options);
  EXPECT_EQ(S_OK, CallProc(0, {}));
  Stop();
  // A second host (a restarted 1C) reads it back.
  Start(options);
  EXPECT_EQ(1, Enabled());
  Stop();
  wchar_t value[16] = {};
  GetPrivateProfileStringW(L"Sample AddIn Profile Name", L"Enabled", L"", value, 16, file.c_str());
  EXPECT_STREQ(L"1", value);
  DeleteFileW(file.c_str());
}

TEST_F(Host, WithoutProfileEnabledStartsAtZeroAndIsNotSaved) {
  Start(Only(true, true, true, false));
  EXPECT_EQ(0, Enabled());
  EXPECT_EQ(S_OK, CallProc(0, {}));
  EXPECT_EQ(S_OK, component.Done());
  std::wstring stored;
  EXPECT_FALSE(connection->ProfileValue(L"Enabled", stored));
}

TEST_F(Host, FailedProfileReadFailsInit) {
  ASSERT_EQ(S_OK, component.CreateFromDll(AddInDllPath(), CLSID_AddIn));
  HostOptions options;
  options.profileReadFails = true;
  connection = HostConnection::Create(options);
  EXPECT_EQ(E_FAIL, component.Init(connection));
  // The interfaces taken so far are held until Done, which gives them back.
  EXPECT_GT(connection->RefCount(), 2u);
  EXPECT_EQ(S_OK, component.Done());
  EXPECT_EQ(1u, connection->RefCount());
}

TEST_F(Host, PropertyLinkRaisesTheEnablingEvent) {
  Start(HostOptions());
  IPropertyLink* link = Link();
  BOOL value = 7;
  EXPECT_EQ(S_OK, link->get_Enabled(&value));
  EXPECT_EQ(FALSE, value);
  EXPECT_EQ(S_OK, connection->SetEventBufferDepth(10));
  EXPECT_EQ(S_OK, link->put_Enabled(5));
  EXPECT_EQ(S_OK, link->put_Enabled(FALSE));
  link->Release();
  HostEvent event;
  ASSERT_TRUE(connection->PopEvent(event));
  EXPECT_EQ(L"Компонента", event.source);
  EXPECT_EQ(L"Включение", event.message);
  EXPECT_EQ(L"1", event.data);
  ASSERT_TRUE(connection->PopEvent(event));
  EXPECT_EQ(L"0", event.data);
  EXPECT_EQ(0, Enabled());
}

TEST_F(Host, ShowInStatusLineShowsTheTextAndHolds) {
  Start(HostOptions());
  DWORD start = GetTickCount();
  EXPECT_EQ(S_OK, CallProc(2, {Variant(L"Идёт обмен с КПК")}));
  DWORD spent = GetTickCount() - start;
  ASSERT_EQ(1u, connection->StatusLines().size());
  EXPECT_EQ(L"Идёт обмен с КПК", connection->StatusLines()[0]);
  EXPECT_GE(spent, 4900u);
  EXPECT_TRUE(connection->Errors().empty());
  // With the parameter missing nothing is shown and there is no pause.
  start = GetTickCount();
  EXPECT_EQ(S_OK, CallProc(2, {}));
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ(1u, connection->StatusLines().size());
}

TEST_F(Host, ShowInStatusLineFallsBackToTheErrorLog) {
  Start(Only(true, false, true, true));
  EXPECT_EQ(S_OK, CallProc(2, {Variant(L"текст")}));
  std::vector<HostError> errors = connection->Errors();
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ(L"", errors[0].property);
  EXPECT_EQ(1004, errors[0].code);
  EXPECT_EQ(0, errors[0].scode);
  EXPECT_EQ(L"Компонента Visual C++ 6.0", errors[0].source);
  EXPECT_EQ(L"Отсуствует интерфейс IStatusLine", errors[0].description);
}

TEST_F(Host, QueryInterfaceAnswersExactlyItsFourInterfaces) {
  Start(HostOptions());
  IUnknown* object = component.InitDone();
  struct Case {
    REFIID iid;
    bool expected;
  } cases[] = {{IID_IUnknown, true},          {IID_IInitDone, true},          {IID_ILanguageExtender, true},
               {IID_IPropertyLink, true},     {IID_IPropertyPage, true},      {IID_IDispatch, false},
               {IID_IAsyncEvent, false},      {IID_IStatusLine, false},       {IID_IPropertyProfile, false},
               {IID_IClassFactory, false},    {IID_IPersist, false},          {IID_IPropertyPage2, false}};
  for (const Case& c : cases) {
    void* p = reinterpret_cast<void*>(1);
    HRESULT hr = object->QueryInterface(c.iid, &p);
    EXPECT_EQ(c.expected ? S_OK : E_NOINTERFACE, hr);
    if (c.expected) {
      static_cast<IUnknown*>(p)->Release();
    } else {
      EXPECT_EQ(nullptr, p);
    }
  }
  // Every interface leads back to the same object.
  IUnknown *a = nullptr, *b = nullptr;
  component.Extender()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
  object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
  EXPECT_EQ(a, b);
  a->Release();
  b->Release();
}

TEST_F(Host, ClassFactoryAndUnloading) {
  HMODULE dll = LoadLibraryW(AddInDllPath().c_str());
  ASSERT_NE(nullptr, dll);
  auto get = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  ASSERT_TRUE(get && canUnload);
  void* p = nullptr;
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, get(IID_IUnknown, IID_IClassFactory, &p));
  IClassFactory* factory = nullptr;
  ASSERT_EQ(S_OK, get(CLSID_AddIn, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
  EXPECT_EQ(S_FALSE, canUnload());  // the factory is held
  Start(HostOptions());
  IUnknown* outer = component.InitDone();  // any object will do as a would-be aggregator
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IUnknown, &p));
  IInitDone* object = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IInitDone, reinterpret_cast<void**>(&object)));
  EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IDispatch, &p));
  factory->Release();
  EXPECT_EQ(S_FALSE, canUnload());  // objects are alive
  object->Release();
  Stop();
  EXPECT_EQ(S_OK, canUnload());
  FreeLibrary(dll);
}

// A page site that records the page's status reports.
class PageSite : public IPropertyPageSite {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** p) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPageSite)) {
      *p = this;
      AddRef();
      return S_OK;
    }
    *p = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP OnStatusChange(DWORD flags) override {
    statuses.push_back(flags);
    return S_OK;
  }
  STDMETHODIMP GetLocaleID(LCID* id) override {
    *id = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  STDMETHODIMP GetPageContainer(IUnknown** p) override {
    *p = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
  ULONG refs = 1;
  std::vector<DWORD> statuses;
};

TEST_F(Host, PropertyPage) {
  Start(HostOptions());
  connection->SetEventBufferDepth(10);
  IPropertyPage* page = nullptr;
  ASSERT_EQ(S_OK, component.InitDone()->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page)));
  PROPPAGEINFO info = {};
  ASSERT_EQ(S_OK, page->GetPageInfo(&info));
  EXPECT_STREQ(L"Компонента Velora", info.pszTitle);
  EXPECT_GT(info.size.cx, 260);
  EXPECT_GT(info.size.cy, 154);
  CoTaskMemFree(info.pszTitle);

  PageSite site;
  EXPECT_EQ(S_OK, page->SetPageSite(&site));
  IUnknown* self = component.InitDone();
  EXPECT_EQ(S_OK, page->SetObjects(1, &self));
  CallProc(0, {});  // enabled, so Apply hands back 1
  HWND parent = CreateWindowExW(0, L"STATIC", L"1C", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(nullptr, parent);
  RECT rect = {0, 0, 500, 300};
  ASSERT_EQ(S_OK, page->Activate(parent, &rect, FALSE));
  HWND dialog = GetWindow(parent, GW_CHILD);
  ASSERT_NE(nullptr, dialog);
  wchar_t text[512] = {};
  GetDlgItemTextW(dialog, 1001, text, 512);
  EXPECT_NE(nullptr, wcsstr(text, L"1.62")) << "the page names the version";
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  ASSERT_FALSE(site.statuses.empty());
  EXPECT_EQ(DWORD(PROPPAGESTATUS_CLEAN), site.statuses.back());

  // A click on one of its controls makes the page dirty; Apply makes it clean again and
  // hands Enabled back, which 1C hears as the enabling event.
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
  EXPECT_EQ(S_OK, page->IsPageDirty());
  EXPECT_EQ(DWORD(PROPPAGESTATUS_DIRTY), site.statuses.back());
  EXPECT_EQ(S_OK, page->Apply());
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  EXPECT_EQ(DWORD(PROPPAGESTATUS_CLEAN), site.statuses.back());
  HostEvent event;
  ASSERT_TRUE(connection->PopEvent(event));
  EXPECT_EQ(L"Включение", event.message);
  EXPECT_EQ(L"1", event.data);

  EXPECT_EQ(S_OK, page->Deactivate());
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(S_OK, page->SetObjects(0, nullptr));
  EXPECT_EQ(S_OK, page->SetPageSite(nullptr));
  EXPECT_EQ(1u, site.refs);
  page->Release();
  DestroyWindow(parent);
}

TEST_F(Host, ApplyWithoutThePageShownKeepsEnabled) {
  Start(HostOptions());
  CallProc(0, {});
  IPropertyPage* page = nullptr;
  ASSERT_EQ(S_OK, component.InitDone()->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page)));
  IUnknown* self = component.InitDone();
  page->SetObjects(1, &self);
  EXPECT_EQ(S_OK, page->Apply());
  EXPECT_EQ(1, Enabled());
  page->SetObjects(0, nullptr);
  page->Release();
}

TEST_F(Host, TypeLibrary) {
  ITypeLib* library = nullptr;
  ASSERT_EQ(S_OK, LoadTypeLibEx(AddInDllPath().c_str(), REGKIND_NONE, &library));
  BSTR doc = nullptr;
  ASSERT_EQ(S_OK, library->GetDocumentation(-1, nullptr, &doc, nullptr, nullptr));
  EXPECT_EQ(L"V7 AddIn 1.0 Type Library", Bstr(doc));
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
  EXPECT_EQ(1, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  library->ReleaseTLibAttr(attr);

  // Interfaces with their slot counts (after IUnknown's three) and the slot of one method.
  struct Interface {
    REFIID iid;
    const wchar_t* name;
    int functions;
    const wchar_t* method;
    int slot;  // 0-based, counting IUnknown's
  } interfaces[] = {
      {IID_IInitDone, L"IInitDone", 3, L"GetInfo", 5},
      {IID_ILanguageExtender, L"ILanguageExtender", 16, L"CallAsFunc", 18},
      {IID_IAsyncEvent, L"IAsyncEvent", 4, L"ExternalEvent", 5},
      {IID_IStatusLine, L"IStatusLine", 2, L"SetStatusLine", 3},
      {IID_IPropertyProfile, L"IPropertyProfile", 1, L"RegisterProfileAs", 5},
  };
  for (const Interface& i : interfaces) {
    SCOPED_TRACE(testing::Message() << i.functions);
    ITypeInfo* type = nullptr;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(i.iid, &type));
    BSTR name = nullptr;
    type->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(i.name, Bstr(name));
    TYPEATTR* typeAttr = nullptr;
    ASSERT_EQ(S_OK, type->GetTypeAttr(&typeAttr));
    EXPECT_EQ(i.functions, typeAttr->cFuncs);
    type->ReleaseTypeAttr(typeAttr);
    bool found = false;
    for (int f = 0; f < i.functions; ++f) {
      FUNCDESC* desc = nullptr;
      ASSERT_EQ(S_OK, type->GetFuncDesc(UINT(f), &desc));
      BSTR fname = nullptr;
      UINT n = 0;
      type->GetNames(desc->memid, &fname, 1, &n);
      if (Bstr(fname) == i.method) {
        found = true;
        EXPECT_EQ(i.slot * int(sizeof(void*)), desc->oVft);
      }
      type->ReleaseFuncDesc(desc);
    }
    EXPECT_TRUE(found) << "method in the type library";
    type->Release();
  }
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(CLSID_AddIn, &coclass));
  BSTR help = nullptr;
  coclass->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr);
  EXPECT_EQ(L"AddIn Class", Bstr(help));
  coclass->Release();
  library->Release();
}
}  // namespace
