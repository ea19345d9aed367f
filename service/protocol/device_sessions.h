// Which device folders have a session running. A handheld that reconnects after a dropped
// link supersedes its stale session: that session's socket is shut down, so its pending read
// or write fails at once (its socket is shut down and its session cancelled), and the new session goes on once the old one has let go of the folder.
// Two sessions therefore never write the same device folder at the same time.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/net.h"

class DeviceSessions {
public:
    // Claims `folder` (compared ignoring case) for a session whose connection is `socket` and
    // whose reads and writes end once `cancel` is raised.
    // Returns a ticket for Release, or 0 when a superseded session did not end within waitMs.
    // *superseded tells whether another session had to be shut down.
    std::uint64_t Claim(const std::string& folder, NetSocket socket, std::atomic<bool>* cancel,
                        int waitMs, bool* superseded);
    void Release(std::uint64_t ticket);
    int Count();

    static DeviceSessions& Service();  // the register of the running service

private:
    struct Holder {
        std::string folder;
        NetSocket socket;
        std::atomic<bool>* cancel;
        std::uint64_t ticket;
    };
    int FindLocked(const std::string& folder) const;

    std::mutex lock;
    std::condition_variable released;
    std::vector<Holder> holders;
    std::uint64_t nextTicket = 1;
};

// Releases a claim when the session leaves, whatever way it leaves.
class DeviceClaim {
public:
    DeviceClaim() {}
    DeviceClaim(const DeviceClaim&) = delete;
    DeviceClaim& operator=(const DeviceClaim&) = delete;
    ~DeviceClaim() { Reset(); }
    void Set(DeviceSessions* r, std::uint64_t t) {
        Reset();
        owner = r;
        ticket = t;
    }
    void Reset() {
        if (owner && ticket) owner->Release(ticket);
        owner = nullptr;
        ticket = 0;
    }

private:
    DeviceSessions* owner = nullptr;
    std::uint64_t ticket = 0;
};
