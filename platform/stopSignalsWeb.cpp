// stopSignalsWeb.cpp
// A browser page receives no signals: closing the tab ends it. Nothing is watched, no stop is ever
// requested, and the tools' catching is a flag that stays clear.
#include "platform/platform.h"
#include "platform/stopSignals.h"

namespace {
volatile sig_atomic_t caughtSignal = 0;
}

void platformWatchStopSignals() {}
void platformStartStopWatcher() {}
bool platformStopRequested() { return false; }
bool stopProtocolBeforeBox(bool* paused) {
    *paused = false;
    return true;
}
void stopProtocolAfterBox(bool) {}
void platformCatchStopSignals() {}
void platformReleaseStopSignals() {}
const volatile sig_atomic_t* platformCaughtStopSignal() { return &caughtSignal; }
