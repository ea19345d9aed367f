#include "host/admission.h"

#include <atomic>
#include <chrono>

#include "host/log.h"

namespace {
typedef std::chrono::steady_clock Clock;
std::atomic<int> refusalIntervalSec{60};

struct Refusals {
    Clock::time_point since;
    unsigned logged = 0;
    unsigned suppressed = 0;
};
// Refusals of one address per interval that still get their own line (a few misconfigured
// handhelds behind one address stay visible one by one).
constexpr unsigned kLinesPerInterval = 5;
// Bounded: past this many addresses the oldest windows are closed (written) early.
constexpr std::size_t kMaxTracked = 4096;
}  // namespace

void Admission::SetLimits(const ConnectionLimits& l) {
    std::lock_guard<std::mutex> hold(lock);
    limits = l;
}

ConnectionLimits Admission::Limits() {
    std::lock_guard<std::mutex> hold(lock);
    return limits;
}

bool Admission::Admit(std::uint32_t ip) {
    std::lock_guard<std::mutex> hold(lock);
    std::uint32_t& n = perAddress[ip];
    if (total >= limits.maxConnections || n >= limits.maxPerAddress) {
        if (n == 0) perAddress.erase(ip);
        return false;
    }
    ++n;
    ++total;
    return true;
}

void Admission::Release(std::uint32_t ip) {
    std::lock_guard<std::mutex> hold(lock);
    auto it = perAddress.find(ip);
    if (it == perAddress.end()) return;
    if (--it->second == 0) perAddress.erase(it);
    if (total) --total;
}

int Admission::Total() {
    std::lock_guard<std::mutex> hold(lock);
    return static_cast<int>(total);
}

Admission& Admission::Service() {
    static Admission admission;
    return admission;
}

void SetRefusalInterval(int seconds) { refusalIntervalSec.store(seconds); }

namespace {
std::mutex refusalsLock;
std::map<std::string, Refusals> windows;

// Writes the summary of a window and forgets it; the caller holds the lock.
std::map<std::string, Refusals>::iterator Close(std::map<std::string, Refusals>::iterator it) {
    if (it->second.suppressed) {
        char text[160];
        std::snprintf(text, sizeof text, "%u more refusals from %s not logged one by one",
                      it->second.suppressed, it->first.c_str());
        LogMessage(text);
    }
    return windows.erase(it);
}
}  // namespace

void FlushRefusals() {
    std::lock_guard<std::mutex> hold(refusalsLock);
    for (auto it = windows.begin(); it != windows.end();) it = Close(it);
}

bool LogRefusalNow(const std::string& address) {
    std::lock_guard<std::mutex> hold(refusalsLock);
    Clock::time_point now = Clock::now();
    auto interval = std::chrono::seconds(refusalIntervalSec.load());
    for (auto it = windows.begin(); it != windows.end();)
        it = now - it->second.since >= interval || windows.size() > kMaxTracked ? Close(it) : std::next(it);
    auto it = windows.find(address);
    if (it == windows.end()) {
        it = windows.emplace(address, Refusals()).first;
        it->second.since = now;
    }
    if (it->second.logged < kLinesPerInterval) {
        ++it->second.logged;
        return true;
    }
    ++it->second.suppressed;
    return false;
}
