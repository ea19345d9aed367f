#include "support.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

#include "config/config.h"
#include "host/connection.h"
#include "host/log.h"
#include "host/service.h"
#include "platform/files.h"
#include "protocol/crc32.h"
#include "protocol/frames.h"
#include "protocol/rdwr.h"
#include "protocol/session_entry.h"

namespace fs = std::filesystem;

const char kDeviceA[] = "6F9619FF-8B86-D011-B42D-00C04FC964FF";
const char kDeviceB[] = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path p = base / ("velora-proto-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path = p.string();
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string TempDir::operator/(const std::string& name) const { return (fs::path(path) / name).string(); }

std::string ReadFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "";
    std::string out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
    if (got == want) return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    return ::testing::AssertionFailure() << "got " << got.size() << " bytes, want " << want.size()
                                         << ", first difference at " << i;
}

bool IsStamp(const std::string& text) {
    const char pattern[] = "dddd-dd-dd dd-dd-dd";
    if (text.size() != sizeof pattern - 1) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        start = nl + 1;
    }
    return out;
}

namespace {
NetSocket Listen(std::uint16_t* port) {
    NetSocket s = NetTcpSocket();
    if (!s) return 0;
    std::uint32_t loopback = 0;
    NetParseAddress("127.0.0.1", &loopback);
    if (!NetBind(s, loopback, 0) || !NetListen(s, 256)) {
        NetClose(s);
        return 0;
    }
    NetAddress a;
    NetLocalAddress(s, &a);
    *port = a.port;
    return s;
}

struct NetInit {
    NetInit() { NetStartup(); }
};
void EnsureNet() { static NetInit once; }
}  // namespace

SocketPair::SocketPair() {
    EnsureNet();
    std::uint16_t port = 0;
    NetSocket l = Listen(&port);
    a = NetTcpSocket();
    std::uint32_t loopback = 0;
    NetParseAddress("127.0.0.1", &loopback);
    NetConnect(a, loopback, port);
    NetAddress peer;
    b = NetAccept(l, &peer);
    NetClose(l);
}

SocketPair::~SocketPair() {
    if (a) NetClose(a);
    if (b) NetClose(b);
}

RawClient::RawClient(std::uint16_t port) {
    EnsureNet();
    s = NetTcpSocket();
    std::uint32_t loopback = 0;
    NetParseAddress("127.0.0.1", &loopback);
    if (!NetConnect(s, loopback, port)) {
        NetClose(s);
        s = 0;
    }
}

RawClient::~RawClient() {
    if (s) NetClose(s);
}

void RawClient::Send(const std::string& bytes) {
    ResultCode status = Ok;
    SendAll(bytes.data(), bytes.size(), status, s, 10);
}

std::string RawClient::Receive(std::size_t n, int timeoutSec) {
    std::string out(n, '\0');
    ResultCode status = Ok;
    out.resize(ReceiveAll(&out[0], n, status, s, timeoutSec));
    return out;
}

std::string RawClient::ReceiveStatus(int timeoutSec) {
    std::string out = Receive(5, timeoutSec);
    if (out.size() < 5) return out;
    for (;;) {
        std::string c = Receive(1, timeoutSec);
        out += c;
        if (c.empty() || c[0] == '\0') return out;
    }
}

bool RawClient::Closed(int timeoutSec) {
    char c;
    ResultCode status = Ok;
    std::size_t n = ReceiveOnce(&c, 1, timeoutSec * 1000L, status, s);
    return status == Ok ? n == 0 : status == SocketError;
}

std::string StatusFrame(int code, const std::string& text) { return FormatStatus(code, text.c_str()); }

std::string BlockFrame(std::uint32_t number, const std::string& data) {
    char h[31];
    FormatBlockHeader(number, static_cast<std::uint32_t>(data.size()), Crc32(data.data(), data.size()), h);
    return std::string(h, 30) + data;
}

std::shared_ptr<const DeviceTable> MakeDevices(const std::vector<TestDevice>& rows) {
    auto table = std::make_shared<DeviceTable>();
    for (const TestDevice& d : rows) {
        table->deviceIds.push_back(d.id);
        table->agentNames.push_back(d.agent);
        table->directories.push_back(d.directory);
    }
    return table;
}

SessionServer::SessionServer(const std::string& exchangeFolder, const std::vector<TestDevice>& devices,
                             int timeout, bool sync)
    : folder(exchangeFolder), timeoutMs(timeout), syncTime(sync) {
    EnsureNet();
    config.PublishDevices(MakeDevices(devices));
    SetLogPath(JoinPath(exchangeFolder, "log.txt"));
    listener = Listen(&port);
    acceptor = std::thread([this] { AcceptLoop(); });
}

void SessionServer::AcceptLoop() {
    while (running) {
        if (NetWaitReadable(listener, 0, 100000) != 1) continue;
        NetAddress peer;
        NetSocket s = NetAccept(listener, &peer);
        if (!s) continue;
        CConnection* c = new CConnection;
        c->peer = peer;
        c->SetSocket(s);
        c->SetTimeout(timeoutMs);
        ++active;
        std::lock_guard<std::mutex> hold(threadsLock);
        threads.emplace_back([this, c] {
            RunHandheldSession(c, folder, syncTime);
            delete c;
            ++finished;
            --active;
        });
    }
}

void SessionServer::WaitIdle() {
    for (int i = 0; i < 1200 && active.load() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

SessionServer::~SessionServer() {
    running = false;
    acceptor.join();
    std::lock_guard<std::mutex> hold(threadsLock);
    for (std::thread& t : threads) t.join();
    NetClose(listener);
}
