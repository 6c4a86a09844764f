// dataFolder.cpp
// Where the data files are read from, whatever the current folder. The code names every file
// "data/..."; dataFile() puts the folder found at start in place of that "data": $KESTRANE_DATA,
// else data/ of the source tree when the executable runs from the build folder it was built in,
// else the installed share folder beside the executable's bin/ (so a moved prefix still works).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "assets/assets.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

// Until a folder is found: data/ of the current folder, where the programs always looked.
std::string dataFolder = "data";

bool isFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool sameFolder(const std::string& a, const std::string& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

void addPlace(std::string* looked, const std::string& place) {
    if (!looked->empty()) *looked += ", ";
    *looked += place;
}

}  // namespace

std::string chooseDataFolder(const DataFolderPlaces& places, std::string* looked) {
    looked->clear();
    // A folder named explicitly is the only one tried: falling back to another would hide the mistake.
    if (places.fromEnvironment && places.fromEnvironment[0]) {
        addPlace(looked, std::string(places.fromEnvironment) + " (KESTRANE_DATA)");
        return isFolder(places.fromEnvironment) ? places.fromEnvironment : std::string();
    }
    const std::string executable = places.executableFolder ? places.executableFolder : "";
    // The source tree only serves the build folder it belongs to, never an installed copy.
    if (!places.skipBuildTree && !executable.empty() && places.buildFolder && places.sourceData &&
        sameFolder(executable, places.buildFolder)) {
        addPlace(looked, places.sourceData);
        if (isFolder(places.sourceData)) return places.sourceData;
    }
    if (!executable.empty() && places.installedData) {
        const std::string installed =
            (fs::path(executable) / places.installedData).lexically_normal().string();
        addPlace(looked, installed);
        if (isFolder(installed)) return installed;
    }
    if (looked->empty()) *looked = "nowhere (the executable's folder is unknown)";
    *looked += "; KESTRANE_DATA not set";
    return std::string();
}

bool findDataFolder(const char* program, bool required) {
    DataFolderPlaces places;
    places.fromEnvironment = getenv("KESTRANE_DATA");
    places.executableFolder = platformExecutableFolder();
    places.buildFolder = KESTRANE_BUILD_FOLDER;
    places.sourceData = KESTRANE_SOURCE_DATA;
    places.installedData = KESTRANE_INSTALLED_DATA;
    const char* skip = getenv("KESTRANE_IGNORE_BUILD_TREE");
    places.skipBuildTree = skip && skip[0] && strcmp(skip, "0") != 0;
    std::string looked;
    const std::string found = chooseDataFolder(places, &looked);
    if (!found.empty()) {
        dataFolder = found;
        return true;
    }
    dataFolder = "data";
    fprintf(stderr, "%s: no data folder found: looked in %s%s\n", program, looked.c_str(),
            required ? "" : "; reading data/ of the current folder");
    return false;
}

void useDataFolder(const std::string& folder) { dataFolder = folder; }

std::string dataFile(const char* path) {
    if (strncmp(path, "data/", 5) != 0) return path;
    return dataFolder + (path + 4);
}
