// stopSignalsTest.cpp
// The stop protocol in a forked process of its own per case (its handlers end processes): the wake
// pipe stays out of programs the demo starts, a box's child outlives no parent, a failed pipe hands
// stops back to the handler, a box is shown with the watcher down and a stop ending all, and a stop
// ends the process even while standard error is a full pipe that nobody reads.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <set>

#include "platform/platform.h"
#include "platform/stopSignals.h"

namespace {

void sleepMs(long ms) {
    const timespec span = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&span, nullptr);
}

// Runs body in a forked child and returns its exit code (-signal when killed, -100 when it ran past
// ten seconds and was killed).
int exitCodeOf(int (*body)()) {
    fflush(stdout);
    fflush(stderr);
    pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; waited += 10) {
        if (waited > 10000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -100;
        }
        sleepMs(10);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Descriptors that a program started by exec would inherit.
std::set<int> inheritedDescriptors() {
    std::set<int> found;
    DIR* folder = opendir("/proc/self/fd");
    while (dirent* entry = folder ? readdir(folder) : nullptr) {
        int fd = atoi(entry->d_name);
        if (entry->d_name[0] == '.' || fd == dirfd(folder)) continue;
        int flags = fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC)) found.insert(fd);
    }
    if (folder) closedir(folder);
    return found;
}

int threadCount() {
    int count = 0;
    DIR* folder = opendir("/proc/self/task");
    while (dirent* entry = folder ? readdir(folder) : nullptr) count += entry->d_name[0] != '.';
    if (folder) closedir(folder);
    return count;
}

// Waits up to a second for the process to have count threads.
bool threadsBecome(int count) {
    for (int i = 0; i < 100 && threadCount() != count; ++i) sleepMs(10);
    return threadCount() == count;
}

int reportPipe[2];

// A fork's child that is slow to start: its parent has ended before the stop protocol's part runs.
void slowChild() { sleepMs(500); }

}  // namespace

TEST(StopSignals, TheWakePipeIsNotInheritedByProgramsTheDemoStarts) {
    EXPECT_EQ(exitCodeOf([] {
                  const std::set<int> before = inheritedDescriptors();
                  platformWatchStopSignals();
                  return inheritedDescriptors() == before ? 0 : 1;
              }),
              0);
}

// The box's child must end when the demo ends, even when the demo ended before the child noticed.
TEST(StopSignals, ABoxChildWhoseParentEndedFirstEndsToo) {
    ASSERT_EQ(pipe(reportPipe), 0);
    EXPECT_EQ(exitCodeOf([] {
                  close(reportPipe[0]);
                  pthread_atfork(nullptr, nullptr, slowChild);  // runs before the protocol's handler
                  platformWatchStopSignals();
                  if (fork() == 0) {  // the box's child, outliving its parent if nobody stops it
                      ssize_t written = write(reportPipe[1], "alive", 5);
                      _exit(written == 5 ? 0 : 1);
                  }
                  return 0;  // the parent ends at once
              }),
              0);
    close(reportPipe[1]);
    pollfd readable = {reportPipe[0], POLLIN, 0};
    char said[8] = {};
    ssize_t got = poll(&readable, 1, 3000) == 1 ? read(reportPipe[0], said, sizeof said) : -1;
    close(reportPipe[0]);
    EXPECT_EQ(got, 0) << "the orphaned child went on and said " << said;
}

// A watcher whose pipe fails must not spin nor swallow stops: the handler ends the process again.
TEST(StopSignals, AFailedWakePipeHandsStopsBackToTheHandler) {
    EXPECT_EQ(exitCodeOf([] {
                  int lowest = dup(0);  // the pipe takes the lowest free numbers: this one first
                  close(lowest);
                  platformWatchStopSignals();
                  int writeOnly = open("/dev/null", O_WRONLY);
                  if (fcntl(lowest, F_GETFD) < 0 || writeOnly < 0 || dup2(writeOnly, lowest) < 0) return 2;
                  platformStartStopWatcher();  // its read now fails with EBADF
                  sleepMs(200);
                  kill(getpid(), SIGTERM);
                  sleepMs(2000);
                  return 3;  // the stop was lost
              }),
              0);
}

// Every box: the watcher is down while the box's child is forked, back afterwards, and a stop
// while the box is open ends the process at once with 0.
TEST(StopSignals, ABoxIsShownWithTheWatcherDownAndAStopEndingAll) {
    EXPECT_EQ(exitCodeOf([] {
                  platformWatchStopSignals();
                  const int alone = threadCount();
                  platformStartStopWatcher();
                  if (!threadsBecome(alone + 1)) return 2;
                  bool paused = false;
                  if (!stopProtocolBeforeBox(&paused) || !paused) return 3;
                  if (!threadsBecome(alone)) return 4;  // the watcher beside the box's fork
                  stopProtocolAfterBox(paused);
                  if (!threadsBecome(alone + 1)) return 5;
                  if (!stopProtocolBeforeBox(&paused)) return 6;
                  kill(getpid(), SIGTERM);  // the box is open
                  sleepMs(2000);
                  return 7;
              }),
              0);
}

// A stop that came while the watcher ran: the loop sees it, no box is shown any more, and the
// process ends by itself half a second later if the main thread does not.
TEST(StopSignals, AfterAStopNoBoxIsShownAndTheWatcherEndsTheProcess) {
    EXPECT_EQ(exitCodeOf([] {
                  platformWatchStopSignals();
                  platformStartStopWatcher();
                  kill(getpid(), SIGINT);
                  for (int i = 0; i < 100 && !platformStopRequested(); ++i) sleepMs(1);
                  if (!platformStopRequested()) return 2;
                  bool paused = true;
                  if (stopProtocolBeforeBox(&paused) || paused) return 3;
                  sleepMs(3000);
                  return 4;
              }),
              0);
}

// Standard error is a pipe nobody reads, full, and the main thread is blocked writing to it (and
// holds the stream's lock meanwhile): the stop still ends the process within the grace and a bit.
TEST(StopSignals, AStopEndsTheProcessWhileStandardErrorIsBlocked) {
    EXPECT_EQ(exitCodeOf([] {
                  int unread[2];
                  if (pipe(unread) != 0 || dup2(unread[1], 2) < 0) return 2;
                  const int flags = fcntl(2, F_GETFL);
                  fcntl(2, F_SETFL, flags | O_NONBLOCK);
                  char block[4096] = {};
                  while (write(2, block, sizeof block) > 0) {
                  }
                  fcntl(2, F_SETFL, flags);
                  platformWatchStopSignals();
                  platformStartStopWatcher();
                  pthread_t stopper;
                  pthread_create(
                      &stopper, nullptr,
                      [](void*) -> void* {
                          sleepMs(200);
                          kill(getpid(), SIGTERM);
                          return nullptr;
                      },
                      nullptr);
                  fputs("a line that waits for room in the pipe\n", stderr);  // blocks for good
                  return 3;
              }),
              0);
}
