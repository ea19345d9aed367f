// Enabling, the status line, the timer and the text of result codes.
#include "../addin.h"
#include "../names.h"
#include "../res/resource.h"
#include "methods.h"

namespace {
const DWORD kStatusLinePause = 5000;  // ms the text stays before the method returns
const WORD kErrorLogCode = 1004;      // the host shows the report as a very important error
}  // namespace

void CallEnable(CAddIn& addIn, CallParams&, VARIANT*) { addIn.enabled = TRUE; }

void CallDisable(CAddIn& addIn, CallParams&, VARIANT*) { addIn.enabled = FALSE; }

void CallShowInStatusLine(CAddIn& addIn, CallParams& params, VARIANT*) {
  if (addIn.statusLine) {
    // A number is shown as its text; a missing parameter shows nothing.
    std::wstring text;
    if (!params.GetText(0, text)) return;
    BSTR line = SysAllocStringLen(text.data(), UINT(text.size()));
    addIn.statusLine->SetStatusLine(line);
    SysFreeString(line);
    Sleep(kStatusLinePause);
  } else if (addIn.errorLog) {
    std::wstring source = LoadText(IDS_ERRLOG_SOURCE), description = LoadText(IDS_NO_STATUS_LINE);
    EXCEPINFO info = {};
    info.wCode = kErrorLogCode;
    info.bstrSource = SysAllocString(source.c_str());
    info.bstrDescription = SysAllocString(description.c_str());
    addIn.errorLog->AddError(L"", &info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
  }
}

void CallStopTimer(CAddIn& addIn, CallParams&, VARIANT*) { addIn.KillAddInTimer(); }

void CallCeErrDescription(CAddIn& addIn, CallParams& params, VARIANT* result) {
  long code = 0;
  SetResultString(result, params.GetLong(0, code) ? ErrDescription(addIn, code) : std::wstring());
}
