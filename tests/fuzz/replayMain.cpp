// replayMain.cpp
// Replays a fuzz target over saved inputs, in the normal build: every file named on the command
// line, and every file in every folder named, in sorted order. No fuzzing engine, no time limit:
// a crash or a failed check aborts the run; an empty corpus counts as a failure.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/fuzz/fuzzTarget.h"

namespace {

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes.clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool ok = !ferror(file);
    fclose(file);
    return ok;
}

// The files to replay: a folder's regular files (sorted), or the path itself.
void collect(const std::string& path, std::vector<std::string>& files) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return;
    if (!S_ISDIR(info.st_mode)) {
        files.push_back(path);
        return;
    }
    DIR* folder = opendir(path.c_str());
    if (!folder) return;
    std::vector<std::string> found;
    while (dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        const std::string full = path + "/" + name;
        if (stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode)) found.push_back(full);
    }
    closedir(folder);
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) collect(argv[i], files);
    if (files.empty()) {
        fprintf(stderr, "replay: no inputs found\n");
        return 1;
    }
    std::vector<uint8_t> bytes;
    for (const std::string& path : files) {
        if (!readFile(path, bytes)) {
            fprintf(stderr, "replay: cannot read %s\n", path.c_str());
            return 1;
        }
        static const uint8_t none = 0;  // an empty input still comes with a valid pointer
        LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
    }
    printf("replayed %zu inputs\n", files.size());
    return 0;
}
