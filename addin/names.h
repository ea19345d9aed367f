// Texts of the DLL's string table: names of properties and methods ("first,second") and the
// Russian texts of the component.
#pragma once
#include <windows.h>

#include <string>

// The module (DLL, or the program that links the add-in's code) whose resources are used.
HINSTANCE AddInModule();

// String `id` of the string table; empty when there is none.
std::wstring LoadText(UINT id);

struct NamePair {
  std::wstring first;   // alias 0: the text before the first comma
  std::wstring second;  // alias 1: the text after it
  const std::wstring& Alias(long alias) const;  // empty for any other alias
};

NamePair SplitNames(const std::wstring& text);
