// The periodic timer: period, stopping with and without waiting, stopping from its callback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/timer.h"

namespace {
using namespace std::chrono;

struct Counter {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> overlapped{false};
    bool holds = false;                // the callback stays until `released` (at most 60 s)
    std::atomic<bool> released{false};
};

void Count(void* arg) {
    auto c = static_cast<Counter*>(arg);
    if (c->inside.exchange(true)) c->overlapped = true;
    ++c->calls;
    for (int i = 0; c->holds && !c->released && i < 60000; ++i) std::this_thread::sleep_for(milliseconds(1));
    c->inside = false;
}

// TimerStop on a thread of its own; whether it has returned.
struct Stopper {
    std::atomic<bool> returned{false};
    std::thread thread;
    Stopper(TimerHandle t, bool wait) : thread([this, t, wait] {
        TimerStop(t, wait);
        returned = true;
    }) {}
    ~Stopper() { thread.join(); }
};

bool WaitFor(const std::atomic<int>& value, int atLeast, int ms) {
    auto end = steady_clock::now() + milliseconds(ms);
    while (value.load() < atLeast && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(5));
    return value.load() >= atLeast;
}

TEST(Timer, CallsRepeatedlyAndStopsForGood) {
    Counter c;
    TimerHandle t = TimerStart(10, 20, Count, &c);
    ASSERT_NE(nullptr, t);
    EXPECT_TRUE(WaitFor(c.calls, 3, 5000));
    TimerStop(t, true);
    int after = c.calls.load();
    EXPECT_FALSE(c.inside.load());  // a waiting stop returns after the running callback
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(after, c.calls.load());
    EXPECT_FALSE(c.overlapped.load());
}

TEST(Timer, WaitingStopWaitsForARunningCallback) {
    Counter c;
    c.holds = true;
    TimerHandle t = TimerStart(0, 600000, Count, &c);
    ASSERT_NE(nullptr, t);
    ASSERT_TRUE(WaitFor(c.calls, 1, 5000));
    {
        Stopper stop(t, true);
        std::this_thread::sleep_for(milliseconds(300));
        EXPECT_FALSE(stop.returned.load()) << "returned while the callback still ran";
        c.released = true;
        auto end = steady_clock::now() + seconds(30);
        while (!stop.returned && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(5));
        EXPECT_TRUE(stop.returned.load());
        EXPECT_FALSE(c.inside.load());
    }
    EXPECT_EQ(1, c.calls.load());
}

struct SelfStopper {
    std::atomic<TimerHandle> timer{nullptr};
    std::atomic<int> calls{0};
    std::atomic<bool> returned{false};
};

void StopSelf(void* arg) {
    auto s = static_cast<SelfStopper*>(arg);
    while (!s->timer.load()) std::this_thread::yield();
    ++s->calls;
    TimerStop(s->timer.load(), true);  // from its own callback: must not wait for itself
    s->returned = true;
}

TEST(Timer, StopFromItsOwnCallbackReturnsAtOnce) {
    static SelfStopper s;  // outlives a callback that is still finishing
    TimerHandle t = TimerStart(5, 5, StopSelf, &s);
    ASSERT_NE(nullptr, t);
    s.timer = t;
    auto end = steady_clock::now() + seconds(5);
    while (!s.returned && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(5));
    EXPECT_TRUE(s.returned.load());
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(1, s.calls.load());
}

TEST(Timer, NonWaitingStopReturnsWhileTheCallbackRuns) {
    static Counter c;  // the callback finishes after the stop has returned
    c.holds = true;
    TimerHandle t = TimerStart(0, 1000, Count, &c);
    ASSERT_NE(nullptr, t);
    ASSERT_TRUE(WaitFor(c.calls, 1, 5000));
    {
        // The callback is held until the stop has returned: a stop that waited for it would
        // return only when the hold gives up after 60 s.
        Stopper stop(t, false);
        auto end = steady_clock::now() + seconds(30);
        while (!stop.returned && steady_clock::now() < end) std::this_thread::sleep_for(milliseconds(5));
        EXPECT_TRUE(stop.returned.load());
        EXPECT_TRUE(c.inside.load());
        c.released = true;
    }
    std::this_thread::sleep_for(milliseconds(1500));  // more than the period: no further call
    EXPECT_EQ(1, c.calls.load());
    EXPECT_FALSE(c.inside.load());
}
}  // namespace
