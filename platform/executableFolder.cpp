// executableFolder.cpp
// Where the running executable lives, so that the program can find its data beside it wherever it
// was installed or unpacked, whatever the current folder.
#include <SDL2/SDL.h>

#include <string>

#include "platform/platform.h"

const char* platformExecutableFolder() {
    static std::string folder;
    static bool asked = false;
    if (!asked) {
        asked = true;
        if (char* base = SDL_GetBasePath()) {  // no SDL_Init needed
            folder = base;
            SDL_free(base);
        }
    }
    return folder.empty() ? nullptr : folder.c_str();
}
