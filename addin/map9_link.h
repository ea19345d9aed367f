// State of the interop with the separate Map9 map program (methods 67 to 69).
#pragma once

struct IAsyncEvent;

class Map9Link {
 public:
  Map9Link() = default;
  virtual ~Map9Link() = default;

  // The host's event sink for "Map9" events (not owned; null when none or after Done).
  IAsyncEvent* asyncEvent = nullptr;
};
