// stopSignals.h
// The stop protocol's side that the message boxes use (inside platform/ only): every box is shown
// with the watcher taken down, so that the box's forked child has no thread beside it but the
// audio and GL driver ones, and with a stop ending the process at once meanwhile.
#pragma once

// Before a box: flushes standard output and error and takes the watcher down (paused says whether
// it was running). False when a stop was asked for: then no box is to be shown.
bool stopProtocolBeforeBox(bool* paused);
// After the box: the watcher runs again if it was taken down.
void stopProtocolAfterBox(bool paused);
