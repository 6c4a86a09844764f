// pulseOutputWindows.cpp
// Windows has no libpulse: the server output never opens there, and the music stream plays through
// SDL's audio (WASAPI, DirectSound or waveOut, whichever SDL finds), heard one device buffer after
// it is handed out.
#include "platform/audioOutput.h"

namespace {

bool openNone(int) { return false; }
const char* describeNone() { return "no PulseAudio-protocol output on Windows"; }
void doNothing() {}
void pollNothing(double) {}

}  // namespace

const AudioOutput pulseOutput = {openNone,  describeNone, doNothing,   doNothing,
                                 doNothing, doNothing,    pollNothing, nullptr};
