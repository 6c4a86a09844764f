// videoDriver.cpp
// Which SDL video driver opens the window. SDL 2.26 picks x11 whenever DISPLAY is set, even in a
// Wayland session, where the window then goes through Xwayland and is drawn at 1x and enlarged on
// a scaled output; so a Wayland session gets the wayland driver first, x11 when that cannot start.
// SDL 2.26's wayland driver crashes inside its start when the compositor offers no seat (a headless
// or kiosk compositor, a remote session), which no fallback could catch: the compositor's globals
// are read first, and wayland is chosen only when it has what the driver needs.
#include <SDL2/SDL.h>
#ifdef KESTRANE_WAYLAND_CLIENT
#include <wayland-client.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/trace.h"

namespace {
bool isSet(const char* value) { return value && *value; }

#ifdef KESTRANE_WAYLAND_CLIENT
// The globals SDL's wayland driver cannot do without, in the order they are named when missing.
const char* const kNeededGlobals[] = {"wl_compositor", "wl_seat", "xdg_wm_base"};
const int kNeededCount = 3;

void onGlobal(void* found, wl_registry*, uint32_t, const char* interface, uint32_t) {
    for (int i = 0; i < kNeededCount; ++i)
        if (strcmp(interface, kNeededGlobals[i]) == 0) static_cast<bool*>(found)[i] = true;
}

void onGlobalRemoved(void*, wl_registry*, uint32_t) {}

// The first global the compositor does not offer of those the driver needs; null when it offers
// them all, or cannot be reached (SDL then fails on its own, without crashing).
const char* waylandLacks() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return nullptr;
    bool found[kNeededCount] = {};
    static const wl_registry_listener listener = {onGlobal, onGlobalRemoved};
    wl_registry* registry = wl_display_get_registry(display);
    const bool answered = registry && wl_registry_add_listener(registry, &listener, found) == 0 &&
                          wl_display_roundtrip(display) >= 0;
    if (registry) wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!answered) return nullptr;
    for (int i = 0; i < kNeededCount; ++i)
        if (!found[i]) return kNeededGlobals[i];
    return nullptr;
}
#else
const char* waylandLacks() { return nullptr; }
#endif
}  // namespace

VideoDriverChoice chooseVideoDriver(const char* sdlVideoDriver, const char* waylandDisplay) {
    if (isSet(sdlVideoDriver)) return {nullptr, nullptr, "SDL_VIDEODRIVER is set"};
    if (isSet(waylandDisplay)) return {"wayland", "x11", "WAYLAND_DISPLAY is set"};
    return {nullptr, nullptr, "no Wayland session"};
}

bool initVideoDriver() {
    const char* forced = getenv("SDL_VIDEODRIVER");
    const VideoDriverChoice choice = chooseVideoDriver(forced, getenv("WAYLAND_DISPLAY"));
    if (isSet(forced) && strcmp(forced, "wayland") == 0) {
        if (const char* lacking = waylandLacks()) {
            fprintf(stderr,
                    "kestrane: the Wayland compositor offers no %s, which SDL's wayland driver needs\n",
                    lacking);
            return false;
        }
    }
    if (choice.first) {
        const char* lacking = waylandLacks();
        if (lacking) {
            fprintf(stderr,
                    "kestrane: the Wayland compositor offers no %s, which SDL's wayland driver needs; trying "
                    "%s\n",
                    lacking, choice.fallback);
        } else {
            SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, choice.first, SDL_HINT_OVERRIDE);
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
                traceLine("video driver %s (%s)", SDL_GetCurrentVideoDriver(), choice.reason);
                return true;
            }
            traceLine("video driver %s failed (%s); trying %s", choice.first, SDL_GetError(),
                      choice.fallback);
        }
        // Above SDL_VIDEODRIVER set empty, which a plain hint would not be: SDL would then try every
        // driver after the fallback, wayland among them.
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, choice.fallback, SDL_HINT_OVERRIDE);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        traceLine("video driver %s (%s could not start)", SDL_GetCurrentVideoDriver(), choice.first);
        return true;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    traceLine("video driver %s (%s%s%s)", SDL_GetCurrentVideoDriver(), choice.reason,
              forced && *forced ? ": " : ", SDL's own choice", forced && *forced ? forced : "");
    return true;
}
