#include "map9_link.h"

#include <string>

#include "map9/map9_request.h"
#include "velora_addin.h"

namespace {
const wchar_t kCommandEvent[] = L"Map9CommandEvent";
const wchar_t kReturnEvent[] = L"Map9ReturnEvent";
const wchar_t kFileMapping[] = L"Map9FileMapping";
const wchar_t kInstanceMutex[] = L"Map9InteropInstanceMutex";
const DWORD kMutexWaitMs = 1000;
// A listener blocked elsewhere than the command wait ends within this when the object goes.
const DWORD kListenerEndMs = 5000;

BSTR Bstr(const wchar_t* text) { return SysAllocString(text); }
}  // namespace

Map9Link::Map9Link() {
  commandEvent = CreateEventW(nullptr, FALSE, FALSE, kCommandEvent);
  returnEvent = CreateEventW(nullptr, FALSE, FALSE, kReturnEvent);
}

Map9Link::~Map9Link() {
  // No listener may outlive the object: wake ours and wait for them.
  enabled = false;
  PruneListeners();
  for (HANDLE thread : listeners) {
    if (commandEvent) SetEvent(commandEvent);
    WaitForSingleObject(thread, kListenerEndMs);
    CloseHandle(thread);
  }
  listeners.clear();
  CloseRequest();
  if (commandEvent) CloseHandle(commandEvent);
  if (returnEvent) CloseHandle(returnEvent);
  SetEventSink(nullptr);
}

void Map9Link::SetEventSink(IAsyncEvent* sink) {
  std::lock_guard<std::mutex> hold(lock);
  asyncEvent = sink;
}

IAsyncEvent* Map9Link::EventSink() {
  std::lock_guard<std::mutex> hold(lock);
  return asyncEvent;
}

void Map9Link::Enable() {
  enabled = true;
  if (commandEvent) ResetEvent(commandEvent);
  if (returnEvent) ResetEvent(returnEvent);
  PruneListeners();
  HANDLE thread = CreateThread(nullptr, 0, ListenerMain, this, 0, nullptr);
  if (thread) listeners.push_back(thread);
}

void Map9Link::Disable() {
  EndOperation(1);  // a program waiting for an answer is released
  enabled = false;
  if (commandEvent) SetEvent(commandEvent);
}

void Map9Link::EndOperation(long result) {
  {
    std::lock_guard<std::mutex> hold(lock);
    if (view) WriteMap9Result(view, int32_t(result));
    CloseRequestLocked();
  }
  if (returnEvent) SetEvent(returnEvent);
}

size_t Map9Link::RunningListeners() {
  PruneListeners();
  return listeners.size();
}

void Map9Link::PruneListeners() {
  for (size_t i = 0; i < listeners.size();) {
    if (WaitForSingleObject(listeners[i], 0) == WAIT_OBJECT_0) {
      CloseHandle(listeners[i]);
      listeners.erase(listeners.begin() + long(i));
    } else {
      ++i;
    }
  }
}

void Map9Link::CloseRequest() {
  std::lock_guard<std::mutex> hold(lock);
  CloseRequestLocked();
}

void Map9Link::CloseRequestLocked() {
  if (view) UnmapViewOfFile(view);
  if (mapping) CloseHandle(mapping);
  view = nullptr;
  mapping = nullptr;
}

DWORD WINAPI Map9Link::ListenerMain(void* self) {
  static_cast<Map9Link*>(self)->Listen();
  return 0;
}

void Map9Link::Listen() {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, kInstanceMutex);
  if (!mutex) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    DWORD wait = WaitForSingleObject(mutex, kMutexWaitMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
      CloseHandle(mutex);  // another listener serves the session
      return;
    }
  }
  while (RequestStep()) {
  }
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

bool Map9Link::RequestStep() {
  if (!commandEvent || WaitForSingleObject(commandEvent, INFINITE) != WAIT_OBJECT_0) {
    if (returnEvent) SetEvent(returnEvent);
    return false;
  }
  if (!enabled) return false;

  HANDLE opened = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kFileMapping);
  if (!opened) opened = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kFileMapping);
  if (!opened) {
    SetEvent(returnEvent);
    return true;
  }
  void* base = MapViewOfFile(opened, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
  if (!base) {
    CloseHandle(opened);
    SetEvent(returnEvent);
    return true;
  }
  // The view's extent: the strings are read within it and nowhere else.
  MEMORY_BASIC_INFORMATION info = {};
  size_t size = VirtualQuery(base, &info, sizeof(info)) ? info.RegionSize : 0;
  std::u16string name, data;
  if (!ParseMap9Request(base, size, name, data)) {
    // Strings without their zeros make no request; the program is answered at once.
    UnmapViewOfFile(base);
    CloseHandle(opened);
    SetEvent(returnEvent);
    return true;
  }
  {
    // A request that came before the last was answered replaces it.
    std::lock_guard<std::mutex> hold(lock);
    CloseRequestLocked();
    mapping = opened;
    view = base;
  }
  Raise(reinterpret_cast<const wchar_t*>(name.c_str()), reinterpret_cast<const wchar_t*>(data.c_str()));
  return true;
}

void Map9Link::Raise(const wchar_t* name, const wchar_t* data) {
  IAsyncEvent* sink = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock);
    sink = asyncEvent;
    if (sink) sink->AddRef();
  }
  if (!sink) return;
  BSTR source = Bstr(L"Map9"), message = Bstr(name), text = Bstr(data);
  sink->ExternalEvent(source, message, text);
  SysFreeString(source);
  SysFreeString(message);
  SysFreeString(text);
  sink->Release();
}
