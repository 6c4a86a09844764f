// pngFrames.cpp
// kestrane-render's PNG modes: single frames (--time) and sequences (--from/--to/--fps), each frame
// played through and written as DIR/t<T>.png under a temporary name that is synced and renamed
// only when complete, so a final name never holds a partial picture. A stop (Ctrl+C, kill, a closed
// console) ends the export after the frame being written.
#include <png.h>

#include <sys/stat.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tools/render/renderTool.h"

namespace {

bool writePng(FILE* file, const unsigned char* rgb, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<unsigned char*>(rgb + size_t(y) * width * 3));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Reads the drawn frame and writes it as folder/t<seconds>.png; false with a message on failure.
bool writeFrame(const std::string& folder, long long ms, std::vector<unsigned char>* rgb) {
    readFrame(rgb->data());
    platformSwapBuffers();
    return writePngFile(folder, frameName(ms), rgb->data(), offlineFrameWidth(), offlineFrameHeight());
}

}  // namespace

bool writePngFile(const std::string& folder, const std::string& name, const unsigned char* rgb, int width,
                  int height) {
    std::string path = folder + "/" + name;
    std::string partial = folder + "/." + name + "." + std::to_string(platformProcessId()) + ".part";
    FILE* file = platformCreateFile(partial.c_str(), false);
    if (!file) {
        fprintf(stderr, "kestrane-render: cannot write %s: %s\n", path.c_str(), strerror(errno));
        remove(partial.c_str());
        return false;
    }
    // Synced before the rename: after a crash or power loss the final name holds the whole picture
    // or the one it had before, never an empty or partial file.
    bool written = writePng(file, rgb, width, height) && platformSyncFile(file);
    int error = errno;
    if (fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && !platformReplaceFile(partial.c_str(), path.c_str())) {
        written = false;
        error = errno;
    }
    if (!written) {
        remove(partial.c_str());
        fprintf(stderr, "kestrane-render: cannot write %s: %s; nothing written\n", path.c_str(),
                error ? strerror(error) : "the PNG encoder failed");
    }
    return written;
}

bool prepareFolder(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (!platformMakeFolder(part.c_str())) {
            fprintf(stderr, "kestrane-render: cannot create the folder %s: %s\n", part.c_str(),
                    strerror(errno));
            return false;
        }
        if (slash == std::string::npos) break;
    }
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        fprintf(stderr, "kestrane-render: cannot create the folder %s: %s\n", folder.c_str(),
                strerror(errno ? errno : ENOTDIR));
        return false;
    }
    std::string probe = folder + "/.kestrane-render." + std::to_string(platformProcessId()) + ".probe";
    FILE* file = platformCreateFile(probe.c_str(), true);
    if (!file) {
        fprintf(stderr, "kestrane-render: cannot write into the folder %s: %s\n", folder.c_str(),
                strerror(errno));
        return false;
    }
    fclose(file);
    remove(probe.c_str());
    return true;
}

std::string frameName(long long ms) {
    char name[64];
    snprintf(name, sizeof name, "t%lld.%03lld.png", ms / 1000, ms % 1000);
    return name;
}

namespace {

// The signal that stopped the export (0 while none has): Ctrl+C, kill, a closed terminal or console.
int stopCaught() { return *platformCaughtStopSignal(); }

// Stops after the frame being written, which is finished under its final name; nothing is left
// under a temporary name. Returns the exit code for the stop.
int interrupted(long long written, long long requested) {
    fprintf(stderr, "kestrane-render: %s after %lld of %lld frames; every frame written is whole\n",
            stopCaught() == SIGINT ? "interrupted" : "stopped by a signal", written, requested);
    return 128 + stopCaught();
}

int writePngFrames(const RenderRequest& request) {
    std::string folder = request.out;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!prepareFolder(folder)) return 1;
    if (!openOfflineDemo(request.width, request.height)) return 1;
    if (stopCaught()) return interrupted(0, 0);
    std::vector<unsigned char> rgb(size_t(offlineFrameWidth()) * size_t(offlineFrameHeight()) * 3);
    if (request.mode == RenderMode::Sequence) {
        // Frames n with from <= n*D/N <= to, each following the one before as in the run.
        const long long first = firstFrameAtOrAfter(request.fromMs, request.rate);
        const long long last = lastFrameAtOrBefore(request.toMs, request.rate);
        for (long long n = first; n <= last; ++n) {
            long long ms = frameMilliseconds(n, request.rate);
            if (n == first) {
                renderPlayedThroughFrame(ms, request.rate);
            } else {
                renderNextFrameAt(ms);
            }
            if (stopCaught()) return interrupted(n - first, last - first + 1);
            // A full disk or a vanished folder: the frames after it would fail as well.
            if (!writeFrame(folder, ms, &rgb)) {
                fprintf(stderr, "kestrane-render: stopped after %lld of %lld frames\n", n - first,
                        last - first + 1);
                return 1;
            }
        }
        return 0;
    }
    int failures = 0;
    long long done = 0;
    for (long long ms : request.timesMs) {
        renderPlayedThroughFrame(ms, request.rate);
        if (stopCaught()) return interrupted(done - failures, (long long)request.timesMs.size());
        if (!writeFrame(folder, ms, &rgb)) ++failures;
        ++done;
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int runPngFrames(const RenderRequest& request) {
    catchStopSignals();  // before the demo opens, so that SDL does not take them
    int status = writePngFrames(request);
    // From here a closing console may end the process: what the export wrote is complete.
    releaseStopSignals();
    return status;
}
