// measure.h
// Measuring the process and the machine: only the renderer's benchmark uses these (measurePosix.cpp,
// measureWindows.cpp).
#pragma once

#include <cstddef>

// Runs this executable again with one argument and collects what it writes to standard output
// and error (at most size - 1 bytes, null-terminated). False when it cannot be started.
bool platformRunSelf(const char* argument, char* output, size_t size);
// Standard output goes nowhere until platformRestoreStdout(the returned value); -1 on failure.
int platformMuteStdout();
void platformRestoreStdout(int saved);
// The system's load average over the last minute; negative where the system keeps none.
double platformLoadAverage();
// The process's peak resident memory (Windows: peak working set), MiB.
double platformPeakResidentMiB();
// CPU seconds of every thread of this process; negative where there is no such clock (a page).
double platformProcessCpuSeconds();
