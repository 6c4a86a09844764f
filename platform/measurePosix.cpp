// measurePosix.cpp
// What the renderer's benchmark asks of the system on Linux: a fresh copy of itself to time its
// start-up (/proc/self/exe), standard output silenced, the load average, peak resident memory
// and the clocks.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "platform/measure.h"
#include "platform/platform.h"

extern char** environ;

bool platformRunSelf(const char* argument, char* output, size_t size) {
    int fds[2];
    if (size == 0 || pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    char self[] = "/proc/self/exe";
    char* argv[] = {self, const_cast<char*>(argument), nullptr};
    pid_t pid = -1;
    int error = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    size_t used = 0;
    char buffer[4096];
    ssize_t n;
    while (error == 0 && (n = read(fds[0], buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        size_t take = std::min(size_t(n), size - 1 - used);
        memcpy(output + used, buffer, take);
        used += take;
    }
    output[used] = '\0';
    close(fds[0]);
    int status = 0;
    if (error == 0) waitpid(pid, &status, 0);
    return error == 0;
}

int platformMuteStdout() {
    fflush(stdout);
    int saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    if (saved < 0 || null < 0 || dup2(null, 1) < 0) {
        if (null >= 0) close(null);
        if (saved >= 0) close(saved);
        return -1;
    }
    close(null);
    return saved;
}

void platformRestoreStdout(int saved) {
    if (saved < 0) return;
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
}

double platformLoadAverage() {
    double load = -1;
    if (FILE* file = fopen("/proc/loadavg", "r")) {
        if (fscanf(file, "%lf", &load) != 1) load = -1;
        fclose(file);
    }
    return load;
}

double platformPeakResidentMiB() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double platformProcessCpuSeconds() {
#ifdef __EMSCRIPTEN__
    return -1.0;  // a page's clocks are all wall clocks
#endif
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double platformMonotonicSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}
