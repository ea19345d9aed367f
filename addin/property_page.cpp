// The component's property page in 1C's settings dialog: a dialog with the component's
// name and version. Apply hands the Enabled flag back through IPropertyLink, so 1C
// receives the "Компонента"/"Включение" event.
#include <new>

#include "addin.h"
#include "guard.h"
#include "names.h"
#include "res/resource.h"

namespace {
// Pixel size of the page: its dialog units in the dialog's font, as the dialog manager
// computes them (average width of the Latin letters, and the font's height).
SIZE PageSize() {
  const int widthDlu = 260, heightDlu = 154;
  SIZE size = {widthDlu * 6 / 4, heightDlu * 13 / 8};
  HDC dc = GetDC(nullptr);
  if (!dc) return size;
  HFONT font = CreateFontW(-MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL,
                           FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif");
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICW metrics;
  SIZE extent;
  static const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  if (GetTextMetricsW(dc, &metrics) && GetTextExtentPoint32W(dc, letters, 52, &extent)) {
    int baseX = (extent.cx / 26 + 1) / 2, baseY = metrics.tmHeight;
    size.cx = MulDiv(widthDlu, baseX, 4);
    size.cy = MulDiv(heightDlu, baseY, 8);
  }
  if (old) SelectObject(dc, old);
  if (font) DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return size;
}
}  // namespace

INT_PTR CALLBACK PropertyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Guarded(INT_PTR(FALSE), [&]() -> INT_PTR {
    CAddIn* page = reinterpret_cast<CAddIn*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
      case WM_INITDIALOG: {
        page = reinterpret_cast<CAddIn*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        page->pageWindow = window;
        page->ReadPageObjects();
        page->pageDirty = FALSE;
        if (page->pageSite) page->pageSite->OnStatusChange(PROPPAGESTATUS_CLEAN);
        return TRUE;
      }
      case WM_COMMAND:
        if (page && HIWORD(wParam) == BN_CLICKED) {
          page->pageDirty = TRUE;
          if (page->pageSite) page->pageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
        }
        return TRUE;
      case WM_DESTROY:
        if (page) page->pageWindow = nullptr;
        return FALSE;
    }
    return FALSE;
  });
}

// The page shows the state of the first object it edits.
void CAddIn::ReadPageObjects() {
  for (ULONG i = 0; i < pageObjectCount; ++i) {
    IPropertyLink* link = nullptr;
    if (pageObjects[i] &&
        SUCCEEDED(pageObjects[i]->QueryInterface(IID_IPropertyLink, reinterpret_cast<void**>(&link)))) {
      link->get_Enabled(&pageEnabled);
      link->Release();
      return;
    }
  }
}

void CAddIn::ReleasePageObjects() {
  for (ULONG i = 0; i < pageObjectCount; ++i)
    if (pageObjects[i]) pageObjects[i]->Release();
  delete[] pageObjects;
  pageObjects = nullptr;
  pageObjectCount = 0;
}

STDMETHODIMP CAddIn::SetPageSite(IPropertyPageSite* site) {
  if (site) site->AddRef();
  if (pageSite) pageSite->Release();
  pageSite = site;
  return S_OK;
}

STDMETHODIMP CAddIn::Activate(HWND parent, LPCRECT rect, BOOL) {
  return Guarded(HRESULT(E_OUTOFMEMORY), [&]() -> HRESULT {
    if (pageWindow) return S_OK;
    HWND window = CreateDialogParamW(AddInModule(), MAKEINTRESOURCEW(IDD_PROPPAGE), parent,
                                     PropertyPageProc, reinterpret_cast<LPARAM>(this));
    if (!window) return E_FAIL;
    if (rect) Move(rect);
    return S_OK;
  });
}

STDMETHODIMP CAddIn::Deactivate() {
  if (pageWindow) DestroyWindow(pageWindow);
  pageWindow = nullptr;
  return S_OK;
}

STDMETHODIMP CAddIn::GetPageInfo(PROPPAGEINFO* info) {
  return Guarded(HRESULT(E_OUTOFMEMORY), [&]() -> HRESULT {
    if (!info) return E_POINTER;
    std::wstring title = LoadText(IDS_PAGE_TITLE);
    size_t bytes = (title.size() + 1) * sizeof(wchar_t);
    LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!copy) return E_OUTOFMEMORY;
    memcpy(copy, title.c_str(), bytes);
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = copy;
    info->size = PageSize();
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
  });
}

STDMETHODIMP CAddIn::SetObjects(ULONG count, IUnknown** objects) {
  if (count && !objects) return E_POINTER;
  ReleasePageObjects();
  if (count == 0) return S_OK;
  pageObjects = new (std::nothrow) IUnknown*[count];
  if (!pageObjects) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < count; ++i) {
    pageObjects[i] = objects[i];
    if (objects[i]) objects[i]->AddRef();
  }
  pageObjectCount = count;
  // Apply without the page ever shown must hand back the objects' own value.
  ReadPageObjects();
  return S_OK;
}

STDMETHODIMP CAddIn::Show(UINT command) {
  if (pageWindow) ShowWindow(pageWindow, int(command));
  return S_OK;
}

STDMETHODIMP CAddIn::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (pageWindow)
    MoveWindow(pageWindow, rect->left, rect->top, rect->right - rect->left,
               rect->bottom - rect->top, TRUE);
  return S_OK;
}

STDMETHODIMP CAddIn::IsPageDirty() { return pageDirty ? S_OK : S_FALSE; }

STDMETHODIMP CAddIn::Apply() {
  for (ULONG i = 0; i < pageObjectCount; ++i) {
    IPropertyLink* link = nullptr;
    if (pageObjects[i] &&
        SUCCEEDED(pageObjects[i]->QueryInterface(IID_IPropertyLink, reinterpret_cast<void**>(&link)))) {
      link->put_Enabled(pageEnabled);
      link->Release();
    }
  }
  if (pageDirty) {
    pageDirty = FALSE;
    if (pageSite) pageSite->OnStatusChange(PROPPAGESTATUS_CLEAN);
  }
  return S_OK;
}

STDMETHODIMP CAddIn::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP CAddIn::TranslateAccelerator(MSG* message) {
  if (!message) return E_POINTER;
  return pageWindow && IsDialogMessageW(pageWindow, message) ? S_OK : S_FALSE;
}
