// mp3Writer.cpp
// Encodes the master with LAME: constant bit rate, joint stereo, no ID3 tag. The LAME info tag
// stays in: it carries the encoder delay and padding, so gapless decoders start the music at
// sample 0 (the demo's clock depends on that). It holds no time stamp, so output is repeatable.
#include <lame/lame.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/music/dsp.h"
#include "tools/music/synth.h"

namespace music {

bool writeMp3(const Mix& mix, const char* path, int kbps, void (*progress)(const char*, float)) {
    lame_global_flags* lame = lame_init();
    if (!lame) {
        fprintf(stderr, "kestrane-music: cannot start the LAME encoder\n");
        return false;
    }
    lame_set_in_samplerate(lame, kRate);
    lame_set_out_samplerate(lame, kRate);
    lame_set_num_channels(lame, 2);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, 3);  // near the best; 2 costs twice the time for no audible gain
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        fprintf(stderr, "kestrane-music: LAME rejected the encoder settings\n");
        lame_close(lame);
        return false;
    }

    const int chunk = 1 << 16;
    std::vector<unsigned char> bytes, buffer(size_t(1.25 * chunk + 7200));
    const int frames = int(mix.left.size());
    bool ok = true;
    for (int first = 0; first < frames && ok; first += chunk) {
        int count = frames - first < chunk ? frames - first : chunk;
        int n = lame_encode_buffer_ieee_float(lame, mix.left.data() + first, mix.right.data() + first, count,
                                              buffer.data(), int(buffer.size()));
        if (n < 0)
            ok = false;
        else
            bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
        if (progress && (first / chunk) % 8 == 0) progress("encoding", float(first) / float(frames));
    }
    if (ok) {
        int n = lame_encode_flush(lame, buffer.data(), int(buffer.size()));
        if (n < 0)
            ok = false;
        else
            bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
    }
    // The first frame was a placeholder for the info tag; fill it in now that lengths are known.
    if (ok) {
        size_t tagSize = lame_get_lametag_frame(lame, buffer.data(), buffer.size());
        if (tagSize == 0 || tagSize > bytes.size())
            ok = false;
        else
            std::copy(buffer.begin(), buffer.begin() + long(tagSize), bytes.begin());
    }
    lame_close(lame);
    if (!ok) {
        fprintf(stderr, "kestrane-music: MP3 encoding failed\n");
        return false;
    }
    if (progress) progress("encoding", 1.0f);

    // Write beside the target and rename, so a failed run never leaves a truncated file.
    std::string temp = std::string(path) + ".part";
    FILE* file = fopen(temp.c_str(), "wb");
    if (!file) {
        fprintf(stderr, "kestrane-music: cannot write %s\n", temp.c_str());
        return false;
    }
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = fclose(file) == 0 && written;
    if (!written || std::rename(temp.c_str(), path) != 0) {
        fprintf(stderr, "kestrane-music: cannot write %s\n", path);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace music
