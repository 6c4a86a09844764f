// main.cpp
// kestrane-avoffset: the A/V offset of a screen-and-sound recording (scripts/avOffset makes it).
// Before SPLIT (and after RESUME) the recording holds kestrane-avreference, whose picture turns
// white as its clicks start: the recorder's own skew between picture and sound. Between them it
// holds the demo's scroller: the picture's music time from the scroller's place against offline
// frames, the sound's by cross-correlation with the music. Prints the offset before and after
// calibration.
//   kestrane-avoffset VIDEO.gray WIDTH HEIGHT FRAME_TIMES SOUND.raw SOUND_START SPLIT[:RESUME]
//                     MUSIC.mp3 REFERENCE_DIR TOP [SHOWN_LATE_MS]
// VIDEO.gray: 8-bit gray frames of the grabbed strip (rows TOP.. of the window); FRAME_TIMES: one
// time a line per frame (s, on the recorder's clock, as SOUND_START, SPLIT and RESUME: the demo
// plays between these two, the reference before and after); SOUND.raw: 16-bit
// little-endian stereo at 44100 Hz from SOUND_START; REFERENCE_DIR: offline frames t<T>.png at
// whole seconds 169..182; SHOWN_LATE_MS: how late the reference's picture changed after its click.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tools/avoffset/avAnalysis.h"
#include "tools/soundcheck/soundAlignment.h"

namespace {

const int kRate = 44100;
const double kSpeed = 190.0;  // scroller units per second, one per screen pixel at 800x600
const int kFirstReference = 169, kLastReference = 182;

bool readFile(const char* path, std::vector<unsigned char>* bytes) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    fclose(file);
    return true;
}

std::vector<float> monoOf(const int16_t* pcm, long frames) {
    std::vector<float> mono(size_t(frames), 0.0f);
    for (long i = 0; i < frames; ++i) mono[size_t(i)] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
    return mono;
}

// Rows top..top+height of an offline frame, as gray.
bool readReference(const std::string& path, int top, int width, int height, GrayImage* out) {
    std::vector<unsigned char> bytes;
    unsigned char* pixels = nullptr;
    unsigned w = 0, h = 0;
    bool alpha = false;
    if (!readFile(path.c_str(), &bytes) || !decodePng(bytes.data(), bytes.size(), &pixels, &w, &h, &alpha))
        return false;
    bool fits = int(w) == width && int(h) >= top + height;
    if (fits) {
        int channels = alpha ? 4 : 3;
        out->width = width;
        out->height = height;
        out->pixels.resize(size_t(width * height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned char* p = pixels + (size_t(top + y) * w + size_t(x)) * size_t(channels);
                out->pixels[size_t(y * width + x)] = uint8_t((p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000);
            }
    }
    free(pixels);
    return fits;
}

void printSpread(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    double mean = 0, var = 0;
    for (double x : v) mean += x;
    mean /= double(n);
    for (double x : v) var += (x - mean) * (x - mean);
    printf(
        "%s: median %.1f ms, mean %.1f ms, standard deviation %.1f ms, 10-90 %% %.1f to %.1f ms, "
        "range %.1f to %.1f ms (%zu samples)\n",
        what, median(v), mean, std::sqrt(var / double(n)), v[n / 10], v[n - 1 - n / 10], v[0], v[n - 1], n);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 11 && argc != 12) {
        fprintf(stderr,
                "usage: kestrane-avoffset VIDEO.gray WIDTH HEIGHT FRAME_TIMES SOUND.raw SOUND_START "
                "SPLIT[:RESUME] MUSIC.mp3 REFERENCE_DIR TOP [SHOWN_LATE_MS]\n");
        return 2;
    }
    const int width = atoi(argv[2]), height = atoi(argv[3]), top = atoi(argv[10]);
    const double soundStart = atof(argv[6]);
    double split = 0, resume = 1e300;  // the demo between the two, the reference outside
    if (sscanf(argv[7], "%lf:%lf", &split, &resume) < 1) split = 0;
    const double shownLate = argc == 12 ? atof(argv[11]) / 1000.0 : 0.0;
    std::vector<unsigned char> video, raw, mp3;
    std::vector<double> times;
    if (FILE* f = fopen(argv[4], "r")) {
        double t;
        while (fscanf(f, "%lf", &t) == 1) times.push_back(t);
        fclose(f);
    }
    if (width <= 0 || height <= 0 || !readFile(argv[1], &video) || !readFile(argv[5], &raw) ||
        !readFile(argv[8], &mp3)) {
        fprintf(stderr, "kestrane-avoffset: cannot read the recording or the music\n");
        return 2;
    }
    const size_t frameBytes = size_t(width * height);
    const size_t frames = std::min(times.size(), video.size() / frameBytes);
    if (frames != times.size() || frames != video.size() / frameBytes)
        printf("warning: %zu frame times for %zu frames\n", times.size(), video.size() / frameBytes);
    std::vector<int16_t> samples(raw.size() / 2);
    memcpy(samples.data(), raw.data(), samples.size() * 2);
    std::vector<float> sound = monoOf(samples.data(), long(samples.size() / 2));
    int16_t* pcm = nullptr;
    long musicFrames = 0;
    int rate = 0, channels = 0;
    if (!decodeMp3(mp3.data(), long(mp3.size()), &pcm, &musicFrames, &rate, &channels) || rate != kRate) {
        fprintf(stderr, "kestrane-avoffset: %s is no 44100 Hz MP3\n", argv[8]);
        return 2;
    }
    std::vector<float> music = monoOf(pcm, musicFrames);
    free(pcm);
    auto frame = [&](size_t i) {
        GrayImage g;
        g.width = width;
        g.height = height;
        g.pixels.assign(video.begin() + long(i * frameBytes), video.begin() + long((i + 1) * frameBytes));
        return g;
    };

    // Calibration: each brightening of the reference against the nearest click. The change fell
    // between the frame before and the frame that shows it: the middle is its time. The reference
    // runs before the demo and, when RESUME is given, again after it: the skew is interpolated.
    std::vector<double> levels(frames, 0.0);
    size_t calibrationFrames = 0;
    while (calibrationFrames < frames && times[calibrationFrames] < split) ++calibrationFrames;
    size_t resumeFrame = calibrationFrames;
    while (resumeFrame < frames && times[resumeFrame] < resume) ++resumeFrame;
    for (size_t i = 0; i < frames; ++i) {
        if (i >= calibrationFrames && i < resumeFrame) continue;
        double sum = 0;
        for (size_t k = 0; k < frameBytes; ++k) sum += video[i * frameBytes + k];
        levels[i] = sum / double(frameBytes);
    }
    std::vector<long> clicks;
    for (long c : clickOnsets(sound, kRate)) {
        double heard = soundStart + double(c) / kRate;
        if (heard < split || heard > resume) clicks.push_back(c);
    }
    std::vector<double> skews[2], frameGaps, skewTimes[2];
    int changes = 0;
    for (int i : brightenings(levels)) {
        if (size_t(i) > calibrationFrames && size_t(i) <= resumeFrame) continue;
        ++changes;
        double shown = 0.5 * (times[size_t(i - 1)] + times[size_t(i)]) - shownLate;
        double nearest = 1e9;
        for (long c : clicks) {
            double heard = soundStart + double(c) / kRate;
            if (std::fabs(heard - shown) < std::fabs(nearest)) nearest = heard - shown;
        }
        if (std::fabs(nearest) < 0.4) {
            int part = shown < split ? 0 : 1;
            skews[part].push_back(nearest * 1000);
            skewTimes[part].push_back(shown);
            frameGaps.push_back((times[size_t(i)] - times[size_t(i - 1)]) * 1000);
        }
    }
    printf("reference: %d picture changes, %zu clicks, %zu paired\n", changes, clicks.size(),
           skews[0].size() + skews[1].size());
    if (skews[0].size() < 5) {
        printf("too few reference pairs before the demo to calibrate the recorder\n");
        return 1;
    }
    printSpread("recorder skew before the demo (sound time - picture time of one instant)", skews[0]);
    printSpread("recorder frame gap at the changes", frameGaps);
    const double skewBefore = median(skews[0]) / 1000.0, timeBefore = median(skewTimes[0]);
    double skewAfter = skewBefore, timeAfter = timeBefore + 1;
    if (skews[1].size() >= 5) {
        printSpread("recorder skew after the demo", skews[1]);
        skewAfter = median(skews[1]) / 1000.0;
        timeAfter = median(skewTimes[1]);
        printf("recorder skew drifted by %.1f ms over %.1f s\n", (skewAfter - skewBefore) * 1000,
               timeAfter - timeBefore);
    }
    auto skewAt = [&](double t) {
        return skewBefore + (skewAfter - skewBefore) * (t - timeBefore) / (timeAfter - timeBefore);
    };

    // The demo: each frame's picture time from the scroller, the sound's at the same instant.
    std::vector<GrayImage> references;
    for (int t = kFirstReference; t <= kLastReference; ++t) {
        GrayImage g;
        std::string path = std::string(argv[9]) + "/t" + std::to_string(t) + ".000.png";
        if (!readReference(path, top, width, height, &g)) {
            fprintf(stderr, "kestrane-avoffset: cannot read %s as a %dx%d frame\n", path.c_str(), width,
                    top + height);
            return 2;
        }
        references.push_back(g);
    }
    std::vector<double> raws, offsets, firstSight, pictureTimes;
    double lastPictureTime = -1;
    long offset = -1;  // music frame - sound frame, from the last match
    int unmatched = 0, poor = 0;
    size_t nextWholeSearch = 0;
    for (size_t i = calibrationFrames; i < resumeFrame; ++i) {
        const double skew = skewAt(times[i]);
        // The sound at the instant of the frame: 1024 frames centred there.
        const double instant = times[i] + skew;
        const long at = long((instant - soundStart) * kRate) - 512;
        double score = 0;
        long found = -1;
        if (offset >= 0)
            found = locateInMusic(music, sound, at, 4096, at + offset - kRate, at + offset + kRate, &score);
        // Not near the last place (a seek, or no place yet): the whole music, twice a second at most.
        if (found < 0 && i >= nextWholeSearch) {
            found = locateInMusic(music, sound, at, 4096, 0, musicFrames, &score);
            nextWholeSearch = i + 25;
        }
        if (found < 0) {
            ++unmatched;
            continue;
        }
        offset = found - at;
        const double soundTime = (found + 512) / double(kRate);
        const double rawSoundTime = soundTime - skew;  // the same frames taken as simultaneous
        if (soundTime < kFirstReference - 0.3 || soundTime > kLastReference + 0.3) continue;
        int nearest = std::clamp(int(std::lround(soundTime)), kFirstReference, kLastReference);
        // Picture times within 0.7 s of the sound's: shift = -(T - T0) * speed.
        int lo = int(std::floor(-(soundTime + 0.7 - nearest) * kSpeed));
        int hi = int(std::ceil(-(soundTime - 0.7 - nearest) * kSpeed));
        double shift = 0, match = 0;
        if (!scrollerShift(frame(i), references[size_t(nearest - kFirstReference)], lo, hi, &shift, &match) ||
            match < 0.9) {
            ++poor;
            continue;
        }
        const double pictureTime = nearest - shift / kSpeed;
        offsets.push_back((pictureTime - soundTime) * 1000);
        raws.push_back((pictureTime - rawSoundTime) * 1000);
        // A new picture of the demo (the scroller moved by more than half a pixel since the last
        // frame read): its offset at first sight leaves out how long it then stays on screen.
        if (lastPictureTime < 0 || std::fabs(pictureTime - lastPictureTime) > 0.5 / kSpeed) {
            firstSight.push_back(offsets.back());
            pictureTimes.push_back(times[i]);
        }
        lastPictureTime = pictureTime;
    }
    printf("demo: %zu frames read (%d without a sound match, %d without a clear scroller)\n", offsets.size(),
           unmatched, poor);
    if (offsets.size() < 10) {
        printf("too few scroller frames\n");
        return 1;
    }
    printSpread("uncalibrated offset (picture time - sound time, > 0: picture ahead)", raws);
    printSpread("calibrated A/V offset (picture time - sound time, > 0: picture ahead)", offsets);
    if (firstSight.size() >= 2) {
        printf("the demo's pictures: %zu new ones in %.2f s of recording (%.1f per second)\n",
               firstSight.size(), pictureTimes.back() - pictureTimes.front(),
               double(firstSight.size() - 1) / (pictureTimes.back() - pictureTimes.front()));
        printSpread("calibrated offset of each new picture at first sight", firstSight);
    }
    return 0;
}
