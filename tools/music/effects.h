// effects.h
// The send effects the mixer shares between tracks: a stereo plate reverb and a ping-pong delay.
// Both add their wet output into the given left/right buffers.
#pragma once

#include <vector>

namespace music {

// Mono send in, stereo plate out (added). Works on two threads, one per side.
void applyReverb(const std::vector<float>& send, std::vector<float>& left, std::vector<float>& right);

// Mono send in, dotted-eighth ping-pong echoes out (added); a share of the echoes also goes to
// reverbSend when given, so the repeats sit in the same room.
void applyDelay(const std::vector<float>& send, std::vector<float>& left, std::vector<float>& right,
                std::vector<float>* reverbSend);

}  // namespace music
