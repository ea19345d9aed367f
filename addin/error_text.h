// Texts of the add-in's result codes (CeErrDescription / ErrDescription).
#pragma once
#include <string>

class CAddIn;

// Result codes that every method group shares.
enum AddInResult : long {
  kResultOk = 0,
  kResultGeneralError = 100,  // general failure, or a companion object missing
  kResultWrongParamType = 111,
};

std::wstring ErrDescription(const CAddIn& addIn, long code);
