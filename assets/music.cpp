// music.cpp
// The music file and its stream: loaded into memory once, played from the start when start-up
// completes, and the source of DemoTime and of the spectrum. A re-created window runs start-up
// again; the music already playing then simply goes on, so it never starts twice.
#include <cstdio>
#include <cstdlib>

#include "assets/assets.h"
#include "platform/platform.h"

MusicStream* musicStream = nullptr;
int musicChannel = -1;

namespace {

unsigned char* musicData = nullptr;  // the file's bytes; the stream reads them until exit

// Reads the whole file; null when it cannot be opened, an empty block (length 0) when it yields
// no byte.
unsigned char* readMusicFile(long* length) {
    FILE* file = fopen(dataFile(kMusicPath).c_str(), "rb");
    if (!file) return nullptr;
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fseek(file, 0, SEEK_SET);
    // A folder opens like a file and reports a meaningless end (LONG_MAX on ext4); it yields no
    // byte, so it counts as empty rather than sizing an allocation from that end.
    if (fgetc(file) == EOF) size = 0;
    fseek(file, 0, SEEK_SET);
    unsigned char* data = size > 0 ? static_cast<unsigned char*>(malloc(size_t(size))) : nullptr;
    if (data && fread(data, 1, size_t(size), file) != size_t(size)) {
        free(data);
        data = nullptr;
    }
    fclose(file);
    *length = data ? size : 0;
    if (!data) data = static_cast<unsigned char*>(calloc(1, 1));
    return data;
}

// The picture still needs a clock when there is no music to play.
void playSilence() {
    musicStream = audioStreamOpen(nullptr, 0);
    musicChannel = audioStreamPlay(musicStream, true);
    audioSetPaused(musicChannel, false);
}

}  // namespace

void startMusic() {
    if (musicChannel >= 0) return;  // already playing since an earlier start-up
    audioInit(kSampleRate);
    long length = 0;
    musicData = readMusicFile(&length);
    if (!musicData) {
        printf("Error!\n");
        printf("File Not Found\n");
        fflush(stdout);
        audioClose();
        playSilence();
        return;
    }
    musicStream = length > 0 ? audioStreamOpen(musicData, length) : nullptr;
    if (!musicStream) {
        // Empty, a folder, unreadable or no MP3 audio in it: all said alike, once per run (a
        // re-created window finds the silent clock playing and returns above).
        fprintf(stderr, "kestrane: %s holds no playable MP3 audio; running without music\n", kMusicPath);
        free(musicData);
        musicData = nullptr;
        playSilence();
        return;
    }
    musicChannel = audioStreamPlay(musicStream, true);
    audioSetPaused(musicChannel, false);
}

void activateSpectrum() { audioSetSpectrumActive(true); }

namespace {
double frameReadWall = 0.0;
double frameShownWall = 0.0;
bool displayPaced = false;
}  // namespace

int musicTimeMs() { return audioStreamGetTime(musicStream); }

void musicSetDisplayPaced(bool paced) { displayPaced = paced; }

int musicFrameTimeMs() {
    frameReadWall = platformSeconds();
    return audioStreamGetFrameTime(musicStream, displayPaced, &frameShownWall);
}

double musicFrameReadWall() { return frameReadWall; }
double musicFrameShownWall() { return frameShownWall; }
void musicFramePresented(double wall) { audioFramePresented(wall); }

void seekMusicMs(int ms) { audioStreamSetTime(musicStream, ms); }

const float* musicSpectrum() { return audioGetSpectrum(); }
