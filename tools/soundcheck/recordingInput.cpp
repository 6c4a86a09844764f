// recordingInput.cpp
// Files and arguments of the measuring tools: recordings and music as mono samples, and strict
// number parsing (a whole argument or a refusal, never a silent 0).
#include "tools/soundcheck/recordingInput.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

bool readFile(const char* path, std::vector<unsigned char>* bytes) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

std::vector<float> monoOf(const int16_t* pcm, long frames) {
    std::vector<float> mono(size_t(frames), 0.0f);
    for (long i = 0; i < frames; ++i) mono[size_t(i)] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
    return mono;
}

bool readRawRecording(const char* path, std::vector<float>* mono) {
    std::vector<unsigned char> raw;
    if (!readFile(path, &raw)) return false;
    std::vector<int16_t> samples(raw.size() / 2);
    memcpy(samples.data(), raw.data(), samples.size() * 2);
    *mono = monoOf(samples.data(), long(samples.size() / 2));
    return true;
}

bool readMusicMono(const char* path, int rate, std::vector<float>* mono) {
    std::vector<unsigned char> mp3;
    int16_t* pcm = nullptr;
    long frames = 0;
    int decodedRate = 0, channels = 0;
    if (!readFile(path, &mp3) ||
        !decodeMp3(mp3.data(), long(mp3.size()), &pcm, &frames, &decodedRate, &channels)) {
        return false;
    }
    *mono = monoOf(pcm, frames);
    free(pcm);
    return decodedRate == rate;
}

bool parseWholeArgument(const char* text, long long min, long long max, long long* value) {
    const char* p = text;
    bool negative = *p == '-' && min < 0;
    if (negative) ++p;
    long long n = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (digits >= 18) return false;
        n = n * 10 + (*p - '0');
    }
    if (digits == 0 || *p != '\0') return false;
    if (negative) n = -n;
    if (n < min || n > max) return false;
    *value = n;
    return true;
}

bool parseDecimalArgument(const char* text, double min, double max, double* value) {
    const char* p = text;
    if (*p == '-') ++p;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) ++digits;
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p) ++digits;
    }
    if (digits == 0 || *p != '\0' || digits > 30) return false;
    double n = strtod(text, nullptr);
    if (!std::isfinite(n) || n < min || n > max) return false;
    *value = n;
    return true;
}

int refuseArgument(const char* program, const char* name, const char* value, const char* expected,
                   const char* usage) {
    fprintf(stderr, "%s: bad %s '%s' (%s)\n%s\n", program, name, value, expected, usage);
    return 2;
}

const char* const kSoundcheckUsage = "usage: kestrane-soundcheck MUSIC.mp3 RECORDING.raw [--limit-ms MS]";

int parseSoundcheckArguments(int argc, char** argv, SoundcheckOptions* options) {
    *options = SoundcheckOptions();
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--limit-ms") == 0) {
            if (i + 1 >= argc) {
                fprintf(stderr, "kestrane-soundcheck: --limit-ms needs a value\n%s\n", kSoundcheckUsage);
                return 2;
            }
            const char* value = argv[++i];
            if (!parseDecimalArgument(value, 0.0, 1e6, &options->limitMs)) {
                return refuseArgument("kestrane-soundcheck", "--limit-ms", value,
                                      "milliseconds, a decimal number from 0 to 1000000", kSoundcheckUsage);
            }
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return refuseArgument("kestrane-soundcheck", "argument", argv[i], "not an option",
                                  kSoundcheckUsage);
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() != 2) {
        fprintf(stderr, "kestrane-soundcheck: expected the music and the recording, got %zu file%s\n%s\n",
                files.size(), files.size() == 1 ? "" : "s", kSoundcheckUsage);
        return 2;
    }
    options->music = files[0];
    options->recording = files[1];
    return 0;
}
