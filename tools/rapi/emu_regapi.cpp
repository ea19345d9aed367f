// The device registry functions over registry.txt (see emu_registry.h). A key handle is a
// number the emulator gives out; the three root keys are the desktop's predefined handles.
#include <cstring>

#include "emu_registry.h"
#include "emu_state.h"
#include "rapi_exports.h"

namespace {
std::map<HKEY, std::wstring> openKeys;  // handle -> full key path
ULONG_PTR nextKey = 0x1000;

std::wstring RegistryFile() { return State().config.root + L"\\registry.txt"; }

// The full path of a root or open key; false for another handle.
bool KeyPath(HKEY key, std::wstring& path) {
  if (key == HKEY_LOCAL_MACHINE) path = L"HKEY_LOCAL_MACHINE";
  else if (key == HKEY_CURRENT_USER) path = L"HKEY_CURRENT_USER";
  else if (key == HKEY_CLASSES_ROOT) path = L"HKEY_CLASSES_ROOT";
  else {
    auto open = openKeys.find(key);
    if (open == openKeys.end()) return false;
    path = open->second;
  }
  return true;
}

std::wstring SubPath(const std::wstring& parent, LPCWSTR subKey) {
  std::wstring sub = subKey ? subKey : L"";
  while (!sub.empty() && sub[0] == L'\\') sub.erase(0, 1);
  while (!sub.empty() && sub.back() == L'\\') sub.pop_back();
  return sub.empty() ? parent : parent + L"\\" + sub;
}

bool IsRoot(const std::wstring& path) { return path.find(L'\\') == std::wstring::npos; }

// The checks that opening and creating share: the full path of `subKey` below `key`, or the
// error to answer.
LONG TargetPath(HKEY key, LPCWSTR subKey, PHKEY result, std::wstring& path) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!Connected()) return LONG(State().lastError);
  std::wstring parent;
  if (!KeyPath(key, parent)) return ERROR_INVALID_HANDLE;
  path = SubPath(parent, subKey);
  return ERROR_SUCCESS;
}

HKEY Issue(const std::wstring& path) {
  HKEY key = reinterpret_cast<HKEY>(nextKey++);
  openKeys[key] = path;
  return key;
}
}  // namespace

extern "C" {

LONG WINAPI CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  EmuLock lock;
  std::wstring path;
  if (LONG error = TargetPath(key, subKey, result, path)) return error;
  if (!IsRoot(path) && !LoadRegistry(RegistryFile()).count(RegUpper(path))) return ERROR_FILE_NOT_FOUND;
  *result = Issue(path);
  return ERROR_SUCCESS;
}

LONG WINAPI CeRegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                             PHKEY result, LPDWORD disposition) {
  EmuLock lock;
  std::wstring path;
  if (LONG error = TargetPath(key, subKey, result, path)) return error;
  bool created = false;
  if (!IsRoot(path)) {
    RegTree tree = LoadRegistry(RegistryFile());
    RegKey& entry = tree[RegUpper(path)];
    if (entry.path.empty()) {
      entry.path = path;
      created = true;
      if (!SaveRegistry(RegistryFile(), tree)) return LONG(GetLastError());
    }
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = Issue(path);
  return ERROR_SUCCESS;
}

LONG WINAPI CeRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  EmuLock lock;
  if (!Connected()) return LONG(State().lastError);
  std::wstring path;
  if (!KeyPath(key, path)) return ERROR_INVALID_HANDLE;
  RegTree tree = LoadRegistry(RegistryFile());
  auto entry = tree.find(RegUpper(path));
  if (entry == tree.end()) return ERROR_FILE_NOT_FOUND;
  auto value = entry->second.values.find(RegUpper(name ? name : L""));
  if (value == entry->second.values.end()) return ERROR_FILE_NOT_FOUND;
  const RegValue& v = value->second;
  if (type) *type = v.type;
  DWORD needed = DWORD(v.data.size());
  if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  DWORD room = *size;
  *size = needed;
  if (!data) return ERROR_SUCCESS;
  if (room < needed) return ERROR_MORE_DATA;
  if (needed) memcpy(data, v.data.data(), needed);
  return ERROR_SUCCESS;
}

LONG WINAPI CeRegSetValueEx(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  EmuLock lock;
  if (!Connected()) return LONG(State().lastError);
  std::wstring path;
  if (!KeyPath(key, path)) return ERROR_INVALID_HANDLE;
  if (IsRoot(path) || (size && !data)) return ERROR_INVALID_PARAMETER;
  RegTree tree = LoadRegistry(RegistryFile());
  RegKey& entry = tree[RegUpper(path)];
  if (entry.path.empty()) entry.path = path;
  RegValue value;
  value.name = name ? name : L"";
  value.type = type;
  if (size) value.data.assign(data, data + size);
  entry.values[RegUpper(value.name)] = value;
  if (!SaveRegistry(RegistryFile(), tree)) return LONG(GetLastError());
  return ERROR_SUCCESS;
}

// Closing works in any state of the connection.
LONG WINAPI CeRegCloseKey(HKEY key) {
  EmuLock lock;
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
  return openKeys.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
