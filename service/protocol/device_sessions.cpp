#include "protocol/device_sessions.h"

#include <chrono>

#include "platform/codepage.h"

int DeviceSessions::FindLocked(const std::string& folder) const {
    for (std::size_t i = 0; i < holders.size(); ++i)
        if (AnsiCompareNoCase(holders[i].folder.c_str(), folder.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

std::uint64_t DeviceSessions::Claim(const std::string& folder, NetSocket socket,
                                    std::atomic<bool>* cancel, int waitMs, bool* superseded) {
    if (superseded) *superseded = false;
    std::unique_lock<std::mutex> hold(lock);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        int i = FindLocked(folder);
        if (i < 0) break;
        Holder& stale = holders[static_cast<std::size_t>(i)];
        // The holder only closes its socket after releasing its claim, so the handle is still
        // its own here. The flag stops it where a shutdown alone does not wake a wait.
        if (stale.cancel) stale.cancel->store(true);
        if (stale.socket) NetShutdown(stale.socket);
        stale.socket = 0;  // shut once
        if (superseded) *superseded = true;
        if (released.wait_until(hold, deadline) == std::cv_status::timeout && FindLocked(folder) >= 0)
            return 0;
    }
    std::uint64_t ticket = nextTicket++;
    holders.push_back(Holder{folder, socket, cancel, ticket});
    return ticket;
}

void DeviceSessions::Release(std::uint64_t ticket) {
    {
        std::lock_guard<std::mutex> hold(lock);
        for (std::size_t i = 0; i < holders.size(); ++i) {
            if (holders[i].ticket == ticket) {
                holders.erase(holders.begin() + static_cast<long>(i));
                break;
            }
        }
    }
    released.notify_all();
}

int DeviceSessions::Count() {
    std::lock_guard<std::mutex> hold(lock);
    return static_cast<int>(holders.size());
}

DeviceSessions& DeviceSessions::Service() {
    static DeviceSessions sessions;
    return sessions;
}
