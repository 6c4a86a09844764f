// stopSignals.cpp
// SIGTERM and SIGINT end the demo cleanly with exit code 0 at any moment. The handler only wakes
// a watcher thread through a pipe; the watcher raises the stop flag that the loop reads, closes a
// message box that blocks the main thread, and ends the process itself if it is still there later.
// The watcher starts only once the start question is answered: SDL shows that box in a forked
// child, and a fork beside another thread can leave the child stuck on a lock that thread held
// (seen under AddressSanitizer). Until then the handler ends the process at once, and every forked
// child is told to die with its parent, so the box goes with it.
#include <signal.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/platform.h"

namespace {

std::atomic<bool> stopRequested{false};
int wakePipe[2] = {-1, -1};

std::atomic<bool> watcherRunning{false};

void onStopSignal(int) {
    if (!watcherRunning.load()) _exit(0);  // nothing open yet; a box child dies with us
    stopRequested.store(true);
    char byte = 1;
    ssize_t written = write(wakePipe[1], &byte, 1);
    (void)written;
}

// How long the main thread has to end on its own once a stop was asked for.
const auto kGrace = std::chrono::milliseconds(500);
const auto kStep = std::chrono::milliseconds(20);

void watchForStop() {
    char byte;
    while (read(wakePipe[0], &byte, 1) < 0) {
    }
    stopRequested.store(true);
    // A box may still be opening when the signal comes: keep closing until the grace ends.
    for (auto waited = std::chrono::milliseconds(0); waited < kGrace; waited += kStep) {
        platformCloseMessageBox();
        std::this_thread::sleep_for(kStep);
    }
    platformCloseMessageBox();
    fflush(stdout);
    fflush(stderr);
    _exit(0);
}

// In a forked child (the message box): end with the parent, even if it ended before this ran.
void dieWithParent() {
    pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(0);
}

}  // namespace

void platformWatchStopSignals() {
    if (wakePipe[0] >= 0 || pipe(wakePipe) != 0) return;
    pthread_atfork(nullptr, nullptr, dieWithParent);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void platformStartStopWatcher() {
    if (wakePipe[0] < 0 || watcherRunning.load()) return;
    std::thread(watchForStop).detach();
    watcherRunning.store(true);
}

bool platformStopRequested() { return stopRequested.load(); }
