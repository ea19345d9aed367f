// State shared by the host's own units (not for other subsystems).
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class CListenServer;

// Held by the start sequence, a reload and the release at stop, so that none of them sees
// another half-done.
std::recursive_mutex& LifecycleLock();
// Set by the first ServiceStop of a run; later stops, pauses and reloads do nothing.
extern std::atomic<bool> stopRequested;

// The listener set and the port it was opened on. Pause and Stop go through these so that a
// release at the same time is harmless.
void CreateServer();
bool StartServer(std::uint16_t port);
void PauseServer(bool on);
void StopServer();
void ReleaseServer();
std::uint16_t ListenPort();

void StopWatchTimer();
