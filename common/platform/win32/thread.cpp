#include "platform/thread.h"

#include <windows.h>
#include <process.h>

namespace {
struct Start {
    void (*fn)(void*);
    void* arg;
};
unsigned __stdcall Run(void* p) {
    Start s = *static_cast<Start*>(p);
    delete static_cast<Start*>(p);
    s.fn(s.arg);
    return 0;
}
}  // namespace

bool StartDetachedThread(void (*fn)(void*), void* arg, std::size_t stackBytes) {
    Start* s = new Start{fn, arg};
    // The size is the reservation, not the first commit: each thread holds only that much
    // address space.
    uintptr_t h = _beginthreadex(nullptr, static_cast<unsigned>(stackBytes), Run, s,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!h) {
        delete s;
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(h));
    return true;
}
