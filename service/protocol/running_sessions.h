// The sessions running right now, so that stop and pause can cut off those that outlast the
// drain: each one's reads and writes are cancelled and its socket shut down.
#pragma once
#include <mutex>
#include <vector>

#include "platform/net.h"

class CServerRdWr;

class RunningSessions {
public:
    void Add(CServerRdWr* rdwr, NetSocket socket);
    void Remove(CServerRdWr* rdwr);
    int CancelAll();  // the number of sessions cancelled
    static RunningSessions& Service();

private:
    struct Entry {
        CServerRdWr* rdwr;
        NetSocket socket;
    };
    std::mutex lock;
    std::vector<Entry> entries;
};

// Registers a session for its scope.
class RunningSession {
public:
    RunningSession(RunningSessions& r, CServerRdWr* s, NetSocket socket) : owner(r), rdwr(s) { owner.Add(rdwr, socket); }
    ~RunningSession() { owner.Remove(rdwr); }
    RunningSession(const RunningSession&) = delete;
    RunningSession& operator=(const RunningSession&) = delete;

private:
    RunningSessions& owner;
    CServerRdWr* rdwr;
};
