#include "platform/thread.h"

#include <pthread.h>

namespace {
struct Start {
    void (*fn)(void*);
    void* arg;
};
void* Run(void* p) {
    Start s = *static_cast<Start*>(p);
    delete static_cast<Start*>(p);
    s.fn(s.arg);
    return nullptr;
}
}  // namespace

bool StartDetachedThread(void (*fn)(void*), void* arg, std::size_t stackBytes) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attr, stackBytes);
    Start* s = new Start{fn, arg};
    pthread_t t;
    bool ok = pthread_create(&t, &attr, Run, s) == 0;
    pthread_attr_destroy(&attr);
    if (!ok) delete s;
    return ok;
}
