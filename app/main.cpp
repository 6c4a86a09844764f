// main.cpp
// Entry of the demo: the question, the window, the presentation; exit code 0 on every end path.
// The shader library's exit-time teardown runs with the window's GL context still current.
#include <cstdlib>

#include "app/app.h"
#include "assets/assets.h"

int main(int argc, char** argv) {
    findDataFolder("kestrane", false);  // without one the files are missing, as from any folder
    exit(runDemo(argc, argv));
}
