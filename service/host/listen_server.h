// The set of TCP listeners of the service (one in practice) and their accept threads.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/net.h"

class Admission;
class CConnection;

struct ListenerEntry {
    NetAddress address;              // any local address, the listener's port
    NetSocket socket = 0;
    std::atomic<bool> running{false};  // set by Listen, cleared by Stop and the destructor
    std::atomic<bool> paused{false};   // while set nothing is accepted; clients wait in the backlog
    std::atomic<int> timeoutMs{0};     // given to every accepted connection
    std::thread acceptThread;
};

// Runs on a new thread for every accepted connection and owns it from then on.
typedef int (*SessionFunction)(CConnection* connection);

class CListenServer {
public:
    CListenServer() = default;
    CListenServer(const CListenServer&) = delete;
    CListenServer& operator=(const CListenServer&) = delete;
    // Stops every listener, waits for its accept thread and closes its socket.
    ~CListenServer();

    void SetSessionFunction(SessionFunction fn) { session_ = fn; }
    // Counted up by the accept thread before a session thread starts (the session counts it
    // down at its end), so a stop that finds the count at 0 cannot miss a session just
    // accepted.
    void SetSessionCounter(std::atomic<int>* counter) { counter_ = counter; }
    // Connections beyond its limits are closed at once, before any thread is made for them.
    void SetAdmission(Admission* a) { admission_ = a; }
    // Adds a listener for `port`; with startNow it also opens it (time-out 30000 ms).
    bool Start(std::uint16_t port, bool startNow);
    // Binds and listens on the port and starts the accept thread. On failure the error text
    // "Ошибка запуска сервера. %s (%d)" (or the listen error code) is stored and printed and
    // the entry is removed.
    bool Listen(std::uint16_t port);
    bool Pause(std::uint16_t port, bool on);
    bool Stop(std::uint16_t port);
    void SetTimeout(std::uint16_t port, int ms);
    ListenerEntry* Find(std::uint16_t port);

private:
    void AcceptLoop(ListenerEntry* entry);
    void Fail(std::uint16_t port, ListenerEntry* entry, const char* text);

    std::mutex mutex_;  // guards the map, not the entries' flags
    std::map<std::uint16_t, std::unique_ptr<ListenerEntry>> entries_;
    std::atomic<SessionFunction> session_{nullptr};
    std::atomic<std::atomic<int>*> counter_{nullptr};
    std::atomic<Admission*> admission_{nullptr};
};

// The text of the socket error table for a Winsock error number.
const char* ListenErrorText(int error);
