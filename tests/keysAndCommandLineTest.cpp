// keysAndCommandLineTest.cpp
// Taps between idle turns are kept until a turn has read them, holding keeps working as before,
// and the command line picks the start mode or ends with the right exit code.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "assets/assets.h"
#include "platform/platform.h"

namespace {

void clearKeys() {
    memset(KeyState, 0, sizeof KeyState);
    memset(KeyPressedSinceIdle, 0, sizeof KeyPressedSinceIdle);
}

StartMode modeFor(std::initializer_list<const char*> args, int* exitCode) {
    std::vector<char*> argv;
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    return readCommandLine(int(argv.size()), argv.data(), exitCode);
}

void pushKey(Uint32 type, SDL_Keycode key, Uint16 mod) {
    SDL_Event event = {};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    SDL_PushEvent(&event);
}

// Feeds every queued event to the window procedure, as the loop does.
void drainEvents() {
    PlatformEvent event;
    while (platformPollEvent(&event)) displayWindowProc(event);
}

}  // namespace

TEST(KeyTaps, DownAndUpBetweenIdleTurnsCountsOnceOnTheNextTurn) {
    clearKeys();
    displayWindowProc({EVENT_KEY_DOWN, VK_ESCAPE, 0, 0});
    displayWindowProc({EVENT_KEY_UP, VK_ESCAPE, 0, 0});
    EXPECT_FALSE(KeyState[VK_ESCAPE]);  // KeyState still says whether the key is down
    EXPECT_TRUE(keyCommanded(VK_ESCAPE));
    endIdleKeyTurn();
    EXPECT_FALSE(keyCommanded(VK_ESCAPE));  // one tap, one turn
}

TEST(KeyTaps, AHeldKeyCountsOnEveryTurnUntilReleased) {
    clearKeys();
    displayWindowProc({EVENT_KEY_DOWN, VK_M, 0, 0});
    for (int turn = 0; turn < 3; ++turn) {
        EXPECT_TRUE(keyCommanded(VK_M));
        endIdleKeyTurn();
    }
    displayWindowProc({EVENT_KEY_UP, VK_M, 0, 0});
    EXPECT_FALSE(keyCommanded(VK_M));
}

TEST(KeyTaps, AltFiltersKeyDownsButNeverAKeyUp) {
    ASSERT_TRUE(platformInitVideo());
    clearKeys();
    drainEvents();
    // M held, then Alt pressed (Alt+Tab) before M comes up: the release still counts.
    pushKey(SDL_KEYDOWN, SDLK_m, KMOD_NONE);
    pushKey(SDL_KEYUP, SDLK_m, KMOD_LALT);
    drainEvents();
    EXPECT_FALSE(KeyState[VK_M]);
    endIdleKeyTurn();
    EXPECT_FALSE(keyCommanded(VK_M)) << "the demo would seek on every frame";
    // A key pressed with Alt held is a system key and is not recorded.
    pushKey(SDL_KEYDOWN, SDLK_n, KMOD_RALT);
    drainEvents();
    EXPECT_FALSE(keyCommanded(VK_N));
    pushKey(SDL_KEYUP, SDLK_n, KMOD_RALT);
    drainEvents();
    EXPECT_FALSE(keyCommanded(VK_N));
}

TEST(KeyTaps, ATappedSeekKeySeeksOnce) {
    clearKeys();
    audioSetOffline(true);
    startMusic();  // in offline mode the clock is ours to set
    ASSERT_NE(musicStream, nullptr);
    displayWindowProc({EVENT_KEY_DOWN, VK_N, 0, 0});
    displayWindowProc({EVENT_KEY_UP, VK_N, 0, 0});
    applySeekKeys(20.0f);
    EXPECT_EQ(musicTimeMs(), 19000);
    endIdleKeyTurn();
    applySeekKeys(30.0f);  // the next turn: nothing pressed, no seek
    EXPECT_EQ(musicTimeMs(), 19000);
}

TEST(CommandLine, NoArgumentAsksAndTheModeOptionsSkipTheQuestion) {
    int code = -1;
    EXPECT_EQ(modeFor({"kestrane"}, &code), START_ASK);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(modeFor({"kestrane", "--fullscreen"}, &code), START_FULLSCREEN);
    EXPECT_EQ(modeFor({"kestrane", "--window"}, &code), START_WINDOW);
    EXPECT_EQ(vsyncMode, VSYNC_ADAPTIVE);  // the default
    // --vsync in either place, with or without a start mode.
    EXPECT_EQ(modeFor({"kestrane", "--window", "--vsync", "off"}, &code), START_WINDOW);
    EXPECT_EQ(vsyncMode, VSYNC_OFF);
    EXPECT_EQ(modeFor({"kestrane", "--vsync", "on", "--fullscreen"}, &code), START_FULLSCREEN);
    EXPECT_EQ(vsyncMode, VSYNC_ON);
    EXPECT_EQ(modeFor({"kestrane", "--vsync", "adaptive"}, &code), START_ASK);
    EXPECT_EQ(vsyncMode, VSYNC_ADAPTIVE);
    EXPECT_EQ(code, 0);
}

TEST(CommandLine, HelpAndVersionPrintOnStandardOutputAndExitZero) {
    int code = -1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(modeFor({"kestrane", "--help"}, &code), START_EXIT);
    std::string help = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(help.rfind("Usage: kestrane", 0), 0u) << help;
    testing::internal::CaptureStdout();
    EXPECT_EQ(modeFor({"kestrane", "--version"}, &code), START_EXIT);
    EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("kestrane ", 0), 0u);
    EXPECT_EQ(code, 0);
}

TEST(CommandLine, AnythingElsePrintsTheUsageOnStandardErrorAndExitsTwo) {
    for (auto args :
         {std::vector<const char*>{"kestrane", "--fullscreen", "--window"},
          std::vector<const char*>{"kestrane", "-f"}, std::vector<const char*>{"kestrane", "--Window"},
          std::vector<const char*>{"kestrane", ""}, std::vector<const char*>{"kestrane", "--vsync"},
          std::vector<const char*>{"kestrane", "--vsync", "sometimes"},
          std::vector<const char*>{"kestrane", "--vsync", "on", "--vsync", "off"},
          std::vector<const char*>{"kestrane", "--window", "--help"},
          std::vector<const char*>{"kestrane", "--vsync", "--window"}}) {
        std::vector<char*> argv;
        for (const char* a : args) argv.push_back(const_cast<char*>(a));
        int code = -1;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(readCommandLine(int(argv.size()), argv.data(), &code), START_EXIT);
        std::string out = testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, 2);
        EXPECT_TRUE(out.empty());
        EXPECT_NE(err.find("Usage: kestrane"), std::string::npos) << err;
    }
}

// SDL_VIDEODRIVER set by the user always wins; a Wayland session tries wayland, then x11.
TEST(VideoDriver, TheEnvironmentChoosesTheDriverOrder) {
    VideoDriverChoice wayland = chooseVideoDriver(nullptr, "wayland-0");
    EXPECT_STREQ(wayland.first, "wayland");
    EXPECT_STREQ(wayland.fallback, "x11");
    for (const char* forced : {"x11", "wayland", "offscreen"}) {
        EXPECT_EQ(chooseVideoDriver(forced, "wayland-0").first, nullptr) << forced;
        EXPECT_EQ(chooseVideoDriver(forced, nullptr).first, nullptr) << forced;
    }
    // Unset and empty read alike: an X11 session, or a forced driver left empty, is SDL's choice.
    EXPECT_EQ(chooseVideoDriver(nullptr, nullptr).first, nullptr);
    EXPECT_EQ(chooseVideoDriver(nullptr, "").first, nullptr);
    EXPECT_STREQ(chooseVideoDriver("", "wayland-0").first, "wayland");
}
