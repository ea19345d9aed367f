// Helpers of the protocol tests: temporary exchange folders, a socket pair, an in-process
// session server on a free port, and file helpers.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/net.h"

struct DeviceTable;

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path; }
    std::string operator/(const std::string& name) const;

private:
    std::string path;
};

std::string ReadFile(const std::string& path);   // "" when missing
bool WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
std::string RandomBytes(std::size_t n, unsigned seed);
// Equal bytes; on failure says where they differ instead of printing both.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& want);
// "2011-12-20 13-48-08"
bool IsStamp(const std::string& text);
std::vector<std::string> Lines(const std::string& text);  // split at CR LF / LF

// Two connected TCP sockets over 127.0.0.1.
struct SocketPair {
    NetSocket a = 0, b = 0;
    SocketPair();
    ~SocketPair();
};

// A bare TCP client for checking bytes on the wire.
struct RawClient {
    NetSocket s = 0;
    explicit RawClient(std::uint16_t port);
    ~RawClient();
    void Send(const std::string& bytes);
    std::string Receive(std::size_t n, int timeoutSec = 15);  // fewer bytes on failure
    std::string ReceiveStatus(int timeoutSec = 15);  // one status frame, NUL included
    bool Closed(int timeoutSec = 5);                  // the service closed the connection
};
std::string StatusFrame(int code, const std::string& text);
std::string BlockFrame(std::uint32_t number, const std::string& data);

// One device row of a test configuration.
struct TestDevice {
    std::string id, agent, directory;
};
std::shared_ptr<const DeviceTable> MakeDevices(const std::vector<TestDevice>& rows);

// Listens on a free port of 127.0.0.1 and runs RunHandheldSession for every connection on a
// thread of its own, with the given connection time-out, against the host's `config`.
class SessionServer {
public:
    SessionServer(const std::string& exchangeFolder, const std::vector<TestDevice>& devices,
                  int timeoutMs = 30000, bool syncTime = false);
    ~SessionServer();
    std::uint16_t Port() const { return port; }
    void WaitIdle();  // until every session has ended
    int Sessions() const { return finished.load(); }

private:
    void AcceptLoop();
    std::string folder;
    int timeoutMs;
    bool syncTime;
    NetSocket listener = 0;
    std::uint16_t port = 0;
    std::atomic<bool> running{true};
    std::atomic<int> active{0}, finished{0};
    std::thread acceptor;
    std::mutex threadsLock;
    std::vector<std::thread> threads;
};

extern const char kDeviceA[];  // GUID-form identifiers of the test devices
extern const char kDeviceB[];
