// Detached threads with a small stack reservation: the service runs one per connection, and on
// i686 the default reservation of 1 MiB each would exhaust the address space long before the
// connection limits do.
#pragma once
#include <cstddef>

constexpr std::size_t kSessionStackBytes = 256 * 1024;

// Starts fn(arg) on a new detached thread; false when no thread could be made.
bool StartDetachedThread(void (*fn)(void*), void* arg, std::size_t stackBytes);
