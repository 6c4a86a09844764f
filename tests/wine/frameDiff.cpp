// frameDiff.cpp
// kestrane-framediff A.png B.png: how far two frames of the same size are apart, for comparing
// the Windows renderer's frames with the Linux renderer's, or the GLES build's with the desktop
// build's. Prints one line: the mean absolute difference over every channel of every pixel (levels
// of 255), the share of pixels whose largest channel difference is at most 4 levels, the largest
// difference, the shares of pixels that differ at all and by more than one level, and the box of
// pixels that differ by more than 4 (x0 y0 x1 y1, or "none"). An RGB frame and an RGBA one (a
// browser's) compare their colours. Exit 1 when a file cannot be read or the sizes differ, 2 for
// bad arguments.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/platform.h"

namespace {

struct Frame {
    unsigned char* pixels = nullptr;
    unsigned width = 0, height = 0;
    bool alpha = false;
};

bool readFrame(const char* path, Frame* frame) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    return decodePng(bytes.data(), bytes.size(), &frame->pixels, &frame->width, &frame->height,
                     &frame->alpha);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: kestrane-framediff A.png B.png\n");
        return 2;
    }
    Frame a, b;
    for (int i = 1; i <= 2; ++i) {
        if (!readFrame(argv[i], i == 1 ? &a : &b)) {
            fprintf(stderr, "kestrane-framediff: cannot read %s as a PNG\n", argv[i]);
            return 1;
        }
    }
    if (a.width != b.width || a.height != b.height) {
        fprintf(stderr, "kestrane-framediff: %ux%u and %ux%u frames\n", a.width, a.height, b.width, b.height);
        return 1;
    }
    // RGB against RGBA (a browser's PNG) compares the colours; alpha counts where both have it.
    const unsigned strideA = a.alpha ? 4 : 3, strideB = b.alpha ? 4 : 3;
    const unsigned channels = a.alpha && b.alpha ? 4 : 3;
    unsigned long long sum = 0, within = 0, differing = 0, beyondOne = 0;
    int largest = 0;
    unsigned x0 = a.width, y0 = a.height, x1 = 0, y1 = 0;
    for (unsigned y = 0; y < a.height; ++y) {
        for (unsigned x = 0; x < a.width; ++x) {
            const size_t pixel = size_t(y) * a.width + x;
            int pixelLargest = 0;
            for (unsigned c = 0; c < channels; ++c) {
                int d = std::abs(int(a.pixels[pixel * strideA + c]) - int(b.pixels[pixel * strideB + c]));
                sum += unsigned(d);
                if (d > pixelLargest) pixelLargest = d;
            }
            if (pixelLargest > 0) ++differing;
            if (pixelLargest > 1) ++beyondOne;
            if (pixelLargest <= 4) {
                ++within;
            } else {
                if (x < x0) x0 = x;
                if (y < y0) y0 = y;
                if (x > x1) x1 = x;
                if (y > y1) y1 = y;
            }
            if (pixelLargest > largest) largest = pixelLargest;
        }
    }
    const double pixels = double(a.width) * a.height;
    printf("mean %.4f within4 %.4f%% largest %d differing %.4f%% beyond1 %.4f%% box ",
           double(sum) / (pixels * channels), 100.0 * within / pixels, largest, 100.0 * differing / pixels,
           100.0 * beyondOne / pixels);
    if (x0 <= x1) {
        printf("%u %u %u %u\n", x0, y0, x1, y1);
    } else {
        printf("none\n");
    }
    free(a.pixels);
    free(b.pixels);
    return 0;
}
