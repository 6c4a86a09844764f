// generatedDataTest.cpp
// The generated data as the demo meets it: every catalogued picture loads through pngBind with
// the kind and size its drawing needs, masks match their pictures, overlay ink stays on screen,
// surfaces tile, sprites fade out before their edges, the model reads as a closed, outward-wound,
// smooth mesh, and the generator gives identical bytes on every run and fails cleanly.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "geometry/geometry.h"
#include "platform/platform.h"
#include "tests/glTestContext.h"

namespace fs = std::filesystem;

namespace {

const std::string dataDir = std::string(KESTRANE_SOURCE_DIR) + "/data";
const std::string generator = std::string(KESTRANE_BINARY_DIR) + "/tools/datagen/kestrane-datagen";

// What each file must be: RGBA for pictures that are added, RGB for masks and surfaces.
struct Expected {
    const char* file;  // under data/textures/
    bool alpha;
};

std::vector<Expected> expectedFiles() {
    std::vector<Expected> files = {{"particle.png", false},
                                   {"water.png", false},
                                   {"part4.png", false},
                                   {"checker.png", false},
                                   {"tunnel.png", false},
                                   {"acid02.png", false},
                                   {"pinkdot.png", true},
                                   {"overlay.png", true},
                                   {"stars.png", false},
                                   {"twirl.png", true},
                                   {"vel_kestrane_mask.png", false},
                                   {"vel_kestrane.png", true},
                                   {"dot_sprite.png", true},
                                   {"dot_mask.png", false},
                                   {"same_kestrane.png", true},
                                   {"same_kestrane_mask.png", false},
                                   {"e_sprite.png", true},
                                   {"e_mask.png", false},
                                   {"vel_logo.png", true},
                                   {"dot_sprite2.png", true},
                                   {"dot_sprite3.png", true},
                                   {"font.png", true},
                                   {"keep_layer.png", true},
                                   {"keep_mask.png", false},
                                   {"meanwhile_layer.png", true},
                                   {"meanwhile_mask.png", false},
                                   {"scroller_layer.png", true},
                                   {"scroller_mask.png", false}};
    static std::vector<std::string> introNames;
    if (introNames.empty())
        for (int n = 1; n <= 12; ++n) {
            introNames.push_back("intro/" + std::to_string(n) + "_layer.png");
            introNames.push_back("intro/" + std::to_string(n) + "_mask.png");
        }
    for (size_t i = 0; i < introNames.size(); ++i) files.push_back({introNames[i].c_str(), i % 2 == 0});
    return files;
}

bool isPowerOfTwo(unsigned v) { return v != 0 && (v & (v - 1)) == 0; }

// The size a picture's use asks for (see the catalogue's drawing code): full-frame overlays
// 1024x512, the scroller strip 2048x256, billboard sprites small squares, the surfaces of
// spheres, floors and tubes 512 to 1024 a side.
void expectSizeForUse(const std::string& file, unsigned width, unsigned height) {
    SCOPED_TRACE(file);
    EXPECT_TRUE(isPowerOfTwo(width) && isPowerOfTwo(height));
    const bool scroller = file.rfind("scroller", 0) == 0;
    const bool overlay = file.rfind("intro/", 0) == 0 || file.find("kestrane") != std::string::npos ||
                         file.rfind("keep", 0) == 0 || file.rfind("meanwhile", 0) == 0 ||
                         file == "vel_logo.png" || file == "overlay.png";
    const bool sprite = file.find("sprite") != std::string::npos || file.rfind("e_", 0) == 0 ||
                        file.rfind("dot_", 0) == 0 || file == "pinkdot.png" || file == "particle.png" ||
                        file == "part4.png";
    if (scroller) {
        EXPECT_EQ(width, 2048u);
        EXPECT_EQ(height, 256u);
    } else if (overlay) {
        EXPECT_EQ(width, 1024u);
        EXPECT_EQ(height, 512u);
    } else if (sprite) {
        EXPECT_EQ(width, height);
        EXPECT_GE(width, 64u);
        EXPECT_LE(width, 256u);
    } else if (file != "font.png") {
        EXPECT_GE(std::min(width, height), 512u);
        EXPECT_LE(std::max(width, height), 1024u);
    }
}

struct Pixels {
    unsigned width = 0, height = 0;
    bool alpha = false;
    std::vector<unsigned char> bytes;

    const unsigned char* at(unsigned x, unsigned y) const {
        return &bytes[(size_t(y) * width + x) * (alpha ? 4 : 3)];
    }
    unsigned alphaAt(unsigned x, unsigned y) const { return alpha ? at(x, y)[3] : 255; }
    unsigned greyAt(unsigned x, unsigned y) const { return (at(x, y)[0] + at(x, y)[1] + at(x, y)[2]) / 3; }
};

bool loadPixels(const std::string& path, Pixels& out) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    unsigned char* pixels = nullptr;
    if (bytes.empty() || !decodePng(bytes.data(), bytes.size(), &pixels, &out.width, &out.height, &out.alpha))
        return false;
    out.bytes.assign(pixels, pixels + size_t(out.width) * out.height * (out.alpha ? 4 : 3));
    free(pixels);
    return true;
}

std::string texture(const std::string& file) { return dataDir + "/textures/" + file; }

}  // namespace

TEST(GeneratedData, EveryCataloguedFileIsGeneratedAndLoadsThroughPngBindWithItsKind) {
    std::map<std::string, bool> expected;
    for (const Expected& e : expectedFiles()) expected[e.file] = e.alpha;
    ASSERT_EQ(expected.size(), 52u);
    std::set<std::string> loaded;
    for (const char* path : textureFiles) {
        ASSERT_NE(path, nullptr);
        const std::string name = std::string(path).substr(std::string("data/textures/").size());
        EXPECT_EQ(expected.count(name), 1u) << "the catalogue loads " << path << ", which no test expects";
        loaded.insert(name);
    }
    EXPECT_EQ(loaded.size(), 52u);  // 53 loads, particle.png twice

    ASSERT_TRUE(openTestGlContext());
    for (const auto& [name, alpha] : expected) {
        SCOPED_TRACE(name);
        pngInfo info = {};
        const unsigned texture = pngBind(::texture(name).c_str(), PNG_BUILDMIPMAPS, PNG_ALPHA, &info,
                                         GL_REPEAT, GL_NEAREST, GL_NEAREST);
        ASSERT_NE(texture, 0u) << "missing or undecodable";
        EXPECT_EQ(info.Alpha, alpha ? 8u : 0u) << (alpha ? "expected RGBA" : "expected RGB");
        EXPECT_EQ(info.Depth, 8u);
        expectSizeForUse(name, info.Width, info.Height);
        glDeleteTextures(1, &texture);
    }
}

// A mask is white where its picture adds nothing, and dark under the picture's solid ink, so the
// ink reads over any scene.
TEST(GeneratedData, MasksAreLightWherePicturesAreTransparentAndDarkUnderTheirInk) {
    std::vector<std::pair<std::string, std::string>> pairs = {{"keep_layer.png", "keep_mask.png"},
                                                              {"meanwhile_layer.png", "meanwhile_mask.png"},
                                                              {"scroller_layer.png", "scroller_mask.png"},
                                                              {"vel_kestrane.png", "vel_kestrane_mask.png"},
                                                              {"same_kestrane.png", "same_kestrane_mask.png"},
                                                              {"dot_sprite.png", "dot_mask.png"},
                                                              {"e_sprite.png", "e_mask.png"}};
    for (int n = 1; n <= 12; ++n)
        pairs.push_back(
            {"intro/" + std::to_string(n) + "_layer.png", "intro/" + std::to_string(n) + "_mask.png"});
    for (const auto& [pictureName, maskName] : pairs) {
        SCOPED_TRACE(pictureName);
        Pixels picture, mask;
        ASSERT_TRUE(loadPixels(texture(pictureName), picture));
        ASSERT_TRUE(loadPixels(texture(maskName), mask));
        ASSERT_TRUE(picture.alpha);
        ASSERT_EQ(picture.width, mask.width);
        ASSERT_EQ(picture.height, mask.height);
        size_t transparent = 0, lightWhereTransparent = 0, solid = 0, darkUnderSolid = 0;
        for (unsigned y = 0; y < picture.height; ++y) {
            for (unsigned x = 0; x < picture.width; ++x) {
                const unsigned a = picture.alphaAt(x, y), m = mask.greyAt(x, y);
                if (a == 0) {
                    ++transparent;
                    lightWhereTransparent += m >= 235;
                } else if (a >= 230) {
                    ++solid;
                    darkUnderSolid += m <= 80;
                }
            }
        }
        EXPECT_EQ(lightWhereTransparent, transparent);
        ASSERT_GT(solid, 0u);
        EXPECT_GE(darkUnderSolid * 10, solid * 9) << "the mask must cut out the frame under the ink";
    }
}

// The overlay quad shows only columns 0..799 of a 1024-wide picture, and the letterbox bar
// covers rows 0..79; the scroller's text must run across its whole strip.
TEST(GeneratedData, OverlayInkStaysOnScreenAndTheScrollerSpansItsStrip) {
    std::vector<std::string> overlays = {"keep_layer.png", "meanwhile_layer.png", "vel_logo.png"};
    for (int n = 1; n <= 12; ++n) overlays.push_back("intro/" + std::to_string(n) + "_layer.png");
    for (const std::string& name : overlays) {
        SCOPED_TRACE(name);
        Pixels picture;
        ASSERT_TRUE(loadPixels(texture(name), picture));
        size_t inkOnScreen = 0, inkOffScreen = 0;
        for (unsigned y = 0; y < picture.height; ++y)
            for (unsigned x = 0; x < picture.width; ++x)
                if (picture.alphaAt(x, y) > 25) (x < 800 && y >= 80 ? inkOnScreen : inkOffScreen)++;
        EXPECT_GT(inkOnScreen, 2000u);
        EXPECT_EQ(inkOffScreen, 0u);
    }
    Pixels scroller;
    ASSERT_TRUE(loadPixels(texture("scroller_layer.png"), scroller));
    unsigned first = scroller.width, last = 0;
    for (unsigned y = 0; y < scroller.height; ++y)
        for (unsigned x = 0; x < scroller.width; ++x)
            if (scroller.alphaAt(x, y) > 200) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    EXPECT_LT(first, 200u);
    EXPECT_GT(last, 1848u);
}

// Surfaces repeat on spheres, floors and tubes: the step across the wrap seam is no larger than
// the picture's usual step between neighbouring columns (or rows).
TEST(GeneratedData, SurfacesTileWithoutVisibleSeams) {
    for (const char* name : {"water.png", "acid02.png", "stars.png", "checker.png", "tunnel.png"}) {
        SCOPED_TRACE(name);
        Pixels p;
        ASSERT_TRUE(loadPixels(texture(name), p));
        auto columnStep = [&](unsigned a, unsigned b) {
            double sum = 0;
            for (unsigned y = 0; y < p.height; ++y)
                sum += std::abs(int(p.greyAt(a, y)) - int(p.greyAt(b, y)));
            return sum / p.height;
        };
        auto rowStep = [&](unsigned a, unsigned b) {
            double sum = 0;
            for (unsigned x = 0; x < p.width; ++x) sum += std::abs(int(p.greyAt(x, a)) - int(p.greyAt(x, b)));
            return sum / p.width;
        };
        // The seam may be as sharp as the sharpest step inside (a checker's square edge) but no
        // sharper: a picture that does not tile jumps there by far more than anywhere else.
        double steepestColumn = 0, steepestRow = 0;
        for (unsigned x = 0; x + 1 < p.width; ++x)
            steepestColumn = std::max(steepestColumn, columnStep(x, x + 1));
        for (unsigned y = 0; y + 1 < p.height; ++y) steepestRow = std::max(steepestRow, rowStep(y, y + 1));
        EXPECT_LE(columnStep(p.width - 1, 0), steepestColumn * 1.1 + 1.0);
        if (std::string(name) != "stars.png") {  // the dome's top and bottom rows are its poles
            EXPECT_LE(rowStep(p.height - 1, 0), steepestRow * 1.1 + 1.0);
        }
    }
}

TEST(GeneratedData, SpritesVanishAtTheirBorders) {
    for (const char* name :
         {"particle.png", "pinkdot.png", "dot_sprite.png", "dot_sprite2.png", "dot_sprite3.png",
          "e_sprite.png", "twirl.png", "part4.png", "dot_mask.png", "e_mask.png"}) {
        SCOPED_TRACE(name);
        Pixels p;
        ASSERT_TRUE(loadPixels(texture(name), p));
        const bool white =
            std::string(name) == "part4.png" || std::string(name).find("mask") != std::string::npos;
        unsigned worst = 0;
        for (unsigned i = 0; i < p.width; ++i) {
            for (const auto& [x, y] :
                 {std::pair<unsigned, unsigned>{i, 0}, {i, p.height - 1}, {0, i}, {p.width - 1, i}}) {
                const unsigned value =
                    p.alpha ? p.alphaAt(x, y) : (white ? 255 - p.greyAt(x, y) : p.greyAt(x, y));
                worst = std::max(worst, value);
            }
        }
        EXPECT_LE(worst, 2u);
        const unsigned centre =
            p.alpha ? p.alphaAt(p.width / 2, p.height / 2) : p.greyAt(p.width / 2, p.height / 2);
        if (std::string(name) != "e_sprite.png" && std::string(name) != "dot_sprite2.png") {  // open centres
            EXPECT_TRUE(white ? centre < 100 : centre > 150);
        }
    }
}

namespace {

// Counts taken from the text itself, independent of the reader.
struct ObjText {
    unsigned positions = 0, texcoords = 0, normals = 0, triangles = 0, triangleFaces = 0, quadFaces = 0;
    std::set<std::string> groups;
    size_t longestToken = 0;
    bool everyCornerFull = true;  // v/vt/vn
};

ObjText scanObj(const std::string& path) {
    ObjText scan;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        std::string key, token;
        in >> key;
        scan.longestToken = std::max(scan.longestToken, key.size());
        std::vector<std::string> rest;
        while (in >> token) {
            rest.push_back(token);
            scan.longestToken = std::max(scan.longestToken, token.size());
        }
        if (key == "v") ++scan.positions;
        if (key == "vt") ++scan.texcoords;
        if (key == "vn") ++scan.normals;
        if (key == "g" && !rest.empty()) scan.groups.insert(rest[0]);
        if (key == "f") {
            scan.triangles += unsigned(rest.size()) - 2;
            scan.triangleFaces += rest.size() == 3;
            scan.quadFaces += rest.size() == 4;
            for (const std::string& corner : rest) {
                int a, b, c;
                char extra;
                if (std::sscanf(corner.c_str(), "%d/%d/%d%c", &a, &b, &c, &extra) != 3)
                    scan.everyCornerFull = false;
            }
        }
    }
    return scan;
}

}  // namespace

TEST(GeneratedData, ModelReadsAsAClosedOutwardSmoothMesh) {
    const std::string path = dataDir + "/3d/deformed2.obj";
    const ObjText text = scanObj(path);
    EXPECT_LE(text.longestToken, 127u);
    EXPECT_TRUE(text.everyCornerFull);
    EXPECT_GT(text.triangleFaces, 0u);
    EXPECT_GT(text.quadFaces, 0u);
    EXPECT_GE(text.groups.size(), 2u);
    EXPECT_EQ(text.normals, text.positions);

    ObjModel model = {};
    ASSERT_TRUE(readObjModel(model, path.c_str()));
    EXPECT_EQ(model.vertexCount, text.positions);
    EXPECT_EQ(model.texcoordCount, text.texcoords);
    EXPECT_EQ(model.triangleCount, text.triangles);
    EXPECT_GE(model.triangleCount, 2000u);
    EXPECT_LE(model.triangleCount, 8000u);
    std::set<std::string> named;
    uint32_t grouped = 0;
    for (const ObjGroup* g = model.groups; g; g = g->next) {
        if (g->triangleCount > 0) named.insert(g->name);
        grouped += g->triangleCount;
    }
    EXPECT_EQ(named, text.groups);
    EXPECT_EQ(grouped, model.triangleCount);

    // Closed and consistently wound: every directed edge appears once and its reverse once.
    std::map<std::pair<int, int>, int> edges;
    double volume = 0.0;
    for (uint32_t t = 0; t < model.triangleCount; ++t) {
        const ObjTriangle& tri = model.triangles[t];
        ASSERT_TRUE(isTriangleDrawable(model, tri));
        for (int k = 0; k < 3; ++k) ++edges[{tri.vertex[k], tri.vertex[(k + 1) % 3]}];
        const Vec3 a = model.vertices[tri.vertex[0]], b = model.vertices[tri.vertex[1]],
                   c = model.vertices[tri.vertex[2]];
        volume +=
            (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x)) /
            6.0;
    }
    size_t unmatched = 0;
    for (const auto& [edge, count] : edges)
        unmatched += count != 1 || edges.count({edge.second, edge.first}) != 1;
    EXPECT_EQ(unmatched, 0u);
    EXPECT_GT(volume, 1.0) << "counter-clockwise faces enclose a positive volume";

    // Normals as the demo computes them: finite, unit length, and changing gently between the
    // ends of every edge (the sphere map shows any crease).
    float largest = 0.0f;
    for (uint32_t i = 1; i <= model.vertexCount; ++i) {
        const Vec3 n = model.normals[i], p = model.vertices[i];
        ASSERT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z)) << "vertex " << i;
        EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0f, 1e-4f) << "vertex " << i;
        largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    }
    EXPECT_GT(largest, 1.0f);
    EXPECT_LT(largest, 6.0f);
    float sharpest = 1.0f;
    for (const auto& [edge, count] : edges) {
        const Vec3 a = model.normals[edge.first], b = model.normals[edge.second];
        sharpest = std::min(sharpest, a.x * b.x + a.y * b.y + a.z * b.z);
    }
    EXPECT_GT(sharpest, std::cos(40.0f * 3.14159265f / 180.0f));
}

namespace {

std::map<std::string, std::string> readTree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[fs::relative(entry.path(), root).string()] =
            std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return files;
}

int runGenerator(const std::string& arguments) {
    const int status = std::system((generator + " " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(GeneratedData, GeneratorIsDeterministicAndFailsCleanly) {
    char pattern[] = "/tmp/kestraneDatagenXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    ASSERT_EQ(runGenerator((root / "first").string()), 0);
    ASSERT_EQ(runGenerator((root / "second").string()), 0);
    const auto first = readTree(root / "first"), second = readTree(root / "second");
    EXPECT_EQ(first.size(), 53u);  // 52 pictures and the model, no leftover temporary files
    ASSERT_EQ(first.size(), second.size());
    for (const auto& [name, bytes] : first) {
        ASSERT_EQ(second.count(name), 1u) << name;
        EXPECT_TRUE(bytes == second.at(name)) << name << " differs between runs";
    }

    EXPECT_EQ(runGenerator(""), 2);
    EXPECT_EQ(runGenerator("a b"), 2);
    EXPECT_EQ(runGenerator("--bogus " + (root / "third").string()), 2);
    // A folder that cannot be created: an error and nothing written.
    std::ofstream(root / "plainFile") << "x";
    EXPECT_EQ(runGenerator((root / "plainFile" / "data").string()), 1);
    fs::remove_all(root);
}
