// dataFolderTest.cpp
// Where the data folder is found: $KESTRANE_DATA alone when set, the source tree only for the
// executable in its own build folder (and not when that step is switched off), the share folder
// relative to the executable's folder wherever the prefix was moved; dataFile()'s mapping.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "assets/assets.h"

namespace fs = std::filesystem;

namespace {

// A scratch tree: source/data and build/ of a build tree, prefix/bin and prefix/share/kestrane/data
// of an installation, and an empty folder.
class DataFolderPlacesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kestraneDataFolderXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        for (const char* folder :
             {"source/data", "build", "prefix/bin", "prefix/share/kestrane/data", "elsewhere/data", "empty"})
            fs::create_directories(root / folder);
        sourceData = (root / "source/data").string();
        buildFolder = (root / "build").string();
        places.buildFolder = buildFolder.c_str();
        places.sourceData = sourceData.c_str();
        places.installedData = "../share/kestrane/data";
    }
    void TearDown() override { fs::remove_all(root); }

    std::string choose(const std::string& executableFolder) {
        places.executableFolder = executableFolder.c_str();
        return chooseDataFolder(places, &looked);
    }

    fs::path root;
    std::string sourceData, buildFolder, looked;
    DataFolderPlaces places;
};

TEST_F(DataFolderPlacesTest, BuildFolderExecutableReadsTheSourceTree) {
    EXPECT_EQ(choose(buildFolder + "/"), sourceData);
}

TEST_F(DataFolderPlacesTest, BuildFolderNamedThroughALinkIsStillTheBuildFolder) {
    fs::create_directory_symlink(root / "build", root / "buildLink");
    const std::string link = (root / "buildLink").string();
    places.buildFolder = link.c_str();
    EXPECT_EQ(choose(buildFolder + "/"), sourceData);
}

TEST_F(DataFolderPlacesTest, EnvironmentWinsOverEveryOtherPlace) {
    const std::string elsewhere = (root / "elsewhere/data").string();
    places.fromEnvironment = elsewhere.c_str();
    EXPECT_EQ(choose(buildFolder + "/"), elsewhere);
}

TEST_F(DataFolderPlacesTest, MissingEnvironmentFolderIsNotReplacedByAnother) {
    const std::string missing = (root / "missing").string();
    places.fromEnvironment = missing.c_str();
    EXPECT_EQ(choose(buildFolder + "/"), "");
    EXPECT_NE(looked.find(missing), std::string::npos) << looked;
    EXPECT_NE(looked.find("KESTRANE_DATA"), std::string::npos) << looked;
}

TEST_F(DataFolderPlacesTest, EmptyEnvironmentCountsAsUnset) {
    places.fromEnvironment = "";
    EXPECT_EQ(choose(buildFolder + "/"), sourceData);
}

TEST_F(DataFolderPlacesTest, InstalledExecutableNeverReadsTheSourceTree) {
    // The source tree still exists, but the executable runs from an installed prefix.
    EXPECT_EQ(fs::path(choose((root / "prefix/bin/").string())),
              fs::path(root / "prefix/share/kestrane/data"));
    fs::remove_all(root / "prefix/share");
    EXPECT_EQ(choose((root / "prefix/bin/").string()), "");
}

TEST_F(DataFolderPlacesTest, MovedPrefixFindsItsOwnShareFolder) {
    fs::rename(root / "prefix", root / "moved");
    EXPECT_EQ(fs::path(choose((root / "moved/bin").string())), fs::path(root / "moved/share/kestrane/data"));
}

TEST_F(DataFolderPlacesTest, SwitchedOffBuildTreeFallsToTheShareFolder) {
    places.skipBuildTree = true;
    EXPECT_EQ(choose(buildFolder + "/"), "");  // build/../share/kestrane/data does not exist
    fs::create_directories(root / "share/kestrane/data");
    EXPECT_EQ(fs::path(choose(buildFolder + "/")), fs::path(root / "share/kestrane/data"));
}

TEST_F(DataFolderPlacesTest, NoFolderListsEveryPlaceTried) {
    fs::remove_all(root / "source/data");
    EXPECT_EQ(choose(buildFolder + "/"), "");
    EXPECT_NE(looked.find(sourceData), std::string::npos) << looked;
    EXPECT_NE(looked.find((root / "share/kestrane/data").string()), std::string::npos) << looked;
    EXPECT_NE(looked.find("KESTRANE_DATA not set"), std::string::npos) << looked;
}

TEST_F(DataFolderPlacesTest, UnknownExecutableFolderFindsNothingWithoutTheEnvironment) {
    places.executableFolder = nullptr;
    EXPECT_EQ(chooseDataFolder(places, &looked), "");
    EXPECT_FALSE(looked.empty());
}

TEST(DataFile, ReadsDataPathsFromTheChosenFolder) {
    EXPECT_EQ(dataFile("data/music/ivo_marenk_-_kestrane.mp3"), "data/music/ivo_marenk_-_kestrane.mp3");
    useDataFolder("/opt/kestrane data");
    EXPECT_EQ(dataFile("data/shaders/blur.frag"), "/opt/kestrane data/shaders/blur.frag");
    EXPECT_EQ(dataFile("data/textures/intro/1_mask.png"), "/opt/kestrane data/textures/intro/1_mask.png");
    EXPECT_EQ(dataFile("database/x"), "database/x");
    EXPECT_EQ(dataFile("/tmp/data/x"), "/tmp/data/x");
    useDataFolder("data");
    EXPECT_EQ(dataFile("data/3d/deformed2.obj"), "data/3d/deformed2.obj");
}

}  // namespace
