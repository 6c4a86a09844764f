// measureWindows.cpp
// What the renderer's benchmark asks of the system on Windows: a fresh copy of itself (through
// the command processor, output collected), standard output silenced (NUL), the peak working set
// and the clocks. Windows keeps no load average.
#include <windows.h>

#include <psapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/measure.h"
#include "platform/platform.h"

bool platformRunSelf(const char* argument, char* output, size_t size) {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (size == 0 || length == 0 || length >= sizeof self) return false;
    // cmd /c strips the outer quotes of its whole command line: the line is quoted once more.
    std::string command = "\"\"" + std::string(self) + "\" " + argument + " 2>&1\"";
    FILE* pipe = _popen(command.c_str(), "rb");
    if (!pipe) return false;
    size_t used = 0;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        size_t take = n < size - 1 - used ? n : size - 1 - used;
        memcpy(output + used, buffer, take);
        used += take;
    }
    output[used] = '\0';
    _pclose(pipe);
    return true;
}

int platformMuteStdout() {
    fflush(stdout);
    int saved = _dup(1);
    int null = _open("NUL", _O_WRONLY);
    if (saved < 0 || null < 0 || _dup2(null, 1) < 0) {
        if (null >= 0) _close(null);
        if (saved >= 0) _close(saved);
        return -1;
    }
    _close(null);
    return saved;
}

void platformRestoreStdout(int saved) {
    if (saved < 0) return;
    fflush(stdout);
    _dup2(saved, 1);
    _close(saved);
}

double platformLoadAverage() { return -1; }

double platformPeakResidentMiB() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return double(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

double platformProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& t) {
        return double((unsigned long long)t.dwHighDateTime << 32 | t.dwLowDateTime) * 1e-7;  // 100 ns units
    };
    return seconds(kernel) + seconds(user);
}

double platformMonotonicSeconds() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}
