#include "registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "names.h"
#include "registry_script.h"
#include "res/resource.h"

namespace {
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(AddInModule(), &path[0], DWORD(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// The REGISTRY resource, expanded for this module and parsed.
HRESULT LoadScript(const std::wstring& module, std::vector<RegistryScriptRoot>& roots) {
  HRSRC found = FindResourceW(AddInModule(), MAKEINTRESOURCEW(IDR_ADDIN), L"REGISTRY");
  HGLOBAL loaded = found ? LoadResource(AddInModule(), found) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  DWORD size = found ? SizeofResource(AddInModule(), found) : 0;
  if (!bytes || size == 0) return SELFREG_E_CLASS;
  int length = MultiByteToWideChar(CP_UTF8, 0, bytes, int(size), nullptr, 0);
  std::wstring text(size_t(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, int(size), &text[0], length);
  std::wstring error;
  if (!ParseRegistryScript(ExpandRegistryScript(text, {{L"MODULE", module}}), roots, error)) {
    OutputDebugStringW((L"VeloraAddIn: registration script: " + error + L"\n").c_str());
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT UnregisterTypeLibrary(const std::wstring& module) {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  TLIBATTR* attr = nullptr;
  hr = library->GetLibAttr(&attr);
  if (SUCCEEDED(hr)) {
    // A library that is not registered is as unregistered as it gets.
    BSTR registered = nullptr;
    if (SUCCEEDED(QueryPathOfRegTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, &registered)))
      hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    SysFreeString(registered);
    library->ReleaseTLibAttr(attr);
  }
  library->Release();
  return hr;
}
}  // namespace

HRESULT RegisterAddIn() {
  std::wstring module = ModulePath();
  std::vector<RegistryScriptRoot> roots;
  HRESULT hr = LoadScript(module, roots);
  if (FAILED(hr)) return hr;
  if (FAILED(RegisterScript(roots))) {
    UnregisterScript(roots);  // leave no half-made registration behind
    return SELFREG_E_CLASS;
  }
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(module.c_str(), REGKIND_REGISTER, &library))) {
    UnregisterScript(roots);
    return SELFREG_E_TYPELIB;
  }
  library->Release();
  return S_OK;
}

HRESULT UnregisterAddIn() {
  std::wstring module = ModulePath();
  std::vector<RegistryScriptRoot> roots;
  HRESULT hr = LoadScript(module, roots);
  if (FAILED(hr)) return hr;
  HRESULT typeLib = UnregisterTypeLibrary(module);
  hr = UnregisterScript(roots);
  if (FAILED(hr)) return SELFREG_E_CLASS;
  return FAILED(typeLib) ? SELFREG_E_TYPELIB : S_OK;
}
