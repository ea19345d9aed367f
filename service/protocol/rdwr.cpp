#include "protocol/rdwr.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "host/connection.h"

namespace {
typedef std::chrono::steady_clock Clock;

long RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<long>(left.count()) : 0;
}

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr long kSliceMs = 250;

// One wait of at most `left` ms; with a cancel flag in slices, so a raised flag is seen soon.
// 1 ready, 0 time-out, -1 error, -2 cancelled.
int WaitFor(NetSocket socket, bool writable, long left, const std::atomic<bool>* cancel) {
    for (;;) {
        if (cancel && cancel->load()) return -2;
        long slice = cancel && left > kSliceMs ? kSliceMs : left;
        int ready = writable ? NetWaitWritable(socket, slice / 1000, (slice % 1000) * 1000)
                             : NetWaitReadable(socket, slice / 1000, (slice % 1000) * 1000);
        if (ready != 0 || slice == left) return ready;
        left -= slice;
    }
}
}  // namespace

bool SetBlocking(NetSocket socket, bool nonBlocking) { return NetSetNonBlocking(socket, nonBlocking); }

std::size_t SendAll(const void* data, std::size_t length, ResultCode& status, NetSocket socket,
                    int timeoutSec, const std::atomic<bool>* cancel, bool switchMode) {
    status = ZeroSocket;
    if (socket == 0) return 0;
    status = Ok;
    std::size_t sent = 0;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSec);
    if (switchMode && !SetBlocking(socket, true)) {
        status = SocketError;
        return 0;
    }
    const char* p = static_cast<const char*>(data);
    // A socket the caller keeps non-blocking is tried at once: its buffer usually has room.
    bool wait = switchMode;
    while (sent < length) {
        long left = RemainingMs(deadline);
        if (left == 0) {
            status = Timeout;
            break;
        }
        if (wait) {
            int ready = WaitFor(socket, true, left, cancel);
            if (ready != 1) {
                status = ready < 0 ? SocketError : Timeout;
                return sent;
            }
        }
        long n = NetSend(socket, p + sent, length - sent);
        if (n < 0) {
            if (NetLastError() != NET_EWOULDBLOCK) {
                status = SocketError;
                return sent;
            }
            // Full: wait for room; if select said there was room, a moment more.
            if (wait) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            wait = true;
            continue;
        }
        sent += static_cast<std::size_t>(n);
        wait = switchMode;
    }
    return sent;
}

std::size_t ReceiveOnce(void* buffer, std::size_t length, long remainingMs, ResultCode& status,
                        NetSocket socket, const std::atomic<bool>* cancel, bool nonBlocking) {
    status = ZeroSocket;
    if (socket == 0) return 0;
    status = Ok;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(remainingMs);
    for (bool first = true;; first = false) {
        if (first && nonBlocking && !(cancel && cancel->load())) {
            long n = NetRecv(socket, buffer, length);  // what is there already, without a wait
            if (n >= 0) return static_cast<std::size_t>(n);
            if (NetLastError() != NET_EWOULDBLOCK) {
                status = SocketError;
                return 0;
            }
        }
        long left = RemainingMs(deadline);
        int ready = left > 0 ? WaitFor(socket, false, left, cancel) : 0;
        if (ready != 1) {
            status = ready < 0 ? SocketError : Timeout;
            return 0;
        }
        long n = NetRecv(socket, buffer, length);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (NetLastError() != NET_EWOULDBLOCK) {
            status = SocketError;
            return 0;
        }
        // A readiness report without data (possible on a non-blocking socket): wait again.
    }
}

std::size_t ReceiveAll(void* buffer, std::size_t length, ResultCode& status, NetSocket socket,
                       int timeoutSec) {
    status = ZeroSocket;
    if (socket == 0) return 0;
    status = Ok;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSec);
    std::size_t got = 0;
    char* p = static_cast<char*>(buffer);
    while (got < length) {
        long left = RemainingMs(deadline);
        if (left == 0) {
            status = Timeout;
            return got;
        }
        std::size_t n = ReceiveOnce(p + got, length - got, left, status, socket);
        if (status != Ok) return got;
        if (n == 0) {
            status = SocketError;  // orderly close by the peer
            return got;
        }
        got += n;
    }
    return got;
}

CServerRdWr::CServerRdWr(CConnection* c) : connection(c) {
    NetSocket s = Socket();
    if (s) {
        // Block headers and acknowledgements are small writes; without this each one waits for
        // the peer's delayed acknowledgement.
        NetSetNoDelay(s, true);
        nonBlocking = SetBlocking(s, true);
    }
}

void CServerRdWr::BeginDeadline(int seconds) {
    if (seconds <= 0) seconds = connection ? connection->timeoutSec : 0;
    frameDeadline = true;
    frameEnd = Clock::now() + std::chrono::seconds(seconds);
}

int CServerRdWr::TimeoutSeconds() const {
    int timeout = connection ? connection->timeoutSec : 0;
    if (frameDeadline) {
        long left = RemainingMs(frameEnd);
        int frame = static_cast<int>((left + 999) / 1000);
        if (frame < timeout) timeout = frame;
    }
    return timeout;
}

NetSocket CServerRdWr::Socket() const { return connection ? connection->socket : 0; }

std::uint8_t CServerRdWr::GetByte() {
    std::uint8_t b = 0;
    Read(&b, 1);
    return b;
}

void CServerRdWr::PutByte(std::uint8_t byte) { Write(&byte, 1); }

void CServerRdWr::Write(const void* buffer, std::size_t length) {
    if (cancelled.load()) {
        status = SocketError;
        return;
    }
    SendAll(buffer, length, status, Socket(), TimeoutSeconds(), &cancelled, !nonBlocking);
}

void CServerRdWr::Read(void* buffer, std::size_t length) {
    NetSocket s = Socket();
    status = ZeroSocket;
    if (s == 0) return;
    status = SocketError;
    if (cancelled.load()) return;  // nothing more is read, not even what is buffered
    status = Ok;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(connection->timeoutSec);
    if (frameDeadline && frameEnd < deadline) deadline = frameEnd;
    std::uint8_t* out = static_cast<std::uint8_t*>(buffer);
    std::size_t got = 0;
    while (got < length) {
        std::size_t have = pendingEnd - pendingStart;
        if (have > 0) {
            std::size_t n = have < length - got ? have : length - got;
            std::memcpy(out + got, pending.get() + pendingStart, n);
            pendingStart += n;
            got += n;
            continue;
        }
        long left = RemainingMs(deadline);
        if (left == 0) {
            status = Timeout;
            return;
        }
        std::size_t want = length - got;
        std::size_t n;
        if (want >= kReadChunk) {
            n = ReceiveOnce(out + got, want, left, status, s, &cancelled, nonBlocking);  // large data straight in
            if (status == Ok) got += n;
        } else {
            if (!pending) pending.reset(new std::uint8_t[kReadChunk]);
            n = ReceiveOnce(pending.get(), kReadChunk, left, status, s, &cancelled, nonBlocking);
            pendingStart = 0;
            pendingEnd = status == Ok ? n : 0;
        }
        if (status != Ok) return;
        if (n == 0) {
            status = SocketError;  // orderly close by the peer
            return;
        }
    }
}
