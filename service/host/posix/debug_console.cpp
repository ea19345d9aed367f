// Debug mode on POSIX: the service in the foreground; Ctrl+C (SIGINT) and SIGTERM stop it
// through ServiceStop on a thread of its own, as the console handler does on Windows.
#include <pthread.h>
#include <signal.h>

#include <thread>

#include "host/names.h"
#include "host/service.h"
#include "host/shell.h"
#include "platform/codepage.h"

namespace {
void WaitForSignals(sigset_t set) {
    for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) continue;
        if (sig == SIGUSR1) return;  // the service has ended by itself
        ConsolePrintf("Stopping %s.\n", kDisplayName);
        ServiceStop();
    }
}
}  // namespace

int DebugService(int argc, char** argv) {
    ConsolePrintf("Debugging %s.\n", kDisplayName);
    // The signals are taken by one thread with sigwait, so the stop runs as ordinary code
    // rather than inside a signal handler. Every thread started later inherits the mask.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread watcher(WaitForSignals, set);
    ServiceStart(argc, argv);
    pthread_kill(watcher.native_handle(), SIGUSR1);
    watcher.join();
    return FinishDebugRun();
}
