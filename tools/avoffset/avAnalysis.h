// avAnalysis.h
// What a screen-and-sound recording shows: where the scroller stands in a captured picture against
// an offline frame, when a reference picture turned white, and when a click starts in the sound.
#pragma once

#include <cstdint>
#include <vector>

struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // rows top first
};

// The horizontal shift s (pixels, to a fraction) with frame(x) = reference(x - s) for the scroller's
// bright letters, searched over minShift..maxShift; only pixels brighter than the scroller's band
// and the pictures behind it count. score: their normalized correlation at the best whole shift.
// False when no shift leaves a quarter of the width overlapping.
bool scrollerShift(const GrayImage& frame, const GrayImage& reference, int minShift, int maxShift,
                   double* shift, double* score);

// Indices of the frames whose mean brightness is high after a dark frame (mean levels 0..255).
std::vector<int> brightenings(const std::vector<double>& meanLevels);

// Frames (indices) where a click starts: the first frame louder than 0.1 after at least 0.2 s
// below 0.01 (mono, -1..1).
std::vector<long> clickOnsets(const std::vector<float>& sound, int rate);

double median(std::vector<double> values);
