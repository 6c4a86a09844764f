// encoderProcess.cpp
// The ffmpeg program as the video encoder: raw rgb24 frames, drawn at the video's own size (ffmpeg
// only encodes, it never scales), through a pipe on its standard input, the soundtrack from a WAV
// file, H.264 (yuv420p) and AAC out into an MP4 with its index at the front. ffmpeg runs in its
// own process group, so Ctrl+C reaches only the renderer, which then stops it and removes what it
// wrote.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/render/renderTool.h"

extern char** environ;

bool startEncoder(EncoderProcess* encoder, const CaptureOptions& options, const char* wavPath,
                  const char* mp4Path) {
    char rate[64], size[64];
    snprintf(rate, sizeof rate, "%lld/%lld", options.rate.numerator, options.rate.denominator);
    snprintf(size, sizeof size, "%dx%d", options.width, options.height);
    std::vector<std::string> args = {
        "ffmpeg",   "-hide_banner", "-loglevel",   "error", "-nostats",   "-y",   "-f", "rawvideo",
        "-pix_fmt", "rgb24",        "-video_size", size,    "-framerate", rate,   "-i", "pipe:0",
        "-i",       wavPath,        "-map",        "0:v:0", "-map",       "1:a:0"};
    for (const char* a : {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
                          "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart", "-f", "mp4"}) {
        args.push_back(a);
    }
    args.push_back(mp4Path);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        fprintf(stderr, "kestrane-render: cannot make a pipe to ffmpeg: %s\n", strerror(errno));
        return false;
    }
    // A larger pipe lets the renderer draw the next frame while ffmpeg still reads this one.
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    int error = posix_spawnp(&pid, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[0]);
    if (error != 0) {
        close(fds[1]);
        fprintf(stderr,
                "kestrane-render: cannot run ffmpeg: %s (install the ffmpeg package; scripts/setup does)\n",
                strerror(error));
        return false;
    }
    encoder->pid = pid;
    encoder->input = fds[1];
    return true;
}

bool writeEncoderFrame(EncoderProcess* encoder, const unsigned char* rgb, size_t bytes,
                       const volatile sig_atomic_t* stop) {
    size_t done = 0;
    while (done < bytes) {
        ssize_t n = write(encoder->input, rgb + done, bytes - done);
        if (n < 0 && errno == EINTR && !*stop) continue;
        if (n < 0) return false;  // EPIPE: ffmpeg is gone; EINTR: asked to stop
        done += size_t(n);
    }
    return true;
}

int finishEncoder(EncoderProcess* encoder, const volatile sig_atomic_t* stop) {
    if (encoder->input >= 0) close(encoder->input);
    encoder->input = -1;
    int status = 0;
    while (waitpid(encoder->pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
        if (stop && *stop) kill(encoder->pid, SIGKILL);  // its file is discarded anyway
    }
    encoder->pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void killEncoder(EncoderProcess* encoder) {
    if (encoder->pid > 0) kill(encoder->pid, SIGKILL);
    finishEncoder(encoder, nullptr);
}
