// The byte reader/writer under the handheld protocol: one status word, a deadline per call.
#pragma once
#include <cstddef>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/net.h"
#include "protocol/result_codes.h"

class CConnection;

// Transport on a bare socket. The deadline of each call runs from its start (timeoutSec in
// whole seconds), so one call of many bytes has that time in all.
// With `cancel`, waits are cut into short slices and a raised flag ends the call with
// SocketError: another thread can stop a session whatever the socket layer does on a shutdown.
// switchMode false: the caller keeps the socket non-blocking already (saves a call per write).
std::size_t SendAll(const void* data, std::size_t length, ResultCode& status, NetSocket socket,
                    int timeoutSec, const std::atomic<bool>* cancel = nullptr, bool switchMode = true);
// A peer that closes the connection ends the call at once with SocketError: no more bytes can
// come, so waiting out the deadline would only hold the session.
std::size_t ReceiveAll(void* buffer, std::size_t length, ResultCode& status, NetSocket socket,
                       int timeoutSec);
// At most one successful recv within remainingMs. Bytes received; 0 with status Ok when the
// peer has closed; 0 with Timeout when nothing came in time. With nonBlocking (the caller
// knows the socket is) data already waiting is taken without a wait first.
std::size_t ReceiveOnce(void* buffer, std::size_t length, long remainingMs, ResultCode& status,
                        NetSocket socket, const std::atomic<bool>* cancel = nullptr,
                        bool nonBlocking = false);
bool SetBlocking(NetSocket socket, bool nonBlocking);

class CRdWr {
public:
    virtual ~CRdWr() {}
    virtual std::uint8_t GetByte() = 0;
    virtual void PutByte(std::uint8_t byte) = 0;
    virtual void Read(void* buffer, std::size_t length) = 0;
    virtual void Write(const void* buffer, std::size_t length) = 0;
    virtual ResultCode GetStatus() = 0;
    virtual void SetStatus(ResultCode status) = 0;
    // Until EndDeadline every read and write also ends by one deadline `seconds` from now (0:
    // the connection's time-out), so a frame read in pieces (a status text byte by byte) has
    // that time in all, however slowly its bytes trickle in. Nothing by default.
    virtual void BeginDeadline(int seconds) { (void)seconds; }
    virtual void EndDeadline() {}
};

// One deadline over the reads and writes of a scope.
class DeadlineScope {
public:
    DeadlineScope(CRdWr* r, int seconds) : rdwr(r) { rdwr->BeginDeadline(seconds); }
    ~DeadlineScope() { rdwr->EndDeadline(); }
    DeadlineScope(const DeadlineScope&) = delete;
    DeadlineScope& operator=(const DeadlineScope&) = delete;

private:
    CRdWr* rdwr;
};

// Over one accepted connection (not owned). The socket is kept non-blocking and without
// Nagle's delay; reads are buffered, so a status message or a block header and its data
// usually arrive in one recv instead of one call per byte.
class CServerRdWr : public CRdWr {
public:
    explicit CServerRdWr(CConnection* connection);
    std::uint8_t GetByte() override;
    void PutByte(std::uint8_t byte) override;
    void Read(void* buffer, std::size_t length) override;
    void Write(const void* buffer, std::size_t length) override;
    ResultCode GetStatus() override { return status; }
    void SetStatus(ResultCode s) override { status = s; }
    void BeginDeadline(int seconds) override;
    void EndDeadline() override { frameDeadline = false; }
    int TimeoutSeconds() const;

    NetSocket Socket() const;
    // Ends the current and every later operation with SocketError (from any thread).
    void Cancel() { cancelled.store(true); }
    std::atomic<bool>* CancelFlag() { return &cancelled; }

private:
    ResultCode status = Ok;
    CConnection* connection;
    std::atomic<bool> cancelled{false};
    bool nonBlocking = false;  // set once by the constructor
    bool frameDeadline = false;
    std::chrono::steady_clock::time_point frameEnd;
    std::unique_ptr<std::uint8_t[]> pending;  // received, not yet read: [pendingStart, pendingEnd)
    std::size_t pendingStart = 0, pendingEnd = 0;
};
