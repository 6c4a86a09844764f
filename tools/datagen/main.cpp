// main.cpp
// kestrane-datagen <dataDir> [--contact-sheet <file.png>] | --icon <file.png>
// Writes every picture the demo loads into <dataDir>/textures and the model into <dataDir>/3d,
// one progress line per group on standard error; or only the program's icon. Output is
// deterministic: no clock, no environment and no unseeded randomness enter it.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/datagen/datagen.h"
#include "tools/datagen/pictures.h"

namespace {

struct PictureGroup {
    const char* title;
    bool (*make)(const PictureSink& sink);
};

const PictureGroup pictureGroups[] = {
    {"scene pictures", makeScenePictures},
    {"sprites", makeSpritePictures},
    {"intro cards", makeIntroCards},
    {"phrase cards", makePhraseCards},
    {"logo, scroller and overlay", makeLogoPictures},
    {"font", makeFontAtlas},
};

void printUsage() {
    std::fprintf(stderr,
                 "usage: kestrane-datagen <dataDir> [--contact-sheet <file.png>]\n"
                 "       kestrane-datagen --icon <file.png>\n"
                 "  writes <dataDir>/textures/*.png, <dataDir>/textures/intro/*.png and\n"
                 "  <dataDir>/3d/deformed2.obj; with --contact-sheet also one overview picture;\n"
                 "  with --icon only the 256x256 program icon made from the group logo\n");
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool makeFolder(const std::string& path) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code) {
        std::fprintf(stderr, "kestrane-datagen: cannot create %s: %s\n", path.c_str(),
                     code.message().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dataDir, sheetPath, iconPath;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--contact-sheet") == 0 && i + 1 < argc) {
            sheetPath = argv[++i];
        } else if (std::strcmp(argv[i], "--icon") == 0 && i + 1 < argc) {
            iconPath = argv[++i];
        } else if (argv[i][0] == '-' || !dataDir.empty()) {
            printUsage();
            return 2;
        } else {
            dataDir = argv[i];
        }
    }
    if (!iconPath.empty()) {
        if (!dataDir.empty() || !sheetPath.empty()) {
            printUsage();
            return 2;
        }
        std::string error;
        const std::string folder = std::filesystem::path(iconPath).parent_path().string();
        if (!folder.empty() && !makeFolder(folder)) return 1;
        if (!writePng(makeIcon(), iconPath, error)) {
            std::fprintf(stderr, "kestrane-datagen: icon: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (dataDir.empty()) {
        printUsage();
        return 2;
    }
    const std::string texturesDir = dataDir + "/textures";
    const std::string modelDir = dataDir + "/3d";
    if (!makeFolder(texturesDir + "/intro") || !makeFolder(modelDir)) return 1;

    std::vector<SheetEntry> written;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    for (const PictureGroup& group : pictureGroups) {
        const auto groupStart = std::chrono::steady_clock::now();
        const size_t before = written.size();
        const PictureSink sink = [&](const char* name, const Image& picture) {
            if (!writePng(picture, texturesDir + "/" + name, error)) return false;
            written.push_back({name});
            return true;
        };
        if (!group.make(sink)) {
            std::fprintf(stderr, "kestrane-datagen: %s: %s\n", group.title, error.c_str());
            return 1;
        }
        std::fprintf(stderr, "kestrane-datagen: %-28s %2zu files  %5.2f s\n", group.title,
                     written.size() - before, secondsSince(groupStart));
    }

    const auto modelStart = std::chrono::steady_clock::now();
    const std::string modelPath = modelDir + "/deformed2.obj";
    if (!writeKnotModel(modelPath, error)) {
        std::fprintf(stderr, "kestrane-datagen: model: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr, "kestrane-datagen: %-28s %2d file   %5.2f s\n", "model", 1,
                 secondsSince(modelStart));

    if (!sheetPath.empty()) {
        const auto sheetStart = std::chrono::steady_clock::now();
        if (!writeContactSheet(texturesDir, written, modelPath, sheetPath, error)) {
            std::fprintf(stderr, "kestrane-datagen: contact sheet: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "kestrane-datagen: %-28s %2d file   %5.2f s\n", "contact sheet", 1,
                     secondsSince(sheetStart));
    }
    std::fprintf(stderr, "kestrane-datagen: %zu pictures and 1 model in %.2f s\n", written.size(),
                 secondsSince(start));
    return 0;
}
