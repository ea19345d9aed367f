// The add-in's text log: LogOn names the file, LogAdd appends a line.
#include "../addin.h"
#include "../local_clock.h"
#include "../text_log.h"
#include "methods.h"

namespace {
enum : long { kNoLogFile = 90, kCannotOpenLog = 91 };
const size_t kPathChars = sizeof(CAddIn::logFilePath) / sizeof(wchar_t);
}  // namespace

void CallLogOn(CAddIn& addIn, CallParams& params, VARIANT*) {
  std::wstring path;
  if (!params.GetString(0, path) || path.size() >= kPathChars || path.find(L'\0') != std::wstring::npos) return;
  path.copy(addIn.logFilePath, path.size());
  addIn.logFilePath[path.size()] = L'\0';
}

void CallLogAdd(CAddIn& addIn, CallParams& params, VARIANT* result) {
  if (addIn.logFilePath[0] == L'\0') {
    SetResultLong(result, kNoLogFile);
    return;
  }
  // A number or a date is written as its text; a missing text writes nothing.
  std::wstring text;
  if (!params.GetText(0, text)) {
    SetResultLong(result, kResultWrongParamType);
    return;
  }
  long stamp = 0;
  params.GetLong(1, stamp);
  bool ok = AppendLogLine(addIn.logFilePath, text, stamp != 0, SystemLocalClock().Now());
  SetResultLong(result, ok ? kResultOk : kCannotOpenLog);
}
