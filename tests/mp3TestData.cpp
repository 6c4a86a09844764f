#include "tests/mp3TestData.h"

#include <lame/lame.h>

#include <cmath>
#include <cstdlib>

#include "platform/platform.h"

std::vector<unsigned char> encodeTestMp3(long frames, const std::function<float(long)>& sample) {
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, 44100);
    lame_set_out_samplerate(lame, 44100);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 192);
    lame_set_quality(lame, 5);
    lame_init_params(lame);
    std::vector<unsigned char> out;
    std::vector<float> left(1152), right(1152);
    std::vector<unsigned char> chunk(1152 * 5 / 4 + 7200);
    for (long start = 0; start < frames; start += 1152) {
        int n = int(std::min<long>(1152, frames - start));
        for (int i = 0; i < n; ++i) left[i] = right[i] = sample(start + i);
        int bytes = lame_encode_buffer_ieee_float(lame, left.data(), right.data(), n, chunk.data(),
                                                  int(chunk.size()));
        if (bytes > 0) out.insert(out.end(), chunk.begin(), chunk.begin() + bytes);
    }
    int bytes = lame_encode_flush(lame, chunk.data(), int(chunk.size()));
    if (bytes > 0) out.insert(out.end(), chunk.begin(), chunk.begin() + bytes);
    // The LAME tag in the first frame carries the encoder delay and padding for gapless decoding.
    std::vector<unsigned char> tag(8192);
    size_t tagBytes = lame_get_lametag_frame(lame, tag.data(), tag.size());
    if (tagBytes > 0 && tagBytes <= out.size())
        std::copy(tag.begin(), tag.begin() + long(tagBytes), out.begin());
    lame_close(lame);
    return out;
}

std::vector<unsigned char> encodeToneMp3(double seconds, double hz, double amplitude) {
    return encodeTestMp3(long(seconds * 44100), [=](long i) {
        return float(amplitude * std::sin(2.0 * M_PI * hz * double(i) / 44100.0));
    });
}

MusicStream* openToneOnDummyDevice() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    audioClose();
    audioSetOffline(false);
    if (!audioInit(kSampleRate)) return nullptr;
    // The stream keeps a pointer to the bytes: they live as long as the process.
    static const std::vector<unsigned char> mp3 = encodeToneMp3(4.0, 440.0, 0.3);
    return audioStreamOpen(mp3.data(), long(mp3.size()));
}
