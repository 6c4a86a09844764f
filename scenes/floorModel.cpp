// floorModel.cpp
// Scene placeholder: draws nothing until the scene is built.
#include "scenes/scenes.h"

void drawFloorModelScene() {}
