// textureCatalogue.cpp (placeholder until the catalogue is built: no texture is loaded)
#include "assets/assets.h"

unsigned int sceneTextures[SCENE_TEXTURE_COUNT];
unsigned int texFont;
unsigned int layerTextures[LAYER_COUNT];
unsigned int layerMasks[LAYER_COUNT];
const char* const textureFiles[TEXTURE_LOAD_COUNT] = {};
void loadTextures() {}
