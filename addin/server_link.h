// State of the server interop methods (40 to 51): what the add-in follows of the service's
// work in the exchange folder. CAddIn::Init creates it; the timer polls through it.
#pragma once
#include <windows.h>

struct IAsyncEvent;

class ServerLink {
 public:
  ServerLink() = default;
  virtual ~ServerLink() = default;

  // The host's event sink (not owned; null when the host has none or after Done).
  IAsyncEvent* asyncEvent = nullptr;
  // Interval of the timer that VlsEnableServer starts, ms.
  LONG pollInterval = 5000;
  // Set by VlsEnableServer, cleared by VlsDisableServer; the timer polls only while set.
  BOOL serverEnabled = FALSE;

  // One poll of the exchange folder, run on every timer tick while serverEnabled is set.
  // The folder is read by the server interop methods, which are not built yet: no effect.
  virtual void Poll() {}
};
