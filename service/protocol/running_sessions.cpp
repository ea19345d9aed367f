#include "protocol/running_sessions.h"

#include "protocol/rdwr.h"

void RunningSessions::Add(CServerRdWr* rdwr, NetSocket socket) {
    std::lock_guard<std::mutex> hold(lock);
    entries.push_back(Entry{rdwr, socket});
}

void RunningSessions::Remove(CServerRdWr* rdwr) {
    std::lock_guard<std::mutex> hold(lock);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].rdwr == rdwr) {
            entries.erase(entries.begin() + static_cast<long>(i));
            return;
        }
    }
}

int RunningSessions::CancelAll() {
    std::lock_guard<std::mutex> hold(lock);
    // The session closes its socket only after it has left this list, so the handles here
    // are still its own.
    for (Entry& e : entries) {
        e.rdwr->Cancel();
        if (e.socket) NetShutdown(e.socket);
    }
    return static_cast<int>(entries.size());
}

RunningSessions& RunningSessions::Service() {
    static RunningSessions sessions;
    return sessions;
}
