// stopSignalsWindows.cpp
// The stop protocol on Windows: console control events stand in for the signals (Ctrl+C and
// Ctrl+Break for SIGINT; the console closed, log-off and shut-down for SIGTERM). The phases are
// stopPhases.h's, as on Linux. Windows calls the handler on a thread of its own and shows a message
// box in this process (no forked child), so a stop during a box ends the process from there.
// A windowed program without a console receives no control events; closing its window quits it.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/platform.h"
#include "platform/stopPhases.h"
#include "platform/stopSignals.h"

namespace {

enum Wake { WAKE_NONE, WAKE_STOP, WAKE_PAUSE };

std::atomic<bool> stopRequested{false};
std::atomic<int> wakeReason{WAKE_NONE};
HANDLE wakeEvent = nullptr;  // auto-reset: the handler or a box wakes the watcher
HANDLE watcher = nullptr;    // main thread only

// How long the main thread has to end on its own once a stop was asked for.
const DWORD kGraceMs = 500;

// How long what is buffered for standard output and error may take to be written at the end.
const DWORD kFlushMs = 100;

DWORD WINAPI flushStreams(void*) {
    fflush(stdout);
    fflush(stderr);
    return 0;
}

// Ends the process at once with exit code 0, like _exit: no atexit handlers, no DLL detach (which
// could wait on a driver thread). What is buffered for standard output and error is written first
// unless that waits (a pipe nobody reads, or a stream held by a thread blocked on one): the flush
// runs on a thread of its own for a short while at most.
void endNow() {
    HANDLE flusher = CreateThread(nullptr, 0, flushStreams, nullptr, 0, nullptr);
    if (flusher) WaitForSingleObject(flusher, kFlushMs);
    TerminateProcess(GetCurrentProcess(), 0);
}

BOOL WINAPI onControlEvent(DWORD type) {
    if (phaseStopEndsAtOnce()) endNow();
    stopRequested.store(true);
    wakeReason.store(WAKE_STOP);
    SetEvent(wakeEvent);
    // Windows ends the process as soon as the handler returns from these: the watcher's grace
    // runs out first.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        Sleep(kGraceMs * 4);
    return TRUE;
}

DWORD WINAPI watchForStop(void*) {
    WaitForSingleObject(wakeEvent, INFINITE);
    if (wakeReason.exchange(WAKE_NONE) == WAKE_PAUSE) return 0;
    stopRequested.store(true);
    Sleep(kGraceMs);
    endNow();
    return 0;
}

// The export's stop events: the signal number they stand for (0: none yet).
volatile sig_atomic_t caughtSignal = 0;
int catchDepth = 0;
// Set when the export lets the events go, its files finished or removed (manual reset).
HANDLE exportReleased = nullptr;
// How long a closed console, log-off or shut-down waits for that: Windows ends the process as
// soon as the handler returns, or about 5 s after the event.
const DWORD kReleaseWaitMs = 4000;

BOOL WINAPI onCaughtEvent(DWORD type) {
    const bool interrupt = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT;
    caughtSignal = interrupt ? SIGINT : SIGTERM;
    if (!interrupt && exportReleased) WaitForSingleObject(exportReleased, kReleaseWaitMs);
    return TRUE;
}

}  // namespace

void platformWatchStopSignals() {
    if (wakeEvent) return;
    wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wakeEvent) return;
    phaseCatchStops();
    SetConsoleCtrlHandler(onControlEvent, TRUE);
}

void platformStartStopWatcher() {
    if (watcher) return;
    if (!phaseWatch()) return;
    watcher = CreateThread(nullptr, 0, watchForStop, nullptr, 0, nullptr);
    if (!watcher) phaseUnwatch();
}

bool platformStopRequested() { return stopRequested.load(); }

bool stopProtocolBeforeBox(bool* paused) {
    *paused = false;
    fflush(stdout);
    fflush(stderr);
    if (phaseUnwatch() == PHASE_WATCHED) {
        // From here a stop ends the process at once, the box with it; the watcher is taken down so
        // that it is not left to end the process half a second into the box.
        wakeReason.store(WAKE_PAUSE);
        SetEvent(wakeEvent);
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
        watcher = nullptr;
        *paused = true;
    }
    return !stopRequested.load();
}

void stopProtocolAfterBox(bool paused) {
    if (paused) platformStartStopWatcher();
}

void platformCatchStopSignals() {
    if (catchDepth++ > 0) return;
    if (!exportReleased) exportReleased = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (exportReleased) ResetEvent(exportReleased);
    SetConsoleCtrlHandler(onCaughtEvent, TRUE);
}

void platformReleaseStopSignals() {
    if (catchDepth == 0 || --catchDepth > 0) return;
    // A handler waiting for this returns, and the process may end, before the removal below.
    if (exportReleased) SetEvent(exportReleased);
    SetConsoleCtrlHandler(onCaughtEvent, FALSE);
}

const volatile sig_atomic_t* platformCaughtStopSignal() { return &caughtSignal; }
