// The interop with the separate Map9 map program (methods 67 to 69): the program writes a
// request into "Map9FileMapping" and signals "Map9CommandEvent"; a listener thread turns
// it into a "Map9" event of the host; 1C answers through Map9EndOperation, which writes
// the result back and signals "Map9ReturnEvent". One listener per session, by a mutex.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

struct IAsyncEvent;

class Map9Link {
 public:
  Map9Link();
  virtual ~Map9Link();
  Map9Link(const Map9Link&) = delete;
  Map9Link& operator=(const Map9Link&) = delete;

  // The host's event sink for "Map9" events (not owned; null when none or after Done).
  void SetEventSink(IAsyncEvent* sink);
  IAsyncEvent* EventSink();

  void Enable();
  void Disable();
  void EndOperation(long result);

  // Listener threads of this object still running (diagnostics for the tests).
  size_t RunningListeners();

 private:
  static DWORD WINAPI ListenerMain(void* self);
  void Listen();
  // One request; false when the listener is to stop.
  bool RequestStep();
  void CloseRequest();
  void CloseRequestLocked();  // with `lock` held
  void Raise(const wchar_t* name, const wchar_t* data);
  void PruneListeners();

  std::atomic<bool> enabled{false};
  HANDLE commandEvent = nullptr;
  HANDLE returnEvent = nullptr;
  std::mutex lock;  // the sink and the open request
  IAsyncEvent* asyncEvent = nullptr;
  HANDLE mapping = nullptr;
  void* view = nullptr;
  std::vector<HANDLE> listeners;
};
