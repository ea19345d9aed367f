// The component's properties and methods as data: names (string-table ids), parameter
// counts, defaults, result flags, which dispatcher carries a method out, and its handler.
#pragma once
#include <windows.h>

#include "methods/methods.h"
#include "names.h"

enum { kPropCount = 4, kMethodCount = 85 };

enum Dispatcher {
  kProc,  // CallAsProc carries it out
  kFunc,  // CallAsFunc carries it out
  kNone,  // neither (StartTimer)
};

struct MethodEntry {
  unsigned nameId;
  long params;
  bool hasResult;
  Dispatcher dispatcher;
  bool defaultsAnswer;  // GetParamDefValue answers S_OK (else S_FALSE)
  long defaultParam;    // 0-based parameter with a default, -1 for none
  long defaultValue;    // that default, a VT_I4
  MethodFn handler;
};

struct PropertyEntry {
  unsigned nameId;
  bool writable;
};

// Null for a number outside the table.
const MethodEntry* MethodAt(long number);
const PropertyEntry* PropertyAt(long number);

// Names loaded from the string table once.
const NamePair& MethodNames(long number);
const NamePair& PropertyNames(long number);
// The two further name strings that lead to method 9.
const NamePair& ErrDescriptionAliases(int which);
enum { kErrDescriptionMethod = 9 };
