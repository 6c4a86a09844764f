// report.cpp
// The soundtrack report: decodes the written MP3 the way the demo does, runs the demo's own
// spectrum over it every 10 ms, and writes per-section figures for bands 4 and 19, the loudness
// (ffmpeg's EBU R128 meter, when ffmpeg is installed) and a spectrogram with the sections marked.
#include <cairo.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "platform/platform.h"
#include "tools/music/synth.h"

namespace music {

namespace {

const double kHopSeconds = 0.01;

struct Section {
    double from, to;
    const char* picture;
    const char* music;
};
const Section kSections[] = {
    {0, 66.5, "water sphere, intro pictures",
     "pad and bell arpeggio, then sub bass and shaker, then a soft beat and the theme on the flute; roll and "
     "riser"},
    {66.5, 87, "spinning model",
     "first groove: kick, snare, clap, hats, groove bass, comping; theme on the lead from 77.4 s"},
    {87, 106, "acid sphere, panel flashes",
     "acid line over four on the floor; a chord stab and snare crack on each of the 13 flashes"},
    {106, 125, "star dome", "half time, second theme high over wide bells"},
    {125, 135, "group logo, progress bar", "a pulse (F3 + F2) on every beat, high chords, riser and roll"},
    {135, 144, "sprite knots", "the drop: full groove and the theme; hit at 144.025 s"},
    {144, 157, "model on fogged floor", "dark sliding bass, sparse kit, low line; pushed hit at 156.925 s"},
    {157, 168, "checker tunnel", "acid line wide open, four on the floor, answer phrase; hit at 168.025 s"},
    {168, 182.5, "swaying sprites, scroller", "swung half time, second theme; build into the last drop"},
    {182.5, 197, "model on fogged floor (glitch)",
     "last drop at 183.025 s: octave bass on the off-beats, theme and cadence"},
    {197, 200, "fade to black", "closing F minor chord under the fade"},
    {200, 206, "end", "silence"},
};

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Integrated loudness and true peak from ffmpeg's ebur128 summary; false when not available.
bool measureLoudness(const char* path, double* lufs, double* truePeak) {
    std::string command =
        "ffmpeg -nostats -hide_banner -i " + shellQuote(path) + " -af ebur128=peak=true -f null - 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char line[512];
    bool summary = false, gotI = false, gotPeak = false;
    while (fgets(line, sizeof line, pipe)) {
        if (std::strstr(line, "Summary:")) summary = true;
        if (!summary) continue;
        const char* i = std::strstr(line, "I:");
        const char* p = std::strstr(line, "Peak:");
        if (i && !gotI) gotI = sscanf(i + 2, "%lf", lufs) == 1;
        if (p && !gotPeak) gotPeak = sscanf(p + 5, "%lf", truePeak) == 1;
    }
    int status = pclose(pipe);
    return status == 0 && gotI && gotPeak;
}

// Mean square of the mono mix over [from, to) seconds.
double energy(const std::vector<float>& mono, int rate, double from, double to) {
    long a = std::max(0L, long(std::lround(from * rate)));
    long b = std::min(long(mono.size()), long(std::lround(to * rate)));
    double sum = 0.0;
    for (long i = a; i < b; ++i) sum += double(mono[size_t(i)]) * mono[size_t(i)];
    return b > a ? sum / double(b - a) : 0.0;
}

// How sharply the broadband energy rises near t: the largest ratio, over instants within 10 ms,
// of the energy in the 5 ms after the instant to that in the 20 ms before it.
double strongestRise(const std::vector<float>& mono, int rate, double t) {
    double best = 0.0;
    for (double c = t - 0.010; c <= t + 0.010 + 1e-9; c += 0.0005)
        best = std::max(best,
                        energy(mono, rate, c, c + 0.005) / std::max(energy(mono, rate, c - 0.020, c), 1e-12));
    return best;
}

// Black - blue - magenta - orange - pale yellow, for 0..1.
void heatColour(double v, double* r, double* g, double* b) {
    static const double stops[5][3] = {
        {0, 0, 0}, {0.1, 0.1, 0.5}, {0.6, 0.1, 0.6}, {1, 0.5, 0.1}, {1, 1, 0.75}};
    v = std::clamp(v, 0.0, 1.0) * 4.0;
    int k = std::min(3, int(v));
    double u = v - k;
    *r = stops[k][0] + (stops[k + 1][0] - stops[k][0]) * u;
    *g = stops[k][1] + (stops[k + 1][1] - stops[k][1]) * u;
    *b = stops[k][2] + (stops[k + 1][2] - stops[k][2]) * u;
}

bool drawSpectrogram(const std::vector<std::vector<float>>& frames, const std::vector<float>& band4,
                     const std::vector<float>& band19, double seconds, const std::string& path) {
    const int pxPerSecond = 6, left = 60, top = 30, plotH = 300, traceH = 110, gap = 30;
    const int plotW = int(seconds * pxPerSecond);
    const int width = left + plotW + 20, height = top + plotH + gap + traceH + 40;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    // Spectrogram: columns of 1/6 s (the loudest of their 10 ms frames), rows on a log scale
    // from 30 Hz to 16 kHz, colour by level from -75 dB to -5 dB of a full-scale sine.
    const double lowHz = 30.0, highHz = 16000.0, binHz = double(kSampleRate) / 1024.0;
    cairo_surface_flush(surface);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    std::vector<float> column(512);
    for (int x = 0; x < plotW; ++x) {
        size_t first = size_t(x / double(pxPerSecond) / kHopSeconds);
        size_t last = std::min(frames.size(), size_t((x + 1) / double(pxPerSecond) / kHopSeconds));
        std::fill(column.begin(), column.end(), 0.0f);
        for (size_t f = first; f < last; ++f)
            for (int k = 0; k < 512; ++k)
                column[size_t(k)] = std::max(column[size_t(k)], frames[f][size_t(k)]);
        for (int y = 0; y < plotH; ++y) {
            double hz = lowHz * std::pow(highHz / lowHz, 1.0 - (y + 0.5) / plotH);
            double bin = hz / binHz;
            int k = std::min(510, int(bin));
            double u = bin - k;
            double m = column[size_t(k)] * (1 - u) + column[size_t(k + 1)] * u;
            double db = 20.0 * std::log10(std::max(m, 1e-6));
            double r, g, b;
            heatColour((db + 75.0) / 70.0, &r, &g, &b);
            uint32_t* p = reinterpret_cast<uint32_t*>(pixels + (top + y) * stride) + left + x;
            *p = (uint32_t(r * 255) << 16) | (uint32_t(g * 255) << 8) | uint32_t(b * 255);
        }
    }
    cairo_surface_mark_dirty(surface);

    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11);
    auto yOfHz = [&](double hz) {
        return top + plotH * (1.0 - std::log(hz / lowHz) / std::log(highHz / lowHz));
    };
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (double hz : {50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0}) {
        char label[16];
        snprintf(label, sizeof label, hz >= 1000 ? "%.0fk" : "%.0f", hz >= 1000 ? hz / 1000 : hz);
        cairo_move_to(cr, 8, yOfHz(hz) + 4);
        cairo_show_text(cr, label);
    }
    // Bands 4 and 19 as ticks on both sides.
    for (int band : {4, 19}) {
        double y = yOfHz((band + 0.5) * binHz);
        cairo_set_source_rgb(cr, band == 4 ? 0.0 : 0.0, band == 4 ? 0.6 : 0.3, band == 4 ? 0.0 : 0.9);
        cairo_rectangle(cr, left - 12, y - 1, 10, 2);
        cairo_rectangle(cr, left + plotW + 2, y - 1, 10, 2);
        cairo_fill(cr);
    }
    // Section boundaries across both plots, with their times on top.
    int labelRow = 0;
    for (const Section& s : kSections) {
        if (s.from <= 0.0) continue;
        double x = left + s.from * pxPerSecond + 0.5;
        labelRow = 1 - labelRow;  // alternate rows so that close times do not overlap
        cairo_set_source_rgb(cr, 0.2, 0.9, 0.9);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, x, top);
        cairo_line_to(cr, x, top + plotH + gap + traceH);
        cairo_stroke(cr);
        char label[16];
        snprintf(label, sizeof label, "%g", s.from);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_move_to(cr, x - 10, top - 4 - 12 * labelRow);
        cairo_show_text(cr, label);
    }
    // Traces of bands 4 (green) and 19 (blue), 0..1, loudest frame per column.
    int traceTop = top + plotH + gap;
    cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
    cairo_rectangle(cr, left, traceTop, plotW, traceH);
    cairo_fill(cr);
    for (int which = 0; which < 2; ++which) {
        const std::vector<float>& band = which == 0 ? band4 : band19;
        cairo_set_source_rgb(cr, 0, which == 0 ? 0.6 : 0.3, which == 0 ? 0 : 0.9);
        cairo_set_line_width(cr, 1);
        for (int x = 0; x < plotW; ++x) {
            size_t first = size_t(x / double(pxPerSecond) / kHopSeconds);
            size_t last = std::min(band.size(), size_t((x + 1) / double(pxPerSecond) / kHopSeconds));
            float peak = 0.0f;
            for (size_t f = first; f < last; ++f) peak = std::max(peak, band[f]);
            double y = traceTop + traceH * (1.0 - peak);
            if (x == 0)
                cairo_move_to(cr, left + x, y);
            else
                cairo_line_to(cr, left + x, y);
        }
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, left, height - 12);
    cairo_show_text(
        cr, "seconds of music; green: spectrum band 4 (172-215 Hz), blue: band 19 (818-861 Hz), 0 to 1");
    for (int t = 0; t <= int(seconds); t += 10) {
        char label[16];
        snprintf(label, sizeof label, "%d", t);
        cairo_move_to(cr, left + t * pxPerSecond - 6, traceTop + traceH + 14);
        cairo_show_text(cr, label);
    }
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

}  // namespace

bool writeReport(const char* mp3Path, const char* dir, double generationSeconds) {
    FILE* file = fopen(mp3Path, "rb");
    if (!file) {
        fprintf(stderr, "kestrane-music: cannot read %s for the report\n", mp3Path);
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(file);
    int16_t* pcm = nullptr;
    long frameCount = 0;
    int rate = 0, channels = 0;
    if (!decodeMp3(bytes.data(), long(bytes.size()), &pcm, &frameCount, &rate, &channels) || channels != 2) {
        fprintf(stderr, "kestrane-music: cannot decode %s for the report\n", mp3Path);
        free(pcm);
        return false;
    }
    std::vector<float> mono(static_cast<size_t>(frameCount));
    int peak = 0;
    for (long i = 0; i < frameCount; ++i) {
        mono[size_t(i)] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
        peak = std::max({peak, std::abs(int(pcm[2 * i])), std::abs(int(pcm[2 * i + 1]))});
    }
    free(pcm);

    // The demo's spectrum at every 10 ms: 1024 samples from the position, mono mix.
    const long hop = long(kHopSeconds * rate);
    std::vector<std::vector<float>> spectra;
    std::vector<float> band4, band19;
    for (long p = 0; p + 1024 <= frameCount; p += hop) {
        std::vector<float> m(512);
        computeSpectrum(mono.data() + p, m.data());
        band4.push_back(m[4]);
        band19.push_back(m[19]);
        spectra.push_back(std::move(m));
    }
    double seconds = double(frameCount) / rate;
    mkdir(dir, 0755);  // an existing folder is fine; any real failure shows when writing below
    std::string pngPath = std::string(dir) + "/spectrogram.png";
    if (!drawSpectrogram(spectra, band4, band19, seconds, pngPath)) {
        fprintf(stderr, "kestrane-music: cannot write %s\n", pngPath.c_str());
        return false;
    }

    double lufs = 0.0, truePeak = 0.0;
    bool measured = measureLoudness(mp3Path, &lufs, &truePeak);
    std::string mdPath = std::string(dir) + "/soundtrack.md";
    FILE* md = fopen(mdPath.c_str(), "w");
    if (!md) {
        fprintf(stderr, "kestrane-music: cannot write %s\n", mdPath.c_str());
        return false;
    }
    fprintf(md, "# The soundtrack\n\n");
    fprintf(md,
            "`tools/music` composes and renders the demo's music and encodes it with LAME to "
            "`%s` (%d Hz stereo, 192 kbit/s constant bit rate, "
            "byte-identical on every run; a build output, not committed). Every sound comes from the "
            "generator's own oscillators, envelopes, filters, delay and reverb. This report is "
            "written by `kestrane-music <out.mp3> --report docs`.\n\n",
            kMusicPath, kSampleRate);
    fprintf(md,
            "## The music\n\n"
            "\"Kestrane\" is in F minor at 100 beats per minute, with beats at 0.025 + 0.6 n s and bars "
            "of four from 0.625 s. The main progression is Fm - Db - Ab - Eb, the dreamier one "
            "Dbmaj7 - Eb - Cm7 - Fm. A four-bar theme and its answer carry the drops; a long second "
            "theme floats over the half-time sections. Instruments: a detuned-saw pad, an FM bell "
            "arpeggio, sub and saw basses, a resonant acid line, a saw lead and a breathy sine flute, "
            "chord stabs, and a synthesised kit (kick, snare, clap, rim, hats, shaker, crash, reverse "
            "crash, riser, impact). The mix uses a kick side-chain, a plate reverb, a dotted-eighth "
            "ping-pong delay, a DC cut, a gentle high shelf and a look-ahead limiter at -2.5 dBFS.\n\n"
            "Where the picture listens: through the opening the chords and the arpeggio keep "
            "A-flat 5 (830 Hz, band 19) sounding, for the sprites and glows; the thirteen panel "
            "flashes each get a chord stab with a snare crack, after a 35 ms hush of everything "
            "else; the logo stretch is a bare pulse (F3 with F2) on every beat; the last drop "
            "doubles its off-beat bass notes (140-210 Hz) with the same pulse for the glitch "
            "effect; the fade takes the music to digital silence at 200 s.\n\n");
    fprintf(md, "## Measured on the decoded file\n\n");
    fprintf(md, "| figure | value |\n|---|---|\n");
    fprintf(md, "| length | %.3f s, %d Hz, %d channels |\n", seconds, rate, channels);
    fprintf(md, "| sample peak | %.2f dBFS |\n", 20.0 * std::log10(std::max(peak, 1) / 32768.0));
    if (measured) {
        fprintf(md, "| integrated loudness (ffmpeg ebur128) | %.1f LUFS |\n", lufs);
        fprintf(md, "| true peak (ffmpeg ebur128, 4x oversampled) | %.1f dBFS |\n", truePeak);
    } else {
        fprintf(md, "| integrated loudness | not measured: ffmpeg was not found |\n");
    }
    fprintf(md, "| generation and encoding time (wall clock, this run) | %.1f s |\n\n", generationSeconds);
    fprintf(md,
            "Bands are the demo's own spectrum (`computeSpectrum`: 1024 samples from the position, "
            "mono mix, Hann window, 1.0 = a full-scale sine), taken every 10 ms. Band 4 (172-215 Hz) "
            "drives the logo's alpha and the glitch effect; band 19 (818-861 Hz) the sprite sizes and "
            "glows of the first two scenes.\n\n");
    fprintf(md,
            "| section (s) | picture | music | band 4 mean | band 4 peak | band 19 mean | band 19 peak |\n");
    fprintf(md, "|---|---|---|---|---|---|---|\n");
    for (const Section& s : kSections) {
        double sum4 = 0, sum19 = 0, max4 = 0, max19 = 0;
        int count = 0;
        for (size_t f = 0; f < band4.size(); ++f) {
            double t = f * kHopSeconds;
            if (t < s.from || t >= s.to) continue;
            sum4 += band4[f];
            sum19 += band19[f];
            max4 = std::max(max4, double(band4[f]));
            max19 = std::max(max19, double(band19[f]));
            ++count;
        }
        if (count == 0) continue;
        fprintf(md, "| %g-%g | %s | %s | %.3f | %.3f | %.3f | %.3f |\n", s.from, s.to, s.picture, s.music,
                sum4 / count, max4, sum19 / count, max19);
    }
    fprintf(md,
            "\nThe flash hits, as the energy of the 5 ms after the strongest instant within 10 ms "
            "of each flash over that of the 20 ms before it:\n\n| flash (s) | rise |\n|---|---|\n");
    for (double flash : {87.025, 87.924, 88.073, 89.425, 90.324, 90.494, 96.625, 97.525, 97.695, 99.024,
                         99.924, 100.094, 100.824})
        fprintf(md, "| %.3f | x%.0f |\n", flash, strongestRise(mono, rate, flash));
    fprintf(
        md,
        "\n## Spectrogram\n\nSection changes are marked in cyan; ticks at the sides mark bands 4 "
        "and 19; below, the two bands over time.\n\n![Spectrogram with section times](spectrogram.png)\n");
    bool ok = fclose(md) == 0;
    if (ok) fprintf(stderr, "kestrane-music: wrote %s and %s\n", mdPath.c_str(), pngPath.c_str());
    return ok;
}

}  // namespace music
