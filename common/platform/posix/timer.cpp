// A periodic timer on a thread of its own. Stopping without waiting hands the thread's
// clean-up to the thread itself, so the call returns at once even from inside the callback.
#include "platform/timer.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {
struct TimerState {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopped = false;
    bool finished = false;
    std::thread::id thread;
};
}  // namespace

struct PeriodicTimer {
    std::shared_ptr<TimerState> state;
    std::thread worker;
};

TimerHandle TimerStart(unsigned firstMs, unsigned periodMs, TimerCallback callback, void* arg) {
    if (!callback) return nullptr;
    auto timer = new PeriodicTimer;
    timer->state = std::make_shared<TimerState>();
    std::shared_ptr<TimerState> state = timer->state;
    try {
        std::unique_lock<std::mutex> lock(state->mutex);
        timer->worker = std::thread([state, firstMs, periodMs, callback, arg] {
            auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(firstMs);
            std::unique_lock<std::mutex> lock(state->mutex);
            for (;;) {
                if (state->wake.wait_until(lock, next, [&] { return state->stopped; })) break;
                lock.unlock();
                callback(arg);
                lock.lock();
                if (state->stopped || periodMs == 0) break;
                next += std::chrono::milliseconds(periodMs);
                auto now = std::chrono::steady_clock::now();
                if (next < now) next = now;  // a late callback does not cause a burst of calls
            }
            state->finished = true;
            state->wake.notify_all();
        });
        state->thread = timer->worker.get_id();
    } catch (...) {
        delete timer;
        return nullptr;
    }
    return timer;
}

void TimerStop(TimerHandle timer, bool waitForCallback) {
    if (!timer) return;
    std::shared_ptr<TimerState> state = timer->state;
    bool own;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->stopped = true;
        own = state->thread == std::this_thread::get_id();
    }
    state->wake.notify_all();
    if (waitForCallback && !own) {
        timer->worker.join();
    } else {
        timer->worker.detach();  // the thread ends by itself; it holds its own share of the state
    }
    delete timer;
}
