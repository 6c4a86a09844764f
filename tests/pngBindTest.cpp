// pngBindTest.cpp
// pngBind and decodePng over the whole PngSuite: every valid file loads as RGB or RGBA exactly as
// its colour type and tRNS chunk say, interlaced files decode like their plain twins, and every
// corrupt, truncated, empty or missing file gives 0 with no texture left behind and nothing
// printed.
#include <gtest/gtest.h>

#include <dirent.h>
#include <png.h>
#include <unistd.h>
#include "glLayer/glLayer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "platform/platform.h"
#include "tests/glTestContext.h"

namespace {

const std::string suite = std::string(KESTRANE_TESTDATA_DIR) + "/pngsuite/";

std::vector<std::string> suiteFiles() {
    std::vector<std::string> names;
    if (DIR* dir = opendir(suite.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

std::vector<unsigned char> readBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (FILE* file = fopen(path.c_str(), "rb")) {
        int c;
        while ((c = fgetc(file)) != EOF) bytes.push_back((unsigned char)c);
        fclose(file);
    }
    return bytes;
}

uint32_t bigEndian(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// What the file itself says, read from its chunks without libpng.
struct Header {
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    bool hasTrns = false;
};
Header readHeader(const std::vector<unsigned char>& bytes) {
    Header h;
    for (size_t at = 8; at + 8 <= bytes.size();) {
        const uint32_t length = bigEndian(&bytes[at]);
        const std::string type(bytes.begin() + long(at) + 4, bytes.begin() + long(at) + 8);
        if (type == "IHDR" && at + 21 <= bytes.size()) {
            h.width = bigEndian(&bytes[at + 8]);
            h.height = bigEndian(&bytes[at + 12]);
            h.bitDepth = bytes[at + 16];
            h.colourType = bytes[at + 17];
        }
        if (type == "tRNS") h.hasTrns = true;
        at += size_t(length) + 12;
    }
    return h;
}

const int repeatWrap = GL_REPEAT;

unsigned bindPicture(const std::string& path, pngInfo* info = nullptr) {
    pngInfo scratch;
    return pngBind(path.c_str(), PNG_BUILDMIPMAPS, PNG_ALPHA, info ? info : &scratch, repeatWrap, GL_NEAREST,
                   GL_NEAREST);
}

std::string tempPath(const std::string& name) {
    // Made once per process and removed with everything in it when the process ends.
    struct TempFolder {
        std::string path;
        TempFolder() {
            char pattern[] = "/tmp/kestranePngXXXXXX";
            if (mkdtemp(pattern)) path = pattern;
        }
        ~TempFolder() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove_all(path, ignored);
        }
    };
    static TempFolder temp;
    const std::string& folder = temp.path;
    return folder + "/" + name;
}

void writeBytes(const std::string& path, const unsigned char* bytes, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    if (size) fwrite(bytes, 1, size, file);
    fclose(file);
}

// Runs load() and reports whether it left a texture name behind: a load that fails must use no
// name, so the next generated name is the one that would have come without it.
bool loadLeavesNoName(const std::function<unsigned()>& load) {
    GLuint first = 0, second = 0, third = 0, fourth = 0;
    glGenTextures(1, &first);
    glDeleteTextures(1, &first);
    glGenTextures(1, &second);  // how this GL hands out names after a deletion
    glDeleteTextures(1, &second);
    const unsigned result = load();
    glGenTextures(1, &third);
    glDeleteTextures(1, &third);
    glGenTextures(1, &fourth);
    glDeleteTextures(1, &fourth);
    return result == 0 && third - second == second - first && fourth - third == second - first;
}

// Captures what a call writes on standard output and standard error.
std::string capturedOutput(const std::function<void()>& call) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    call();
    return testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
}

}  // namespace

TEST(PngBind, EveryValidSuiteFileLoadsWithTheRightChannels) {
    ASSERT_TRUE(openTestGlContext());
    const auto names = suiteFiles();
    ASSERT_GT(names.size(), 150u);
    int loaded = 0;
    for (const std::string& name : names) {
        if (name[0] == 'x') continue;
        SCOPED_TRACE(name);
        const Header header = readHeader(readBytes(suite + name));
        const bool alpha = (header.colourType & 4) != 0 || header.hasTrns;
        pngInfo info = {};
        const unsigned texture = bindPicture(suite + name, &info);
        ASSERT_NE(texture, 0u);
        ++loaded;
        EXPECT_EQ(info.Width, header.width);
        EXPECT_EQ(info.Height, header.height);
        EXPECT_EQ(info.Depth, unsigned(header.bitDepth));
        EXPECT_EQ(info.Alpha, alpha ? 8u : 0u);
        GLint bound = 0, alphaBits = -1, redBits = 0, wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(GLuint(bound), texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &redBits);
        EXPECT_EQ(alphaBits > 0, alpha);
        EXPECT_GT(redBits, 0);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_EQ(wrapS, GL_REPEAT);
        EXPECT_EQ(wrapT, GL_REPEAT);
        EXPECT_EQ(minFilter, GL_NEAREST);
        EXPECT_EQ(magFilter, GL_NEAREST);
        // The whole mipmap chain exists down to 1x1 (sizes scaled to powers of two).
        GLint level = 0, width = 1, height = 1;
        for (;; ++level) {
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
            if ((width <= 1 && height <= 1) || width == 0 || level > 16) break;
        }
        EXPECT_EQ(width, 1);
        EXPECT_EQ(height, 1);
        glDeleteTextures(1, &texture);
    }
    EXPECT_GT(loaded, 140);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(PngBind, CorruptSuiteFilesFailSilentlyWithoutTextures) {
    ASSERT_TRUE(openTestGlContext());
    int corrupt = 0;
    for (const std::string& name : suiteFiles()) {
        if (name[0] != 'x') continue;
        SCOPED_TRACE(name);
        ++corrupt;
        std::string printed;
        bool clean = false;
        printed =
            capturedOutput([&] { clean = loadLeavesNoName([&] { return bindPicture(suite + name); }); });
        EXPECT_TRUE(clean);
        EXPECT_EQ(printed, "");
    }
    EXPECT_GE(corrupt, 14);
}

TEST(PngBind, MissingEmptyAndTruncatedFilesGiveZero) {
    ASSERT_TRUE(openTestGlContext());
    const auto whole = readBytes(suite + "basn6a08.png");
    ASSERT_GT(whole.size(), 100u);
    writeBytes(tempPath("empty.png"), nullptr, 0);
    std::vector<std::string> paths = {tempPath("missing.png"), tempPath("empty.png"), tempPath("")};
    // Cut before the image data, inside it, and just before the final chunk.
    for (size_t cut : {size_t(8), size_t(40), whole.size() / 2, whole.size() - 12, whole.size() - 1}) {
        const std::string path = tempPath("cut" + std::to_string(cut) + ".png");
        writeBytes(path, whole.data(), cut);
        paths.push_back(path);
    }
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        bool clean = false;
        const std::string printed =
            capturedOutput([&] { clean = loadLeavesNoName([&] { return bindPicture(path); }); });
        EXPECT_TRUE(clean);
        EXPECT_EQ(printed, "");
    }
    EXPECT_EQ(pngBind(nullptr, PNG_BUILDMIPMAPS, PNG_ALPHA, nullptr, GL_REPEAT, GL_NEAREST, GL_NEAREST), 0u);
}

TEST(PngBind, OptionsForOneLevelAndDroppedAlpha) {
    ASSERT_TRUE(openTestGlContext());
    pngInfo info = {};
    const unsigned texture =
        pngBind((suite + "basn6a08.png").c_str(), 0, -1, &info, GL_CLAMP_TO_EDGE, GL_LINEAR, GL_NEAREST);
    ASSERT_NE(texture, 0u);
    EXPECT_EQ(info.Alpha, 0u);
    GLint alphaBits = -1, wrapS = 0, minFilter = 0, width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &width);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(alphaBits, 0);
    EXPECT_EQ(width, 0);  // no second level
    EXPECT_EQ(wrapS, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(minFilter, GL_LINEAR);
    glDeleteTextures(1, &texture);
}

TEST(DecodePng, InterlacedFilesMatchTheirPlainTwins) {
    int pairs = 0;
    for (const std::string& name : suiteFiles()) {
        if (name.size() < 4 || name[3] != 'i' || name[0] == 'x') continue;
        std::string plain = name;
        plain[3] = 'n';
        const auto a = readBytes(suite + name), b = readBytes(suite + plain);
        if (b.empty()) continue;
        SCOPED_TRACE(name);
        unsigned char *pa = nullptr, *pb = nullptr;
        unsigned wa = 0, ha = 0, wb = 0, hb = 0;
        bool alphaA = false, alphaB = false;
        ASSERT_TRUE(decodePng(a.data(), a.size(), &pa, &wa, &ha, &alphaA));
        ASSERT_TRUE(decodePng(b.data(), b.size(), &pb, &wb, &hb, &alphaB));
        ASSERT_EQ(wa, wb);
        ASSERT_EQ(ha, hb);
        ASSERT_EQ(alphaA, alphaB);
        EXPECT_EQ(memcmp(pa, pb, size_t(wa) * ha * (alphaA ? 4 : 3)), 0);
        free(pa);
        free(pb);
        ++pairs;
    }
    EXPECT_GE(pairs, 25);
}

TEST(DecodePng, ExpansionGivesEightBitChannels) {
    struct Probe {
        const char* name;
        bool alpha;
        size_t pixel;  // row-major index
        unsigned char expected[4];
        size_t firstChannel;  // channels before it are not compared
    };
    // 1-bit grey, 2-bit palette, 16-bit colour and 16-bit grey+alpha (their high bytes), and a
    // palette with tRNS whose first pixel is fully transparent.
    const Probe probes[] = {
        {"basn0g01.png", false, 0, {255, 255, 255, 0}, 0},
        {"basn3p02.png", false, 5 * 32 + 20, {0, 0, 255, 0}, 0},
        {"basn2c16.png", false, 5 * 32 + 20, {0x5A, 0xD6, 0, 0}, 0},
        {"basn4a16.png", true, 5 * 32 + 20, {0x92, 0x92, 0x92, 0x52}, 0},
        {"tbbn3p08.png", true, 0, {0, 0, 0, 0}, 3},
    };
    for (const Probe& probe : probes) {
        SCOPED_TRACE(probe.name);
        const auto bytes = readBytes(suite + probe.name);
        unsigned char* pixels = nullptr;
        unsigned width = 0, height = 0;
        bool alpha = false;
        ASSERT_TRUE(decodePng(bytes.data(), bytes.size(), &pixels, &width, &height, &alpha));
        EXPECT_EQ(alpha, probe.alpha);
        const size_t channels = alpha ? 4 : 3;
        for (size_t c = probe.firstChannel; c < channels; ++c)
            EXPECT_EQ(pixels[probe.pixel * channels + c], probe.expected[c]) << c;
        free(pixels);
    }
    // A grey file comes out with three equal channels.
    const auto grey = readBytes(suite + "basn0g16.png");
    unsigned char* pixels = nullptr;
    unsigned width = 0, height = 0;
    bool alpha = true;
    ASSERT_TRUE(decodePng(grey.data(), grey.size(), &pixels, &width, &height, &alpha));
    EXPECT_FALSE(alpha);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        ASSERT_EQ(pixels[i * 3], pixels[i * 3 + 1]);
        ASSERT_EQ(pixels[i * 3], pixels[i * 3 + 2]);
    }
    free(pixels);
}

TEST(DecodePng, HighlyCompressedPicturesPassTheSizeCheck) {
    // A flat 4096x4096 picture compresses about a thousandfold, near the limit the decoder
    // checks header sizes against, and must still decode.
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = 4096;
    image.height = 4096;
    image.format = PNG_FORMAT_GRAY;
    std::vector<unsigned char> flat(size_t(4096) * 4096, 0);
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, flat.data(), 0, nullptr));
    std::vector<unsigned char> file(size);
    ASSERT_TRUE(png_image_write_to_memory(&image, file.data(), &size, 0, flat.data(), 0, nullptr));
    unsigned char* pixels = nullptr;
    unsigned width = 0, height = 0;
    bool alpha = true;
    ASSERT_TRUE(decodePng(file.data(), size, &pixels, &width, &height, &alpha));
    EXPECT_EQ(width, 4096u);
    EXPECT_FALSE(alpha);
    EXPECT_EQ(pixels[size_t(4096) * 4096 * 3 - 1], 0);
    free(pixels);
}

TEST(PngBind, FilesBeyondAnyPictureAreRefusedUnread) {
    ASSERT_TRUE(openTestGlContext());
    // A device that never ends in a picture's place: refused at its first bytes, no texture.
    const std::string endless = tempPath("zero.png");
    ASSERT_EQ(symlink("/dev/zero", endless.c_str()), 0);
    bool clean = false;
    const std::string printed =
        capturedOutput([&] { clean = loadLeavesNoName([&] { return bindPicture(endless); }); });
    EXPECT_TRUE(clean);
    EXPECT_EQ(printed, "");

    // A good picture followed by zeros after its end loads while the file stays within 64 MiB,
    // and is refused, with no texture, once the file passes it.
    const auto picture = readBytes(suite + "basn6a08.png");
    ASSERT_GT(picture.size(), 100u);
    const off_t limit = off_t(64) << 20;
    for (off_t size : {limit, limit + 1}) {
        SCOPED_TRACE(size);
        const std::string path = tempPath("padded" + std::to_string(size) + ".png");
        writeBytes(path, picture.data(), picture.size());
        ASSERT_EQ(truncate(path.c_str(), size), 0);  // sparse: costs no disk space
        const unsigned name = bindPicture(path);
        if (size == limit) {
            EXPECT_NE(name, 0u);
            glDeleteTextures(1, &name);
        } else {
            EXPECT_TRUE(loadLeavesNoName([&] { return bindPicture(path); }));
        }
    }
}
