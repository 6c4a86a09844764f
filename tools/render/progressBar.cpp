// progressBar.cpp
// Progress of a long export on standard error: frames done, frames per second and time left, as a
// bar redrawn in place about five times a second on a terminal, or one line per tenth when
// standard error goes to a file or a pipe.
#include <unistd.h>
#include <cstdio>

#include "tools/render/renderTool.h"

namespace {

void formatDuration(double seconds, char* text, size_t size) {
    long s = seconds > 0 ? long(seconds + 0.5) : 0;
    if (s >= 3600) {
        snprintf(text, size, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        snprintf(text, size, "%ld:%02ld", s / 60, s % 60);
    }
}

void drawLine(ProgressBar* bar, long long done, double now, bool finalLine) {
    double elapsed = now - bar->startSeconds;
    double fps = elapsed > 0 ? double(done) / elapsed : 0;
    char left[32];
    formatDuration(fps > 0 ? double(bar->total - done) / fps : 0, left, sizeof left);
    const int width = 30;
    int filled = bar->total > 0 ? int(done * width / bar->total) : width;
    char cells[width + 1];
    for (int i = 0; i < width; ++i) cells[i] = i < filled ? '#' : '.';
    cells[width] = '\0';
    int percent = bar->total > 0 ? int(done * 100 / bar->total) : 100;
    fprintf(stderr, "%s[%s] %3d%%  %lld/%lld frames  %.1f fps  %s left%s", bar->terminal ? "\r" : "", cells,
            percent, done, bar->total, fps, left, bar->terminal && !finalLine ? "" : "\n");
    fflush(stderr);
}

}  // namespace

void startProgress(ProgressBar* bar, long long total) {
    bar->total = total;
    bar->startSeconds = monotonicSeconds();
    bar->lastDrawSeconds = -1;
    bar->lastTenth = -1;
    bar->terminal = isatty(2) != 0;
}

void updateProgress(ProgressBar* bar, long long done) {
    double now = monotonicSeconds();
    if (bar->terminal) {
        if (bar->lastDrawSeconds >= 0 && now - bar->lastDrawSeconds < 0.2) return;
        bar->lastDrawSeconds = now;
        drawLine(bar, done, now, false);
        return;
    }
    int tenth = bar->total > 0 ? int(done * 10 / bar->total) : 10;
    if (tenth == bar->lastTenth || done == bar->total) return;
    bar->lastTenth = tenth;
    drawLine(bar, done, now, true);
}

void finishProgress(ProgressBar* bar, long long done, const char* what) {
    double now = monotonicSeconds();
    if (bar->terminal) drawLine(bar, done, now, true);
    double elapsed = now - bar->startSeconds;
    char took[32];
    formatDuration(elapsed, took, sizeof took);
    fprintf(stderr, "%s: %lld frames in %s (%.1f fps)\n", what, done, took,
            elapsed > 0 ? double(done) / elapsed : 0.0);
}
