// stopSignalsLinux.cpp
// The stop protocol: how SIGTERM and SIGINT end the demo with exit code 0 at any moment, how a
// forked message box goes with it, and how the offline renderer's export catches them as a flag.
// The phases are stopPhases.h's. At once, the handler ends the process with _exit(0), and a forked
// child (a message box) is killed by the kernel as its parent ends. Watched, the handler raises the
// stop flag the loop reads and wakes the watcher through a pipe.
// Every message box is shown in the "at once" phase with the watcher joined: SDL shows a box in a
// forked child, and a fork beside another thread can leave the child stuck on a lock that thread
// held (seen under AddressSanitizer). Audio and GL driver threads remain; a stop still ends all.
#include "platform/stopSignals.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>

#include "platform/platform.h"
#include "platform/stopPhases.h"

namespace {

std::atomic<bool> stopRequested{false};
int wakePipe[2] = {-1, -1};  // close-on-exec: no program the demo starts holds it
pthread_t watcher;
bool watcherJoinable = false;  // main thread only
const char kStopByte = 's';
const char kPauseByte = 'p';  // the main thread takes the watcher down for a message box
pid_t forkingParent = 0;      // the process that forked last, as recorded before the fork

void onStopSignal(int) {
    if (phaseStopEndsAtOnce()) _exit(0);  // nothing to finish; a box child dies with us
    stopRequested.store(true);
    const int saved = errno;
    char byte = kStopByte;
    ssize_t written = write(wakePipe[1], &byte, 1);
    (void)written;
    errno = saved;
}

// How long the main thread has to end on its own once a stop was asked for.
const long kGraceMs = 500;
// How long what is buffered for standard output and error may take to be written at the end.
const int kFlushMs = 100;

std::atomic<bool> streamsFlushed{false};

void* flushStreams(void*) {
    fflush(stdout);
    fflush(stderr);
    streamsFlushed.store(true);
    return nullptr;
}

// Ends the process with exit code 0 after writing what is buffered for standard output and error,
// unless that waits: a stream whose pipe nobody reads, or whose lock a thread blocked on such a
// pipe holds, would keep a flush (and the process) there for good. The flush gets a thread of its
// own and a short while; _exit takes it down with the rest.
void endProcess() {
    pthread_t flusher;
    if (pthread_create(&flusher, nullptr, flushStreams, nullptr) == 0) {
        const timespec step = {0, 1000000L};
        for (int waited = 0; waited < kFlushMs && !streamsFlushed.load(); ++waited) nanosleep(&step, nullptr);
    }
    _exit(0);
}

void* watchForStop(void*) {
    char byte = 0;
    for (;;) {
        ssize_t got = read(wakePipe[0], &byte, 1);
        if (got == 1) break;
        if (got < 0 && errno == EINTR) continue;
        // The pipe failed or closed: no stop can reach this thread. Unless one already came, the
        // handler takes stops on again and ends the process itself.
        // (Taken down for a box meanwhile: the phase is "at once" already.)
        if (phaseUnwatch() != PHASE_STOPPING) return nullptr;
        byte = kStopByte;
        break;
    }
    if (byte == kPauseByte) return nullptr;
    stopRequested.store(true);
    const timespec grace = {kGraceMs / 1000, (kGraceMs % 1000) * 1000000L};
    nanosleep(&grace, nullptr);
    endProcess();
    return nullptr;
}

bool startWatcher() {
    if (pthread_create(&watcher, nullptr, watchForStop, nullptr) != 0) return false;
    pthread_setname_np(watcher, "kestrane-stop");
    watcherJoinable = true;
    return true;
}

void recordForkingParent() { forkingParent = getpid(); }

// In a forked child (a message box): end with the parent, even if it ended before this ran.
void dieWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != forkingParent) _exit(0);
}

// The export's stop signals: the one caught, and what they did before.
volatile sig_atomic_t caughtSignal = 0;
int catchDepth = 0;
struct sigaction savedActions[3];
struct sigaction savedPipeAction;
const int kCaughtSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void onCaughtSignal(int signal) { caughtSignal = signal; }

}  // namespace

void platformWatchStopSignals() {
    if (wakePipe[0] >= 0 || pipe2(wakePipe, O_CLOEXEC) != 0) return;
    pthread_atfork(recordForkingParent, nullptr, dieWithParent);
    phaseCatchStops();
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void platformStartStopWatcher() {
    if (watcherJoinable) return;
    // Watched before the thread reads: a pipe that fails at its first read hands stops back.
    if (!phaseWatch()) return;
    if (!startWatcher()) phaseUnwatch();
}

bool platformStopRequested() { return stopRequested.load(); }

bool stopProtocolBeforeBox(bool* paused) {
    *paused = false;
    // What is buffered now would be written twice if the box's child flushed it, and lost if a
    // stop ends the process in the handler while the box is open.
    fflush(stdout);
    fflush(stderr);
    if (phaseUnwatch() == PHASE_WATCHED) {
        // From here a stop ends the process at once; the watcher is taken down before the fork.
        char byte = kPauseByte;
        ssize_t sent;
        do {
            sent = write(wakePipe[1], &byte, 1);
        } while (sent < 0 && errno == EINTR);
        // A pipe that takes no byte cannot wake the watcher: it is left to block where it is.
        if (sent == 1) {
            pthread_join(watcher, nullptr);
        } else {
            pthread_detach(watcher);
        }
        watcherJoinable = false;
        *paused = true;
    }
    return !stopRequested.load();
}

void stopProtocolAfterBox(bool paused) {
    if (paused) platformStartStopWatcher();
}

void platformCatchStopSignals() {
    if (catchDepth++ > 0) return;
    struct sigaction action = {};
    action.sa_handler = onCaughtSignal;  // no SA_RESTART: a blocked write to ffmpeg returns at once
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(kCaughtSignals[i], &action, &savedActions[i]);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &savedPipeAction);
}

void platformReleaseStopSignals() {
    if (catchDepth == 0 || --catchDepth > 0) return;
    for (int i = 0; i < 3; ++i) sigaction(kCaughtSignals[i], &savedActions[i], nullptr);
    sigaction(SIGPIPE, &savedPipeAction, nullptr);
}

const volatile sig_atomic_t* platformCaughtStopSignal() { return &caughtSignal; }
