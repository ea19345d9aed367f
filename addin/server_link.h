// State of the server interop methods (40 to 51): what the add-in follows of the service's
// work in the exchange folder it shares with it. CAddIn::Init creates it; the timer polls
// through it.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>

#include "device_record.h"
#include "my_din_array.h"
#include "ppc_queue.h"

struct IAsyncEvent;

class ServerLink {
 public:
  ServerLink();
  virtual ~ServerLink() = default;
  ServerLink(const ServerLink&) = delete;
  ServerLink& operator=(const ServerLink&) = delete;

  // Host and port for a live link to the service (kept; nothing connects to them).
  std::string serverHost = "127.0.0.1";
  WORD serverPort = 5556;
  // The host's event sink (not owned; null when the host has none or after Done).
  IAsyncEvent* asyncEvent = nullptr;
  // Ends with a backslash once set; empty before.
  std::wstring exchangeDir;
  // Interval of the timer that VlsEnableServer starts, ms.
  LONG pollInterval = 5000;
  DeviceList devices;      // from config.xml, in file order
  PPCQueue pending;        // devices whose new data 1C has not processed yet
  MyDinArray deviceFilter; // GUIDs, sorted; empty admits every device
  // Set by VlsEnableServer, cleared by VlsDisableServer; the timer polls only while set.
  BOOL serverEnabled = FALSE;

  void SetServerAddress(const std::string& address);
  // Stores the folder (a backslash appended), reads its config.xml, then refreshes. An empty
  // folder forgets the folder and its devices.
  void SetExchangeDir(const std::wstring& folder, HWND owner);
  // Re-reads Status.txt and Stack.txt into the device records; the number with new data.
  int Refresh();
  // The info record of device `index`, after a refresh; empty when there is no such device.
  std::wstring InfoByIndex(long index);
  std::wstring InfoById(const GUID& id);
  // 1C has processed the device's data: it leaves the queue and its data file is deleted.
  void ProcessDone(const GUID& id);
  void AddFilterId(const GUID& id);
  void ClearFilter();
  bool FilterAdmits(const GUID& id) const;

  // One poll of the exchange folder, run on every timer tick while serverEnabled is set:
  // raises "NewDataFromServer" for at most one device.
  virtual void Poll();

 private:
  void RaiseNewData(const std::wstring& record);

  std::mutex lock;  // the device list against the address fields
};
