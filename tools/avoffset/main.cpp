// main.cpp
// kestrane-avoffset: the A/V offset of a screen-and-sound recording (scripts/avOffset makes it).
// Before SPLIT (and after RESUME) the recording holds kestrane-avreference, whose picture turns
// white as its clicks start: the recorder's own skew between picture and sound, found as the one
// shift that lines up the most changes with clicks. Between them it holds the demo's scroller: the
// picture's music time from the scroller's place against offline frames, the sound's by
// cross-correlation with the music. Prints the offset before and after calibration, or refuses
// (exit 1, the reason on one line) when the reference or the demo does not give enough readings.
//   kestrane-avoffset VIDEO.gray WIDTH HEIGHT FRAME_TIMES SOUND.raw SOUND_START SPLIT[:RESUME]
//                     MUSIC.mp3 REFERENCE_DIR TOP [SHOWN_LATE_MS [CLICKS]]
// VIDEO.gray: 8-bit gray frames of the grabbed strip (rows TOP.. of the window); FRAME_TIMES: one
// time a line per frame (s, on the recorder's clock, as SOUND_START, SPLIT and RESUME: the demo
// plays between these two, the reference before and after); SOUND.raw: 16-bit
// little-endian stereo at 44100 Hz from SOUND_START; REFERENCE_DIR: offline frames t<T>.png at
// whole seconds 169..182; SHOWN_LATE_MS: how late the reference's picture changed after its click;
// CLICKS: how many clicks the reference played in each of its runs (15).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tools/avoffset/avAnalysis.h"
#include "tools/soundcheck/recordingInput.h"
#include "tools/soundcheck/soundAlignment.h"

namespace {

const int kRate = kSampleRate;  // the music's, and the recording's
const double kSpeed = 190.0;    // scroller units per second, one per screen pixel at 800x600
const int kFirstReference = 169, kLastReference = 182;
// The recorder's skew is searched over +-2 s: ffmpeg's pulse timestamps were seen 99 to 643 ms off.
const double kSkewRange = 2.0;
// A change agrees with the skew when its click lies within 25 ms of it. The change is taken at the
// middle between the last dark frame and the first white one, so it is off by up to half a frame
// gap: 10 ms at 50 fps, 20 ms where the recorder dropped one frame; 25 ms adds a few ms of the
// reference's own swap and sleep jitter. The reference's clicks are at least 0.6 s apart, so no
// other click comes near.
const double kAgreement = 0.025;
// A run reads about 490 of the stretch's 680 recorded frames (the fade-in and the strip's end are
// no clear scroller). Under 250 the demo did not play the stretch through or its sound did not
// follow the music, and a median would stand for a few seconds at most.
const size_t kMinDemoReadings = 250;

// The recording follows the music sample for sample over the stretch when nothing is lost: its
// offset against the music stays within a few frames (PipeWire's resampling); 3 ms is a loss.
const double kStretchStep = 0.003;

using Options = AvOffsetOptions;

struct Recording {
    std::vector<unsigned char> video;
    std::vector<double> times;  // of each frame
    size_t frameBytes = 0, frames = 0;
    size_t splitFrame = 0, resumeFrame = 0;  // the demo's frames lie in between
    std::vector<float> sound;                // mono, from soundStart
};

// The recorder's skew at any time, interpolated between the reference before and after the demo.
struct Calibration {
    double skewBefore = 0, timeBefore = 0;
    double skewAfter = 0, timeAfter = 1;
    double skewAt(double t) const {
        return skewBefore + (skewAfter - skewBefore) * (t - timeBefore) / (timeAfter - timeBefore);
    }
};

struct DemoReadings {
    std::vector<double> offsets, raws;  // ms, calibrated and not
    std::vector<double> firstSight;     // calibrated offset of each new picture, ms
    std::vector<double> pictureTimes;   // the recorder's time at each first sight
    std::vector<SoundMatch> matches;    // where the stretch's sound was found in the music
    int unmatched = 0, poor = 0;
};

// Prints why no offset is given and returns the exit code for it.
int refuse(const std::string& reason) {
    fprintf(stderr, "kestrane-avoffset: no offset: %s\n", reason.c_str());
    return 1;
}

// The recording's frames, their times and its sound; the demo's frames between SPLIT and RESUME.
bool readRecording(const Options& o, Recording* r) {
    if (!readFile(o.video, &r->video) || !readRawRecording(o.sound, &r->sound)) return false;
    if (FILE* f = fopen(o.frameTimes, "r")) {
        double t;
        while (fscanf(f, "%lf", &t) == 1) r->times.push_back(t);
        fclose(f);
    }
    r->frameBytes = size_t(o.width) * size_t(o.height);
    r->frames = std::min(r->times.size(), r->video.size() / r->frameBytes);
    if (r->frames != r->times.size() || r->frames != r->video.size() / r->frameBytes)
        printf("warning: %zu frame times for %zu frames\n", r->times.size(), r->video.size() / r->frameBytes);
    while (r->splitFrame < r->frames && r->times[r->splitFrame] < o.split) ++r->splitFrame;
    r->resumeFrame = r->splitFrame;
    while (r->resumeFrame < r->frames && r->times[r->resumeFrame] < o.resume) ++r->resumeFrame;
    return true;
}

GrayImage frameAt(const Recording& r, const Options& o, size_t i) {
    GrayImage g;
    g.width = o.width;
    g.height = o.height;
    g.pixels.assign(r.video.begin() + long(i * r.frameBytes), r.video.begin() + long((i + 1) * r.frameBytes));
    return g;
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

// Picture changes of the reference before the demo (part 0) or after it (part 1), on the recorder's
// clock: the change fell between the frame before and the frame that shows it, so the middle is
// taken, less how late the reference swapped the picture in after its click; halfGaps: half the
// time between those two frames, how far the change may lie from that middle.
std::vector<double> referenceChanges(const Recording& r, const Options& o, int part,
                                     std::vector<double>* halfGaps) {
    const size_t from = part == 0 ? 0 : r.resumeFrame, to = part == 0 ? r.splitFrame : r.frames;
    std::vector<double> levels;
    for (size_t i = from; i < to; ++i) {
        double sum = 0;
        for (size_t k = 0; k < r.frameBytes; ++k) sum += r.video[i * r.frameBytes + k];
        levels.push_back(sum / double(r.frameBytes));
    }
    std::vector<double> changes;
    for (int i : brightenings(levels)) {
        const size_t at = from + size_t(i);
        changes.push_back(0.5 * (r.times[at - 1] + r.times[at]) - o.shownLate);
        halfGaps->push_back(0.5 * (r.times[at] - r.times[at - 1]));
    }
    return changes;
}

// Clicks heard before the demo (part 0) or after it (part 1), on the recorder's clock. The
// reference plays 1 s of silence before its first click and leaves over 0.5 s after its last, and
// the script waits 1 s between it and the demo: skews up to about a second keep every click in its
// part. A larger one loses clicks, and the calibration is refused rather than wrong.
std::vector<double> referenceClicks(const Recording& r, const Options& o, int part) {
    std::vector<double> clicks;
    for (long c : clickOnsets(r.sound, kRate)) {
        const double heard = o.soundStart + double(c) / kRate;
        if (part == 0 ? heard < o.split : heard > o.resume) clicks.push_back(heard);
    }
    return clicks;
}

// The recorder's skew before the demo and, when the reference ran again after it, after; refusal:
// why the reference does not calibrate the recorder (empty when it does).
Calibration calibrate(const Recording& r, const Options& o, std::string* refusal) {
    static const char* const kPart[] = {"before the demo", "after the demo"};
    const int parts = o.resume < 1e300 ? 2 : 1;
    std::vector<ReferencePart> fitted;
    double skews[2] = {0, 0}, times[2] = {0, 1};
    for (int part = 0; part < parts; ++part) {
        std::vector<double> halfGaps;
        const std::vector<double> changes = referenceChanges(r, o, part, &halfGaps),
                                  clicks = referenceClicks(r, o, part);
        const SkewFit fit = fitSkew(changes, clicks, -kSkewRange, kSkewRange, kAgreement);
        printf(
            "reference %s: %zu picture changes, %zu clicks, %d of %d played agree within %.0f ms of one "
            "skew\n",
            kPart[part], changes.size(), clicks.size(), fit.agreeing, o.clicks, kAgreement * 1000);
        ReferencePart fittedPart{fit.agreeing, o.clicks, fit.skew, {}};
        std::vector<double> differences, pairedTimes;
        for (size_t i = 0; i < changes.size(); ++i)
            if (fit.pairs.size() > i && fit.pairs[i] >= 0) {
                const double difference = clicks[size_t(fit.pairs[i])] - changes[i];
                differences.push_back(difference * 1000);
                pairedTimes.push_back(changes[i]);
                fittedPart.pairs.push_back({difference, halfGaps[i]});
            }
        fitted.push_back(fittedPart);
        double outside = -1e300;
        for (size_t i = 0; i < fittedPart.pairs.size(); ++i)
            outside = std::max(outside, pairOutside(fittedPart.pairs, i));
        if (fittedPart.pairs.size() > 1)
            printf(
                "reference %s: the click furthest from the others lies %+.1f ms outside the skew their "
                "frames "
                "allow (over %.0f ms is refused)\n",
                kPart[part], outside * 1000, kPairMargin * 1000);
        if (differences.empty()) continue;
        printSpread(
            (std::string("recorder skew ") + kPart[part] + " (sound time - picture time of one instant)")
                .c_str(),
            differences);
        skews[part] = fit.skew;
        times[part] = median(pairedTimes);
    }
    *refusal = calibrationRefusal(fitted, kAgreement);
    Calibration c;
    c.skewBefore = c.skewAfter = skews[0];
    c.timeBefore = times[0];
    c.timeAfter = times[0] + 1;
    if (parts == 2 && refusal->empty()) {
        c.skewAfter = skews[1];
        c.timeAfter = times[1];
        printf("recorder skew drifted by %.1f ms over %.1f s\n", (c.skewAfter - c.skewBefore) * 1000,
               c.timeAfter - c.timeBefore);
    }
    return c;
}

bool readReferences(const Options& o, std::vector<GrayImage>* references) {
    for (int t = kFirstReference; t <= kLastReference; ++t) {
        GrayImage g;
        std::string path = std::string(o.referenceDir) + "/t" + std::to_string(t) + ".000.png";
        if (!readReference(path, o.top, o.width, o.height, &g)) {
            fprintf(stderr, "kestrane-avoffset: cannot read %s as a %dx%d frame\n", path.c_str(), o.width,
                    o.top + o.height);
            return false;
        }
        references->push_back(g);
    }
    return true;
}

// Where the sound at the instant of frame i lies in the music: a search near the last place found
// (*offset, music frame - sound frame), else the whole music at most twice a second. The music
// time in s, or -1 when nothing matches.
double soundTimeOfFrame(const Recording& r, const Options& o, const std::vector<float>& music, size_t i,
                        double skew, long* offset, size_t* nextWholeSearch) {
    // The sound at the instant of the frame: 1024 frames centred there.
    const double instant = r.times[i] + skew;
    const long at = long((instant - o.soundStart) * kRate) - 512;
    double score = 0;
    long found = -1;
    if (*offset >= 0)
        found = locateInMusic(music, r.sound, at, 4096, at + *offset - kRate, at + *offset + kRate, &score);
    // Not near the last place (a seek, or no place yet): the whole music, twice a second at most.
    if (found < 0 && i >= *nextWholeSearch) {
        found = locateInMusic(music, r.sound, at, 4096, 0, long(music.size()), &score);
        *nextWholeSearch = i + 25;
    }
    if (found < 0) return -1;
    *offset = found - at;
    return (found + 512) / double(kRate);
}

// The music time frame i's scroller shows, searched within 0.7 s of soundTime against the nearest
// whole-second reference; false when the scroller is no clear match.
bool pictureTimeOfFrame(const Recording& r, const Options& o, const std::vector<GrayImage>& references,
                        size_t i, double soundTime, double* pictureTime) {
    int nearest = std::clamp(int(std::lround(soundTime)), kFirstReference, kLastReference);
    // Picture times within 0.7 s of the sound's: shift = -(T - T0) * speed.
    int lo = int(std::floor(-(soundTime + 0.7 - nearest) * kSpeed));
    int hi = int(std::ceil(-(soundTime - 0.7 - nearest) * kSpeed));
    double shift = 0, match = 0;
    if (!scrollerShift(frameAt(r, o, i), references[size_t(nearest - kFirstReference)], lo, hi, &shift,
                       &match) ||
        match < 0.9) {
        return false;
    }
    *pictureTime = nearest - shift / kSpeed;
    return true;
}

// The demo: each frame's picture time from the scroller, the sound's at the same instant.
DemoReadings readDemo(const Recording& r, const Options& o, const std::vector<float>& music,
                      const std::vector<GrayImage>& references, const Calibration& calibration) {
    DemoReadings d;
    double lastPictureTime = -1;
    long offset = -1;
    size_t nextWholeSearch = 0;
    for (size_t i = r.splitFrame; i < r.resumeFrame; ++i) {
        const double skew = calibration.skewAt(r.times[i]);
        const double soundTime = soundTimeOfFrame(r, o, music, i, skew, &offset, &nextWholeSearch);
        if (soundTime < 0) {
            ++d.unmatched;
            continue;
        }
        const double rawSoundTime = soundTime - skew;  // the same frames taken as simultaneous
        if (soundTime < kFirstReference - 0.3 || soundTime > kLastReference + 0.3) continue;
        double pictureTime = 0;
        if (!pictureTimeOfFrame(r, o, references, i, soundTime, &pictureTime)) {
            ++d.poor;
            continue;
        }
        // Only frames read whole: a sound matched to a repeat of the music elsewhere finds no
        // scroller near its time.
        d.matches.push_back({r.times[i], offset});
        d.offsets.push_back((pictureTime - soundTime) * 1000);
        d.raws.push_back((pictureTime - rawSoundTime) * 1000);
        // A new picture of the demo (the scroller moved by more than half a pixel since the last
        // frame read): its offset at first sight leaves out how long it then stays on screen.
        if (lastPictureTime < 0 || std::fabs(pictureTime - lastPictureTime) > 0.5 / kSpeed) {
            d.firstSight.push_back(d.offsets.back());
            d.pictureTimes.push_back(r.times[i]);
        }
        lastPictureTime = pictureTime;
    }
    return d;
}

void reportDemo(const DemoReadings& d) {
    printSpread("uncalibrated offset (picture time - sound time, > 0: picture ahead)", d.raws);
    printSpread("calibrated A/V offset (picture time - sound time, > 0: picture ahead)", d.offsets);
    if (d.firstSight.size() >= 2) {
        const double span = d.pictureTimes.back() - d.pictureTimes.front();
        printf("the demo's pictures: %zu new ones in %.2f s of recording (%.1f per second)\n",
               d.firstSight.size(), span, double(d.firstSight.size() - 1) / span);
        printSpread("calibrated offset of each new picture at first sight", d.firstSight);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (int refused = parseAvOffsetArguments(argc, argv, &options)) return refused;
    Recording recording;
    if (!readRecording(options, &recording)) {
        fprintf(stderr, "kestrane-avoffset: cannot read the recording\n");
        return 2;
    }
    std::vector<float> music;
    if (!readMusicMono(options.music, kRate, &music)) {
        fprintf(stderr, "kestrane-avoffset: %s is no %d Hz MP3\n", options.music, kSampleRate);
        return 2;
    }
    std::vector<GrayImage> references;
    if (!readReferences(options, &references)) return 2;

    std::string refusal;
    const Calibration calibration = calibrate(recording, options, &refusal);
    if (!refusal.empty()) return refuse(refusal);

    const DemoReadings demo = readDemo(recording, options, music, references, calibration);
    printf("demo: %zu frames read (%d without a sound match, %d without a clear scroller)\n",
           demo.offsets.size(), demo.unmatched, demo.poor);
    const std::string moved = stretchRefusal(demo.matches, kRate, kStretchStep);
    if (!moved.empty()) return refuse(moved);
    if (demo.offsets.size() < kMinDemoReadings)
        return refuse("only " + std::to_string(demo.offsets.size()) + " of the demo's frames read (" +
                      std::to_string(kMinDemoReadings) + " needed)");
    reportDemo(demo);
    return 0;
}
