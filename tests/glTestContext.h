// glTestContext.h
// A real GL context for tests: a hidden 800x600 window on SDL's offscreen driver (Mesa llvmpipe,
// no X server). Opened once per test process and kept current.
#pragma once

// True when the context is current. Sets SDL_VIDEODRIVER=offscreen unless a driver is chosen.
bool openTestGlContext();
