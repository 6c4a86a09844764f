// videoDriver.cpp
// Which SDL video driver opens the window. SDL 2.26 picks x11 whenever DISPLAY is set, even in a
// Wayland session, where the window then goes through Xwayland and is drawn at 1x and enlarged on
// a scaled output; so a Wayland session gets the wayland driver first, x11 when that cannot start.
#include <SDL2/SDL.h>

#include <cstdlib>

#include "platform/platform.h"
#include "platform/trace.h"

namespace {
bool isSet(const char* value) { return value && *value; }
}  // namespace

VideoDriverChoice chooseVideoDriver(const char* sdlVideoDriver, const char* waylandDisplay) {
    if (isSet(sdlVideoDriver)) return {nullptr, nullptr, "SDL_VIDEODRIVER is set"};
    if (isSet(waylandDisplay)) return {"wayland", "x11", "WAYLAND_DISPLAY is set"};
    return {nullptr, nullptr, "no Wayland session"};
}

bool initVideoDriver() {
    const char* forced = getenv("SDL_VIDEODRIVER");
    const VideoDriverChoice choice = chooseVideoDriver(forced, getenv("WAYLAND_DISPLAY"));
    if (choice.first) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, choice.first);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            traceLine("video driver %s (%s)", SDL_GetCurrentVideoDriver(), choice.reason);
            return true;
        }
        traceLine("video driver %s failed (%s); trying %s", choice.first, SDL_GetError(), choice.fallback);
        SDL_SetHint(SDL_HINT_VIDEODRIVER, choice.fallback);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        traceLine("video driver %s (%s could not start)", SDL_GetCurrentVideoDriver(), choice.first);
        return true;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    traceLine("video driver %s (%s%s%s)", SDL_GetCurrentVideoDriver(), choice.reason,
              forced && *forced ? ": " : ", SDL's own choice", forced && *forced ? forced : "");
    return true;
}
