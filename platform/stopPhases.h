// stopPhases.h
// The stop protocol's phases, one atomic word shared by the stop handler (a signal handler, or the
// console's handler thread on Windows), the watcher thread and the main thread, the same on every
// system; stopSignalsLinux.cpp and stopSignalsWindows.cpp wake, wait and end the process each in
// their system's way around these transitions.
//   none      stops are not caught yet
//   at once   caught, no watcher: a stop ends the process in the handler
//   watched   the watcher runs: a stop raises the flag the loop reads, and the watcher ends the
//             process if it is still there half a second later
//   stopping  a stop arrived while watched; it stays so
#pragma once

#include <atomic>

enum StopPhase { PHASE_NONE, PHASE_AT_ONCE, PHASE_WATCHED, PHASE_STOPPING };

inline std::atomic<int> stopPhase{PHASE_NONE};

// Stops are caught from now: each ends the process at once until a watcher takes them over.
inline void phaseCatchStops() { stopPhase.store(PHASE_AT_ONCE); }

// A stop arrived: true when nothing is watched, so the handler ends the process itself.
inline bool phaseStopEndsAtOnce() {
    const int was = stopPhase.exchange(PHASE_STOPPING);
    return was == PHASE_AT_ONCE || was == PHASE_NONE;
}

// The watcher takes the stops over; false when stops are not caught, or one came first.
inline bool phaseWatch() {
    int expected = PHASE_AT_ONCE;
    return stopPhase.compare_exchange_strong(expected, PHASE_WATCHED);
}

// Stops end the process at once again (the watcher could not start, is taken down for a message
// box, or can no longer be woken). Returns the phase it was in: PHASE_WATCHED when it changed it,
// PHASE_STOPPING when a stop came first.
inline int phaseUnwatch() {
    int expected = PHASE_WATCHED;
    stopPhase.compare_exchange_strong(expected, PHASE_AT_ONCE);
    return expected;
}
