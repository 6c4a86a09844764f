// runLoopLinuxWindows.cpp
// The loop on a desktop: turn after turn until one says the presentation has ended.
#include "platform/platform.h"

void platformRunLoop(bool (*turn)(), bool (*)()) {
    while (turn()) {
    }
}
