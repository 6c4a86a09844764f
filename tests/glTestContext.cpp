#include "tests/glTestContext.h"

#include <cstdlib>

#include "platform/platform.h"

bool openTestGlContext() {
    static int state = 0;  // 0 not tried, 1 open, -1 failed
    if (state == 0) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        bool ok = platformInitVideo() && platformCreateWindow("test", 800, 600, false) &&
                  platformCreateGlContext() && platformMakeCurrent();
        state = ok ? 1 : -1;
    }
    return state == 1;
}
