// A periodic timer on the default timer queue. Stopping without waiting leaves the deletion
// (which waits for a running callback) to a helper thread, so the call returns at once, also
// from inside the timer's own callback.
#include "platform/timer.h"

#include <windows.h>

#include <atomic>
#include <thread>

struct PeriodicTimer {
    HANDLE handle = nullptr;
    TimerCallback callback = nullptr;
    void* arg = nullptr;
    std::atomic<bool> stopped{false};
};

namespace {
thread_local PeriodicTimer* t_running = nullptr;

void CALLBACK Trampoline(PVOID param, BOOLEAN) {
    auto timer = static_cast<PeriodicTimer*>(param);
    if (timer->stopped.load()) return;
    PeriodicTimer* outer = t_running;
    t_running = timer;
    timer->callback(timer->arg);
    t_running = outer;
}

void Delete(PeriodicTimer* timer) {
    DeleteTimerQueueTimer(nullptr, timer->handle, INVALID_HANDLE_VALUE);  // waits for callbacks
    delete timer;
}
}  // namespace

TimerHandle TimerStart(unsigned firstMs, unsigned periodMs, TimerCallback callback, void* arg) {
    if (!callback) return nullptr;
    auto timer = new PeriodicTimer;
    timer->callback = callback;
    timer->arg = arg;
    if (!CreateTimerQueueTimer(&timer->handle, nullptr, Trampoline, timer, firstMs, periodMs,
                               WT_EXECUTEDEFAULT)) {
        delete timer;
        return nullptr;
    }
    return timer;
}

void TimerStop(TimerHandle timer, bool waitForCallback) {
    if (!timer) return;
    timer->stopped.store(true);
    if (waitForCallback && t_running != timer) {
        Delete(timer);
        return;
    }
    try {
        std::thread([timer] { Delete(timer); }).detach();
    } catch (...) {
        // No thread to spare: cancel without waiting and keep the small block alive, since a
        // callback may still be reading it.
        DeleteTimerQueueTimer(nullptr, timer->handle, nullptr);
    }
}
