// textureCatalogueTest.cpp
// loadTextures in a temporary working folder holding its own small pictures: each slot gets the
// file of its place in the load order, all 53 names are distinct, and a missing or broken file
// leaves only its own slot at 0 while every later load still happens.
#include <gtest/gtest.h>

#include <png.h>
#include <unistd.h>
#include "glLayer/glLayer.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "tests/glTestContext.h"

namespace fs = std::filesystem;

namespace {

// Slot and file of each load, in load order.
struct Load {
    unsigned int* slot;
    std::string file;
};

std::vector<Load> expectedLoads() {
    const char* scene[] = {"particle",
                           "water",
                           "part4",
                           "particle",
                           "checker",
                           "tunnel",
                           "acid02",
                           "pinkdot",
                           "overlay",
                           "stars",
                           "twirl",
                           "vel_kestrane_mask",
                           "vel_kestrane",
                           "dot_sprite",
                           "dot_mask",
                           "same_kestrane",
                           "same_kestrane_mask",
                           "e_sprite",
                           "e_mask",
                           "vel_logo",
                           "dot_sprite2",
                           "dot_sprite3"};
    std::vector<Load> loads;
    for (int i = 0; i < SCENE_TEXTURE_COUNT; ++i)
        loads.push_back({&sceneTextures[i], std::string("data/textures/") + scene[i] + ".png"});
    loads.push_back({&texFont, "data/textures/font.png"});
    const char* named[] = {"keep", "meanwhile", "scroller"};
    for (int i = 0; i < LAYER_COUNT; ++i) {
        const std::string stem = i < 12 ? "data/textures/intro/" + std::to_string(i + 1)
                                        : std::string("data/textures/") + named[i - 12];
        loads.push_back({&layerTextures[i], stem + "_layer.png"});
        loads.push_back({&layerMasks[i], stem + "_mask.png"});
    }
    return loads;
}

// A 2x2 picture whose red byte is its marker, RGBA when asked.
bool writeMarkedPng(const fs::path& path, int marker, bool alpha) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = 2;
    image.height = 2;
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<unsigned char> pixels(2 * 2 * 4, 200);
    const int channels = alpha ? 4 : 3;
    for (int p = 0; p < 4; ++p) pixels[size_t(p * channels)] = (unsigned char)marker;
    return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

// A working folder with data/textures/ holding a marked picture for every distinct file (the
// marker is the file's first load number), entered for the test's lifetime.
class TextureFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openTestGlContext());
        forgetTextures();  // the context's pictures are not this folder's: load them anew
        char pattern[] = "/tmp/kestraneTexturesXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        fs::create_directories(folder / "data/textures/intro");
        const auto loads = expectedLoads();
        for (size_t i = 0; i < loads.size(); ++i) {
            if (markers.count(loads[i].file)) continue;
            markers[loads[i].file] = int(i);
            ASSERT_TRUE(writeMarkedPng(folder / loads[i].file, int(i), i % 2 == 0));
        }
        previous = fs::current_path();
        fs::current_path(folder);
    }
    void TearDown() override {
        forgetTextures();  // nor are these marked pictures what later start-ups must keep
        if (!previous.empty()) fs::current_path(previous);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    static int markerOf(unsigned int texture) {
        if (!texture) return -1;
        unsigned char pixels[2 * 2 * 4] = {};
        glBindTexture(GL_TEXTURE_2D, texture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
#ifdef KESTRANE_GLES
        // ES reads a texture back through a framebuffer that has it as its colour.
        GLuint framebuffer = 0;
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
#else
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
#endif
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        return pixels[0];
    }
    fs::path folder, previous;
    std::map<std::string, int> markers;
};

}  // namespace

TEST(TextureCatalogue, FileTableFollowsTheLoadOrder) {
    const auto loads = expectedLoads();
    ASSERT_EQ(loads.size(), size_t(TEXTURE_LOAD_COUNT));
    for (int i = 0; i < TEXTURE_LOAD_COUNT; ++i) EXPECT_EQ(textureFiles[i], loads[size_t(i)].file) << i;
}

TEST_F(TextureFolder, AllPresentGivesDistinctNamesInTheirSlots) {
    loadTextures();
    std::set<unsigned int> names;
    for (const Load& load : expectedLoads()) {
        SCOPED_TRACE(load.file);
        EXPECT_NE(*load.slot, 0u);
        names.insert(*load.slot);
        EXPECT_EQ(markerOf(*load.slot), markers[load.file]);
        // Both wrap modes and both filters of the slot's own texture.
        glBindTexture(GL_TEXTURE_2D, *load.slot);
        const GLenum parameters[4] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MIN_FILTER,
                                      GL_TEXTURE_MAG_FILTER};
        const GLint expected[4] = {GL_REPEAT, GL_REPEAT, GL_NEAREST, GL_NEAREST};
        for (int k = 0; k < 4; ++k) {
            GLint value = 0;
            glGetTexParameteriv(GL_TEXTURE_2D, parameters[k], &value);
            EXPECT_EQ(value, expected[k]) << "parameter 0x" << std::hex << parameters[k];
        }
    }
    EXPECT_EQ(names.size(), size_t(TEXTURE_LOAD_COUNT));  // the two particle slots included
    EXPECT_NE(sceneTextures[texParticle], sceneTextures[texParticle2]);
}

TEST_F(TextureFolder, MissingAndBrokenFilesLeaveOnlyTheirSlotEmpty) {
    fs::remove("data/textures/water.png");
    // A picture cut short after its signature.
    FILE* broken = fopen("data/textures/intro/5_mask.png", "wb");
    ASSERT_NE(broken, nullptr);
    fwrite("\x89PNG\r\n\x1a\n", 1, 8, broken);
    fclose(broken);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    loadTextures();
    const std::string printed =
        testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "");  // missing pictures are silent
    EXPECT_EQ(sceneTextures[texWater], 0u);
    EXPECT_EQ(layerMasks[4], 0u);
    for (const Load& load : expectedLoads()) {
        if (load.slot == &sceneTextures[texWater] || load.slot == &layerMasks[4]) continue;
        SCOPED_TRACE(load.file);
        EXPECT_EQ(markerOf(*load.slot), markers[load.file]);
    }
}
