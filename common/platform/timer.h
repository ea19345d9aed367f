// A periodic timer whose callback runs on a thread of the timer's own (timer queue on Windows).
#pragma once

struct PeriodicTimer;
typedef PeriodicTimer* TimerHandle;
typedef void (*TimerCallback)(void* arg);

// First call after firstMs, then every periodMs. Null on failure.
TimerHandle TimerStart(unsigned firstMs, unsigned periodMs, TimerCallback callback, void* arg);
// Cancels the timer. With waitForCallback false it returns at once, also when called from the
// timer's own callback; a callback already running finishes on its own.
void TimerStop(TimerHandle timer, bool waitForCallback);
