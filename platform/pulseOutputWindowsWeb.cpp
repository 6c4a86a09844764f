// pulseOutputWindowsWeb.cpp
// Windows and browser pages have no libpulse: the server output never opens there, and the music
// stream plays through SDL's audio (on Windows WASAPI, DirectSound or waveOut, whichever SDL finds;
// in a page, the page's audio context).
#include "platform/audioOutput.h"

namespace {

bool openNone(int) { return false; }
const char* describeNone() { return "no PulseAudio-protocol output on this system"; }
void doNothing() {}
void pollNothing(double) {}

}  // namespace

const AudioOutput pulseOutput = {openNone,  describeNone, doNothing,   doNothing,
                                 doNothing, doNothing,    pollNothing, nullptr};
