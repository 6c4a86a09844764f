// textureCatalogue.cpp
// Loads every picture the demo shows, once per GL context, into named texture slots: 53 loads in a
// fixed order (the scene slots, the font, then each layer picture before its mask). A file that is
// missing or cannot be decoded leaves 0 in its slot, silently, and the other loads go on. A kept
// context keeps its pictures: nothing draws into them, so they are what a new load would give.
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "platform/platform.h"

unsigned int sceneTextures[SCENE_TEXTURE_COUNT];
unsigned int texFont;
unsigned int layerTextures[LAYER_COUNT];
unsigned int layerMasks[LAYER_COUNT];

const char* const textureFiles[TEXTURE_LOAD_COUNT] = {
    // sceneTextures 0 to 21
    "data/textures/particle.png",
    "data/textures/water.png",
    "data/textures/part4.png",
    "data/textures/particle.png",  // a second texture object for the same picture
    "data/textures/checker.png",
    "data/textures/tunnel.png",
    "data/textures/acid02.png",
    "data/textures/pinkdot.png",
    "data/textures/overlay.png",
    "data/textures/stars.png",
    "data/textures/twirl.png",
    "data/textures/vel_kestrane_mask.png",
    "data/textures/vel_kestrane.png",
    "data/textures/dot_sprite.png",
    "data/textures/dot_mask.png",
    "data/textures/same_kestrane.png",
    "data/textures/same_kestrane_mask.png",
    "data/textures/e_sprite.png",
    "data/textures/e_mask.png",
    "data/textures/vel_logo.png",
    "data/textures/dot_sprite2.png",
    "data/textures/dot_sprite3.png",
    // texFont
    "data/textures/font.png",
    // layerTextures i, then layerMasks i
    "data/textures/intro/1_layer.png",
    "data/textures/intro/1_mask.png",
    "data/textures/intro/2_layer.png",
    "data/textures/intro/2_mask.png",
    "data/textures/intro/3_layer.png",
    "data/textures/intro/3_mask.png",
    "data/textures/intro/4_layer.png",
    "data/textures/intro/4_mask.png",
    "data/textures/intro/5_layer.png",
    "data/textures/intro/5_mask.png",
    "data/textures/intro/6_layer.png",
    "data/textures/intro/6_mask.png",
    "data/textures/intro/7_layer.png",
    "data/textures/intro/7_mask.png",
    "data/textures/intro/8_layer.png",
    "data/textures/intro/8_mask.png",
    "data/textures/intro/9_layer.png",
    "data/textures/intro/9_mask.png",
    "data/textures/intro/10_layer.png",
    "data/textures/intro/10_mask.png",
    "data/textures/intro/11_layer.png",
    "data/textures/intro/11_mask.png",
    "data/textures/intro/12_layer.png",
    "data/textures/intro/12_mask.png",
    "data/textures/keep_layer.png",
    "data/textures/keep_mask.png",
    "data/textures/meanwhile_layer.png",
    "data/textures/meanwhile_mask.png",
    "data/textures/scroller_layer.png",
    "data/textures/scroller_mask.png",
};

namespace {
// The one record every load fills; nothing reads it.
pngInfo loadInfo;
bool texturesHeld = false;  // the current context holds the slots' textures

unsigned int loadPicture(int load) {
    return pngBind(dataFile(textureFiles[load]).c_str(), PNG_BUILDMIPMAPS, PNG_ALPHA, &loadInfo, GL_REPEAT,
                   GL_NEAREST, GL_NEAREST);
}
}  // namespace

void forgetTextures() { texturesHeld = false; }

void loadTextures() {
    if (texturesHeld) return;
    texturesHeld = true;
    int load = 0;
    for (unsigned int& slot : sceneTextures) slot = loadPicture(load++);
    texFont = loadPicture(load++);
    for (int i = 0; i < LAYER_COUNT; ++i) {
        layerTextures[i] = loadPicture(load++);
        layerMasks[i] = loadPicture(load++);
    }
}
