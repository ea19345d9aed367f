#include "host/listen_server.h"

#include <chrono>
#include <cstdio>

#include "host/admission.h"
#include "host/connection.h"
#include "host/error_texts.h"
#include "host/log.h"
#include "platform/thread.h"
#include "platform/codepage.h"
#include "registry.h"

namespace {
constexpr int kBacklog = 0x7fffffff;  // SOMAXCONN of Winsock 2: the largest the system allows

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void CloseListening(ListenerEntry* entry) {
    if (!entry->socket) return;
    NetShutdown(entry->socket);
    NetClose(entry->socket);
    entry->socket = 0;
}

struct SessionStart {
    SessionFunction fn;
    CConnection* connection;
};
void RunSession(void* p) {
    SessionStart s = *static_cast<SessionStart*>(p);
    delete static_cast<SessionStart*>(p);
    s.fn(s.connection);
}

void StoreAndPrint(const char* text) {
    SetErrorText(text);
    ConsolePrintf("%s\n", text);
}
}  // namespace

const char* ListenErrorText(int error) {
    switch (error) {
        case NET_EACCES: return ErrorTexts::kPermissionDenied;
        case NET_EALREADY: return ErrorTexts::kAlreadyInProgress;
        case NET_EAFNOSUPPORT: return ErrorTexts::kFamilyNotSupported;
        case NET_EADDRINUSE: return ErrorTexts::kAddressInUse;
        case NET_EADDRNOTAVAIL: return ErrorTexts::kAddressNotAvailable;
        default: return ErrorTexts::kOtherSocketError;
    }
}

CListenServer::~CListenServer() {
    std::map<std::uint16_t, std::unique_ptr<ListenerEntry>> entries;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entries.swap(entries_);
    }
    for (auto& item : entries) {
        ListenerEntry* entry = item.second.get();
        entry->running.store(false);
        // The accept thread notices within its 0.5 s wait; joining it (rather than only
        // sleeping) means the entry is never freed under a thread still using it.
        if (entry->acceptThread.joinable()) entry->acceptThread.join();
        CloseListening(entry);
    }
}

bool CListenServer::Start(std::uint16_t port, bool startNow) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entries_.count(port)) return false;
        entries_[port].reset(new ListenerEntry);
    }
    if (!startNow) return true;
    SetTimeout(port, 30000);
    return Listen(port);
}

ListenerEntry* CListenServer::Find(std::uint16_t port) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(port);
    return it == entries_.end() ? nullptr : it->second.get();
}

void CListenServer::Fail(std::uint16_t port, ListenerEntry* entry, const char* text) {
    StoreAndPrint(text);
    CloseListening(entry);
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(port);
}

bool CListenServer::Listen(std::uint16_t port) {
    ListenerEntry* entry = Find(port);
    if (!entry || entry->running.exchange(true)) return false;
    entry->address.ip = 0;
    entry->address.port = port;

    entry->socket = NetTcpSocket();
    bool ok = entry->socket != 0;
    // POSIX keeps a closed listener's port in TIME_WAIT for a while; this lets a restarted
    // service take it at once. It never lets two listeners share a port (Linux refuses a bind
    // to a port that has a listening socket), and on Windows it does nothing.
    if (ok) NetSetReuseAddress(entry->socket, true);
    ok = ok && NetBind(entry->socket, 0, port) && NetSetNonBlocking(entry->socket, true);
    if (!ok) {
        int error = NetLastError();
        char text[160];
        std::snprintf(text, sizeof text, ErrorTexts::kServerStart, ListenErrorText(error), error);
        Fail(port, entry, text);
        return false;
    }
    // Listening before the service reports RUNNING means the port answers as soon as the
    // service says it runs, and a failing listen fails the start instead of leaving a
    // running service that accepts nothing.
    if (!NetListen(entry->socket, kBacklog)) {
        char text[16];
        std::snprintf(text, sizeof text, ErrorTexts::kListenFailed, NetLastError());
        Fail(port, entry, text);
        return false;
    }
    try {
        entry->acceptThread = std::thread(&CListenServer::AcceptLoop, this, entry);
    } catch (...) {
        char text[160];
        std::snprintf(text, sizeof text, ErrorTexts::kServerStart, ListenErrorText(NET_EOTHER), NET_EOTHER);
        Fail(port, entry, text);
        return false;
    }
    return true;
}

bool CListenServer::Pause(std::uint16_t port, bool on) {
    ListenerEntry* entry = Find(port);
    if (!entry) return false;
    entry->paused.store(on);
    return true;
}

bool CListenServer::Stop(std::uint16_t port) {
    ListenerEntry* entry = Find(port);
    if (!entry) return false;
    entry->running.store(false);
    return true;
}

void CListenServer::SetTimeout(std::uint16_t port, int ms) {
    if (ListenerEntry* entry = Find(port)) entry->timeoutMs.store(ms);
}

void CListenServer::AcceptLoop(ListenerEntry* entry) {
    while (entry->running.load()) {
        while (entry->paused.load()) {
            Sleep(100);
            if (!entry->running.load()) return;
        }
        int ready = NetWaitReadable(entry->socket, 0, 500000);
        if (ready < 0) Sleep(100);  // a broken wait must not spin
        // A pause that came during the wait holds: the client stays in the backlog.
        if (ready <= 0 || entry->paused.load()) continue;

        std::unique_ptr<CConnection> connection(new CConnection);
        connection->listener = entry->address;
        NetSocket s = NetAccept(entry->socket, &connection->peer);
        if (!s && NetLastError() == NET_EWOULDBLOCK) {
            Sleep(200);
            s = NetAccept(entry->socket, &connection->peer);
        }
        if (!s) continue;
        connection->SetSocket(s);
        connection->SetTimeout(entry->timeoutMs.load());
        if (Admission* admission = admission_.load()) {
            if (!admission->Admit(connection->peer.ip)) {
                // Closed at once: a flood from one address holds neither a thread nor a slot.
                std::string address = connection->PeerAddressText();
                if (LogRefusalNow(address)) {
                    std::string text = "Connection from " + address + " refused: too many connections";
                    LogMessage(text.c_str());
                }
                continue;
            }
            connection->admitted = admission;
        }
        SessionFunction fn = session_.load();
        std::atomic<int>* counter = counter_.load();
        if (counter) ++*counter;
        std::unique_ptr<SessionStart> start(fn ? new SessionStart{fn, connection.get()} : nullptr);
        if (start && StartDetachedThread(RunSession, start.get(), kSessionStackBytes)) {
            start.release();       // the session thread owns both from now on
            connection.release();
        } else {
            // No thread for this one: drop the connection but keep accepting the next.
            if (counter) --*counter;
            Sleep(200);
        }
    }
}
