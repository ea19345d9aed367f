// The DLL's registration script (resource "REGISTRY"), in the registrar's text form:
//   HKCR { [NoRemove|ForceRemove|Delete] name [= s 'text' | = d 'number'] [{ ... }] }
// inside a key's braces, `val name = s 'text'` sets a named value. Registration creates the
// keys (ForceRemove ones are first deleted); unregistration deletes every key not marked
// NoRemove, with all it contains, and walks into NoRemove keys.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct RegistryScriptValue {
  std::wstring name;  // empty for the key's default value
  bool isNumber = false;
  std::wstring text;
  DWORD number = 0;
};

struct RegistryScriptKey {
  std::wstring name;
  bool noRemove = false;
  bool forceRemove = false;
  bool remove = false;  // "Delete": removed on registration
  std::vector<RegistryScriptValue> values;
  std::vector<RegistryScriptKey> subkeys;
};

struct RegistryScriptRoot {
  HKEY root = nullptr;
  std::vector<RegistryScriptKey> keys;
};

// Replaces %NAME% by its value (quotes doubled, as the script's strings need); "%%" is "%".
std::wstring ExpandRegistryScript(const std::wstring& script,
                                  const std::vector<std::pair<std::wstring, std::wstring>>& vars);

// Parses the whole script before anything is written; false with a message on bad syntax.
bool ParseRegistryScript(const std::wstring& script, std::vector<RegistryScriptRoot>& roots,
                         std::wstring& error);

HRESULT RegisterScript(const std::vector<RegistryScriptRoot>& roots);
HRESULT UnregisterScript(const std::vector<RegistryScriptRoot>& roots);
