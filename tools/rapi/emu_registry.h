// The device registry, kept in the text file registry.txt in the device's root folder, in
// the layout of a .reg file (UTF-8):
//   [HKEY_LOCAL_MACHINE\Software\Velora]
//   "Agent"="Иванов"            REG_SZ
//   "Count"=dword:0000002a       REG_DWORD
//   "Blob"=hex:01,02,ff          REG_BINARY
//   "Raw"=hex(1):41,00,42,00     any type as bytes (here a REG_SZ without terminator)
// Key and value names are compared without regard to case. Lines that cannot be read are
// skipped and recorded in the log.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct RegValue {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct RegKey {
  std::wstring path;  // "HKEY_LOCAL_MACHINE\Software\Velora", as first written
  std::map<std::wstring, RegValue> values;  // by upper-cased name
};

// Upper-cased full key path -> key.
typedef std::map<std::wstring, RegKey> RegTree;

RegTree LoadRegistry(const std::wstring& file);
bool SaveRegistry(const std::wstring& file, const RegTree& tree);
std::wstring RegUpper(std::wstring text);
