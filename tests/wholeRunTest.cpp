// wholeRunTest.cpp
// The whole presentation through the frame director: a frame every tenth of a second from 0 to
// 203 s, each without a GL error, and the end of the run after 203 s.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <cstdio>

#include "director/director.h"
#include "platform/platform.h"
#include "tests/sceneTestSupport.h"

TEST(WholeRun, EveryTenthOfASecondFrom0To203RendersWithoutGlErrors) {
    ASSERT_TRUE(startDemoForTests(true));
    while (glGetError() != GL_NO_ERROR) {
    }
    const double started = platformSeconds();
    int errors = 0;
    for (long long ms = 0; ms <= 203000; ms += 100) {
        audioSetOfflineTimeMs(ms);
        ASSERT_EQ(renderFrame(), 1) << "at " << ms << " ms";
        const GLenum error = glGetError();
        if (error != GL_NO_ERROR) {
            ADD_FAILURE() << "GL error 0x" << std::hex << error << std::dec << " at " << ms << " ms";
            if (++errors == 10) break;
            while (glGetError() != GL_NO_ERROR) {
            }
        }
    }
    glFinish();
    printf("2031 frames in %.1f s\n", platformSeconds() - started);
    EXPECT_TRUE(glStateIsBalanced());
    audioSetOfflineTimeMs(203100);
    EXPECT_EQ(renderFrame(), 0);
}
