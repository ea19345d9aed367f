// Server interop: following the service through the exchange folder it shares with 1C.
#include "../addin.h"
#include "../device_id.h"
#include "../info_record.h"
#include "../schedule_list.h"
#include "../server_link.h"
#include "methods.h"
#include "platform/codepage.h"

namespace {
const long kDefaultPollInterval = 5000;
const long kMinPollInterval = 100;

// At most `maxChars` of the text, in the ANSI code page.
std::string ToAnsi(const std::wstring& text, size_t maxChars) {
  std::wstring cut = text.substr(0, maxChars);
  return Utf16ToAnsi(std::u16string(cut.begin(), cut.end()));
}

// The identifier parameter i, when it is a string that reads as one.
bool GetDeviceId(CallParams& params, long i, GUID* id) {
  std::wstring text;
  return params.GetString(i, text) && ParseDeviceId(text, id);
}
}  // namespace

void CallVlsSetServerAddress(CAddIn& addIn, CallParams& params, VARIANT*) {
  std::wstring address;
  if (addIn.serverLink && params.GetString(0, address)) addIn.serverLink->SetServerAddress(ToAnsi(address, 127));
}

void CallVlsGetPPCInfo(CAddIn& addIn, CallParams& params, VARIANT* result) {
  std::wstring record;
  long index = 0;
  GUID id;
  if (addIn.serverLink) {
    if (params.GetLong(0, index))
      record = addIn.serverLink->InfoByIndex(index);
    else if (GetDeviceId(params, 0, &id))
      record = addIn.serverLink->InfoById(id);
  }
  SetResultString(result, record);
}

void CallVlsGetPPCCount(CAddIn& addIn, CallParams&, VARIANT* result) {
  SetResultLong(result, addIn.serverLink ? long(addIn.serverLink->devices.Count()) : 0);
}

// Takes a note for the service; there is no live link to pass it on.
void CallVlsSrvNote(CAddIn&, CallParams&, VARIANT*) {}

void CallVlsProcessDone(CAddIn& addIn, CallParams& params, VARIANT*) {
  GUID id;
  if (addIn.serverLink && GetDeviceId(params, 0, &id)) addIn.serverLink->ProcessDone(id);
}

void CallVlsSetExchangeDir(CAddIn& addIn, CallParams& params, VARIANT*) {
  std::wstring folder;
  if (addIn.serverLink && params.GetString(0, folder)) addIn.serverLink->SetExchangeDir(folder, GetActiveWindow());
}

void CallVlsGetExchangeDir(CAddIn& addIn, CallParams&, VARIANT* result) {
  SetResultString(result, addIn.serverLink ? addIn.serverLink->exchangeDir : std::wstring());
}

void CallVlsEnableServer(CAddIn& addIn, CallParams& params, VARIANT*) {
  if (!addIn.serverLink) return;
  long interval = kDefaultPollInterval;
  if (!params.GetLong(0, interval) || interval < kMinPollInterval) interval = kDefaultPollInterval;
  if (addIn.timerId == 0) {
    addIn.serverLink->pollInterval = interval;
    addIn.StartAddInTimer(UINT(interval));
  }
  addIn.serverLink->serverEnabled = TRUE;
}

void CallVlsDisableServer(CAddIn& addIn, CallParams&, VARIANT*) {
  if (addIn.timerId != 0 && (!addIn.schedules || addIn.schedules->Count() == 0)) addIn.KillAddInTimer();
  if (!addIn.serverLink) return;
  addIn.serverLink->serverEnabled = FALSE;
  addIn.serverLink->pending.Clear();
}

void CallVlsAddPPCId(CAddIn& addIn, CallParams& params, VARIANT*) {
  GUID id;
  if (addIn.serverLink && GetDeviceId(params, 0, &id)) addIn.serverLink->AddFilterId(id);
}

void CallVlsClearPPCId(CAddIn& addIn, CallParams&, VARIANT*) {
  if (addIn.serverLink) addIn.serverLink->ClearFilter();
}

void CallVlsGetFieldPPCInfo(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring record, name;
  params.GetText(0, record);
  params.GetText(1, name);
  SetResultString(result, InfoRecordField(record, name));
}
