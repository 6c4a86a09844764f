// objReaderTest.cpp
// The OBJ reader on files written to a temporary folder: tokenising, the four face forms, fan
// splitting, groups, and input outside the accepted subset (bad indices, short faces, long tokens,
// binary data, lines of several kinds) that must never read or write outside the model's arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "geometry/geometry.h"

namespace {

std::string tempFolder() {
    // Made once per process and removed with everything in it when the process ends.
    struct TempFolder {
        std::string path;
        TempFolder() {
            char pattern[] = "/tmp/kestraneObjXXXXXX";
            if (mkdtemp(pattern)) path = pattern;
        }
        ~TempFolder() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove_all(path, ignored);
        }
    };
    static TempFolder temp;
    return temp.path;
}

std::string writeTempFile(const std::string& name, const std::string& content) {
    const std::string path = tempFolder() + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (file) {
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
    }
    return path;
}

// Models a case reads, released when the process ends through freeObjModel, so that the leak
// checker of the sanitized build sees anything a reading leaves unreachable.
struct ModelKeeper {
    std::vector<ObjModel> models;
    ~ModelKeeper() {
        for (ObjModel& model : models) freeObjModel(model);
    }
};

// A model read by the case itself, released at the end of the case.
struct OwnedModel {
    ObjModel model = {};
    ~OwnedModel() { freeObjModel(model); }
};

// Reads text as a fresh model.
ObjModel readText(const std::string& text, bool* ok = nullptr) {
    static ModelKeeper keeper;
    ObjModel model = {};
    const bool read = readObjModel(model, writeTempFile("model.obj", text).c_str());
    if (ok) *ok = read;
    keeper.models.push_back(model);
    return model;
}

std::vector<std::string> groupNames(const ObjModel& model) {
    std::vector<std::string> names;
    for (const ObjGroup* g = model.groups; g; g = g->next) names.push_back(g->name);
    return names;
}

std::vector<std::vector<int>> triangleVertices(const ObjModel& model) {
    std::vector<std::vector<int>> result;
    for (uint32_t i = 0; i < model.triangleCount; ++i) {
        const ObjTriangle& t = model.triangles[i];
        result.push_back({t.vertex[0], t.vertex[1], t.vertex[2]});
    }
    return result;
}

// The structural promises: every group index addresses a triangle, and each triangle is listed
// at most once.
::testing::AssertionResult isConsistent(const ObjModel& model) {
    std::vector<int> listed(model.triangleCount, 0);
    for (const ObjGroup* g = model.groups; g; g = g->next) {
        for (uint32_t k = 0; k < g->triangleCount; ++k) {
            if (g->triangleIndices[k] >= model.triangleCount)
                return ::testing::AssertionFailure()
                       << "group " << g->name << " lists triangle " << g->triangleIndices[k];
            if (++listed[g->triangleIndices[k]] > 1)
                return ::testing::AssertionFailure() << "triangle listed twice";
        }
    }
    if (model.groups && std::string(groupNames(model).back()) != "default")
        return ::testing::AssertionFailure() << "\"default\" is not last";
    return ::testing::AssertionSuccess();
}

const char* const square = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 2 0\n";

}  // namespace

TEST(ObjReader, SingleFaceGoesToTheDefaultGroup) {
    bool ok = false;
    ObjModel model = readText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(model.vertexCount, 3u);
    EXPECT_EQ(model.texcoordCount, 0u);
    EXPECT_EQ(model.texcoords, nullptr);
    ASSERT_EQ(model.triangleCount, 1u);
    EXPECT_EQ(groupNames(model), std::vector<std::string>{"default"});
    EXPECT_EQ(model.groups->triangleCount, 1u);
    EXPECT_EQ(model.groups->triangleIndices[0], 0u);
    EXPECT_EQ(triangleVertices(model), (std::vector<std::vector<int>>{{1, 2, 3}}));
    EXPECT_FLOAT_EQ(model.vertices[2].x, 1.0f);
    EXPECT_FLOAT_EQ(model.vertices[3].y, 1.0f);
}

TEST(ObjReader, PolygonsBecomeFansAcrossLineEnds) {
    ObjModel model = readText(std::string(square) + "f 1 2 3 4 5\n");
    EXPECT_EQ(triangleVertices(model), (std::vector<std::vector<int>>{{1, 2, 3}, {1, 3, 4}, {1, 4, 5}}));
    // Numbers on the next line still belong to the face.
    model = readText(std::string(square) + "f 1 2 3\n4\n5\n");
    EXPECT_EQ(model.triangleCount, 3u);
    EXPECT_EQ(model.groups->triangleCount, 3u);
}

TEST(ObjReader, FaceFormsDecideWhatIsStored) {
    const std::string header = std::string(square) + "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n";
    ObjModel model = readText(header + "f 1/1/1 2/2/1 3/3/1 4/4/1\n");
    ASSERT_EQ(model.triangleCount, 2u);
    EXPECT_EQ(model.texcoordCount, 4u);
    const ObjTriangle& second = model.triangles[1];
    EXPECT_EQ((std::vector<int>{second.texcoord[0], second.texcoord[1], second.texcoord[2]}),
              (std::vector<int>{1, 3, 4}));
    EXPECT_FLOAT_EQ(model.texcoords[3][0], 1.0f);
    EXPECT_FLOAT_EQ(model.texcoords[3][1], 1.0f);

    model = readText(header + "f 1/2 2/3 3/4\n");
    EXPECT_EQ(model.triangles[0].texcoord[2], 4);

    // v//n: vertices only; the texture-coordinate indices hold 0 ("none").
    model = readText(header + "f 1//4 2//5 3//6\n");
    ASSERT_EQ(model.triangleCount, 1u);
    EXPECT_EQ(triangleVertices(model), (std::vector<std::vector<int>>{{1, 2, 3}}));
    for (int j = 0; j < 3; ++j) EXPECT_EQ(model.triangles[0].texcoord[j], 0);
    EXPECT_TRUE(isTriangleDrawable(model, model.triangles[0]));

    model = readText(header + "f 3 4 5\n");
    for (int j = 0; j < 3; ++j) EXPECT_EQ(model.triangles[0].texcoord[j], 0);
}

TEST(ObjReader, GroupsNewestFirstWithDefaultLast) {
    ObjModel model =
        readText(std::string(square) + "g a extra names\nf 1 2 3\ng b\nf 1 3 4\nf 1 4 5\ng a\nf 2 3 4\n");
    EXPECT_EQ(groupNames(model), (std::vector<std::string>{"b", "a", "default"}));
    const ObjGroup* a = findGroup(model, "a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->triangleCount, 2u);
    EXPECT_EQ(a->triangleIndices[0], 0u);
    EXPECT_EQ(a->triangleIndices[1], 3u);
    EXPECT_EQ(findGroup(model, "b")->triangleCount, 2u);
    EXPECT_EQ(findGroup(model, "default")->triangleCount, 0u);
    EXPECT_EQ(findGroup(model, "A"), nullptr);  // names are case-sensitive
    EXPECT_TRUE(isConsistent(model));
}

TEST(ObjReader, OtherKeywordsAndCommentsAreSkipped) {
    ObjModel model = readText(
        "# v 9 9 9 comment\nmtllib x.mtl\no thing\nv 0 0 0\nvp 0.5 0.5\nv 1 0 0\ns 1\nusemtl m\n"
        "v 0 1 0 7\nvt 0.5 0.5 0.0\nvn 0 0 1\nf 1 2 3\n");
    EXPECT_EQ(model.vertexCount, 3u);
    EXPECT_EQ(model.texcoordCount, 1u);
    EXPECT_EQ(model.triangleCount, 1u);
    EXPECT_FLOAT_EQ(model.vertices[3].y, 1.0f);
    EXPECT_FLOAT_EQ(model.texcoords[1][0], 0.5f);
}

TEST(ObjReader, MissingFileLeavesTheModelAlone) {
    OwnedModel owned;
    ObjModel& model = owned.model;
    EXPECT_FALSE(readObjModel(model, "/nonexistent/folder/model.obj"));
    EXPECT_EQ(model.groups, nullptr);
    EXPECT_EQ(model.vertices, nullptr);
    // A model read before keeps everything when a later open fails.
    ASSERT_TRUE(
        readObjModel(model, writeTempFile("kept.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n").c_str()));
    EXPECT_FALSE(readObjModel(model, "/nonexistent/folder/model.obj"));
    EXPECT_EQ(model.triangleCount, 1u);
    EXPECT_EQ(groupNames(model), std::vector<std::string>{"default"});
}

TEST(ObjReader, SecondReadingReplacesTheFirst) {
    OwnedModel owned;
    ObjModel& model = owned.model;
    ASSERT_TRUE(
        readObjModel(model, writeTempFile("first.obj", std::string(square) + "g one\nf 1 2 3 4\n").c_str()));
    ASSERT_TRUE(
        readObjModel(model, writeTempFile("second.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n").c_str()));
    EXPECT_EQ(model.vertexCount, 3u);
    EXPECT_EQ(model.triangleCount, 1u);
    EXPECT_EQ(groupNames(model), std::vector<std::string>{"default"});
    EXPECT_TRUE(isConsistent(model));
}

TEST(ObjReader, RealisticFileWithTexturedQuadsAndGroups) {
    std::string text = "# exported\nmtllib cube.mtl\no cube\n";
    const char* positions[] = {"-1 -1 1",  "1 -1 1",  "1 1 1",  "-1 1 1",
                               "-1 -1 -1", "1 -1 -1", "1 1 -1", "-1 1 -1"};
    for (const char* p : positions) text += std::string("v ") + p + "\n";
    text += "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    text += "vn 0 0 1\nvn 0 0 -1\nvn 1 0 0\nvn -1 0 0\nvn 0 1 0\nvn 0 -1 0\n";
    text += "g front\nusemtl m\ns off\nf 1/1/1 2/2/1 3/3/1 4/4/1\n";
    text += "g back\nf 6/1/2 5/2/2 8/3/2 7/4/2\n";
    text += "g sides\nf 2/1/3 6/2/3 7/3/3 3/4/3\nf 5/1/4 1/2/4 4/3/4 8/4/4\n";
    text += "f 4/1/5 3/2/5 7/3/5 8/4/5\nf 5/1/6 6/2/6 2/3/6 1/4/6\n";
    bool ok = false;
    ObjModel model = readText(text, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(model.vertexCount, 8u);
    EXPECT_EQ(model.texcoordCount, 4u);
    EXPECT_EQ(model.triangleCount, 12u);
    EXPECT_EQ(groupNames(model), (std::vector<std::string>{"sides", "back", "front", "default"}));
    EXPECT_EQ(findGroup(model, "sides")->triangleCount, 8u);
    for (uint32_t i = 0; i < model.triangleCount; ++i)
        EXPECT_TRUE(isTriangleDrawable(model, model.triangles[i])) << i;
    EXPECT_TRUE(isConsistent(model));
    // A closed cube: every corner normal points away from the centre along the diagonal.
    for (uint32_t v = 1; v <= 8; ++v) {
        const Vec3& p = model.vertices[v];
        const Vec3& n = model.normals[v];
        EXPECT_GT(p.x * n.x + p.y * n.y + p.z * n.z, 1.0f) << v;
    }
}

TEST(ObjReader, BadIndicesAreKeptButNeverDrawable) {
    ObjModel model = readText(std::string(square) + "vt 0 0\n" +
                              "f 0 1 2\nf -1 -2 -3\nf 1 2 2147483647\nf 1 2 99999999999\n"
                              "f 1/1 2/1 3/9\nf 1/-1 2/1 3/1\nf 1/1 2/1 3/1\nf 1 2 3\n");
    ASSERT_EQ(model.triangleCount, 8u);
    EXPECT_EQ(model.triangles[0].vertex[0], 0);
    EXPECT_EQ(model.triangles[1].vertex[1], -2);
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(isTriangleDrawable(model, model.triangles[i])) << i;
    EXPECT_TRUE(isTriangleDrawable(model, model.triangles[6]));
    EXPECT_TRUE(isTriangleDrawable(model, model.triangles[7]));  // texcoord 0: none
    EXPECT_TRUE(isConsistent(model));
    ObjModel empty = {};
    EXPECT_FALSE(isTriangleDrawable(empty, model.triangles[7]));
}

TEST(ObjReader, ShortFacesStayInsideTheArrays) {
    // Two corners then a keyword: the third read fails and keeps the second corner's values.
    // "f 1" then reads "f" as its second corner's failure and makes (1, 1, 1); the lone "f" at the
    // end of the file makes nothing.
    ObjModel model = readText(std::string(square) + "f 1 2\nf 3 4 5\nf 1\nf\n");
    ASSERT_EQ(model.triangleCount, 3u);
    EXPECT_EQ(triangleVertices(model)[0], (std::vector<int>{1, 2, 2}));
    EXPECT_EQ(triangleVertices(model)[1], (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(triangleVertices(model)[2], (std::vector<int>{1, 1, 1}));
    EXPECT_TRUE(isConsistent(model));
    // A face cut off by the end of the file.
    model = readText(std::string(square) + "f 1 2");
    EXPECT_EQ(model.triangleCount, 1u);
    model = readText(std::string(square) + "f");
    EXPECT_EQ(model.triangleCount, 0u);
    EXPECT_TRUE(isConsistent(model));
}

TEST(ObjReader, LongTokensAreReadInPieces) {
    const std::string word(300, 'x');
    const std::string number(300, '7');
    ObjModel model =
        readText("#" + word + " v 5 5 5\n" + std::string(square) + "g " + word + "\nf 1 2 3\ng " + word +
                 "\nf 2 3 4\nf " + number + " 1 2\n" + word + " " + word + "\nf 1 2 3\n");
    EXPECT_EQ(model.vertexCount, 5u);
    EXPECT_TRUE(isConsistent(model));
    // The name comes from the 127 characters read after 'g' (a blank and 126 letters), and both
    // 'g' lines find the same group.
    const ObjGroup* named = findGroup(model, std::string(126, 'x').c_str());
    ASSERT_NE(named, nullptr);
    // Its faces: (1 2 3), (2 3 4), then the long number's first 127 digits as the first corner
    // and the other 173 as the second (a number read is not cut), giving two triangles, and the
    // last (1 2 3).
    EXPECT_EQ(named->triangleCount, 5u);
    EXPECT_EQ(named->triangleIndices[4], 4u);
    EXPECT_EQ(triangleVertices(model)[4], (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(isTriangleDrawable(model, model.triangles[2]));
}

TEST(ObjReader, LinesOfSeveralKindsCannotOverrunTheArrays) {
    // The counting pass skips the rest of a 'v' line; the filling pass reads three numbers and
    // then meets the keywords, so it finds more than was counted. The excess is dropped.
    ObjModel model =
        readText("v 0 0 0 f 1 2 3 4 5 6\nv 1 0 0 v 2 2 2 v 3 3 3\nvt 0 v 9 9 9\nv 0 1 0\nf 1 2 3\n");
    EXPECT_EQ(model.vertexCount, 3u);
    EXPECT_EQ(model.texcoordCount, 1u);
    ASSERT_EQ(model.triangleCount, 1u);
    EXPECT_EQ(triangleVertices(model)[0], (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(model.groups->triangleCount, 1u);
    EXPECT_FLOAT_EQ(model.vertices[3].x, 2.0f);
    EXPECT_TRUE(isConsistent(model));
}

TEST(ObjReader, BinaryDataNeverCrashes) {
    // Mostly the characters the reader reacts to, with arbitrary bytes (NUL included) mixed in.
    const char alphabet[] = "fvgt#/-0123456789 \n\n  .";
    for (unsigned seed = 1; seed <= 40; ++seed) {
        unsigned state = seed;
        std::string bytes;
        for (int i = 0; i < 20000; ++i) {
            state = state * 1103515245u + 12345u;
            const unsigned r = state >> 16;
            bytes += (r % 5 == 0) ? char(r >> 3) : alphabet[r % (sizeof alphabet - 1)];
        }
        OwnedModel owned;
        ObjModel& model = owned.model;
        ASSERT_TRUE(readObjModel(model, writeTempFile("binary.obj", bytes).c_str()));
        ASSERT_TRUE(isConsistent(model)) << "seed " << seed;
        for (uint32_t v = 0; v <= model.vertexCount; ++v) {
            const Vec3& n = model.normals[v];
            ASSERT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
        }
    }
}

TEST(ObjReader, AFolderInPlaceOfTheFileCountsAsMissing) {
    OwnedModel owned;
    ObjModel& model = owned.model;
    EXPECT_FALSE(readObjModel(model, tempFolder().c_str()));
    EXPECT_EQ(model.groups, nullptr);
    EXPECT_EQ(model.vertices, nullptr);
    // A model read before is kept, as with a missing file.
    ASSERT_TRUE(
        readObjModel(model, writeTempFile("before.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n").c_str()));
    EXPECT_FALSE(readObjModel(model, tempFolder().c_str()));
    EXPECT_EQ(model.triangleCount, 1u);
    EXPECT_EQ(model.vertexCount, 3u);
    EXPECT_EQ(groupNames(model), std::vector<std::string>{"default"});
}

TEST(ObjReader, IndicesBeyond32BitsAreRefusedNotWrapped) {
    // 4294967297 is 2^32 + 1: cut to 32 bits it would be the valid index 1.
    ObjModel model = readText(std::string(square) + "vt 0 0\nvt 1 1\n" +
                              "f 4294967297 4294967298 4294967299\n"
                              "f 1/4294967297 2/1 3/2\n"
                              "f -4294967295 2 3\n"
                              "f 1 2 99999999999999999999999999999999\n"
                              "f 0000000000000000000000000001 2 3\n"
                              "f +1/1 +2/2 +3/1\n");
    ASSERT_EQ(model.triangleCount, 6u);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(isTriangleDrawable(model, model.triangles[i])) << i;
    EXPECT_EQ(triangleVertices(model)[0], (std::vector<int>{-1, -1, -1}));
    EXPECT_EQ(model.triangles[1].texcoord[0], -1);
    EXPECT_EQ(model.triangles[1].texcoord[2], 2);
    EXPECT_EQ(model.triangles[3].vertex[2], -1);
    // Long runs of leading zeros and explicit signs still read as the numbers they are.
    EXPECT_EQ(triangleVertices(model)[4], (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(triangleVertices(model)[5], (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(isTriangleDrawable(model, model.triangles[4]));
    EXPECT_TRUE(isTriangleDrawable(model, model.triangles[5]));
    EXPECT_TRUE(isConsistent(model));
}
