// assets.h
// Start-up: the fixed GL state, the texture catalogue and its PNG loader, the model, the blur
// program, the random tables, the shared quadric and the music. Every global here is made anew by
// each start-up.
#pragma once

#include <string>

#include "geometry/geometry.h"

struct MusicStream;
class ShaderProgram;
struct GLUquadric;

// The texture catalogue: GL texture names, 0 when the file failed to load.
enum SceneTextureSlot {
    texParticle = 0,
    texWater = 1,
    texPart4 = 2,
    texParticle2 = 3,
    texChecker = 4,
    texTunnel = 5,
    texAcid02 = 6,
    texPinkDot = 7,
    texOverlay = 8,
    texStars = 9,
    texTwirl = 10,
    texTitleMask = 11,
    texTitle = 12,
    texDotSprite = 13,
    texDotMask = 14,
    texSameTitle = 15,
    texSameTitleMask = 16,
    texESprite = 17,
    texEMask = 18,
    texGroupLogo = 19,
    texDotSprite2 = 20,
    texDotSprite3 = 21,
    SCENE_TEXTURE_COUNT = 22,
};
enum { LAYER_COUNT = 15, TEXTURE_LOAD_COUNT = 53 };
extern unsigned int sceneTextures[SCENE_TEXTURE_COUNT];
extern unsigned int texFont;
extern unsigned int layerTextures[LAYER_COUNT];
extern unsigned int layerMasks[LAYER_COUNT];
// The file of each of the 53 loads, in load order.
extern const char* const textureFiles[TEXTURE_LOAD_COUNT];

// PNG textures: our own pngBind over the platform's PNG decoding.
enum { PNG_BUILDMIPMAPS = -1, PNG_ALPHA = -2 };
struct pngInfo {
    unsigned int Width;
    unsigned int Height;
    unsigned int Depth;
    unsigned int Alpha;
};
// Decodes the file into a new GL texture (mipmaps built, wrap and filters set) and returns its name,
// or 0 for a file that cannot be opened or decoded, leaving no texture behind. Prints nothing.
unsigned int pngBind(const char* filename, int mipmap, int trans, pngInfo* info, int wrapst, int minfilter,
                     int magfilter);

enum { SCATTER_POINT_COUNT = 2000, SCATTER_DIRECTION_COUNT = 1600 };
extern Vec3 scatterPoints[SCATTER_POINT_COUNT];
extern Vec3 scatterDirections[SCATTER_DIRECTION_COUNT];
extern GLUquadric* sceneQuadric;
extern ShaderProgram* blurProgram;  // null when the shader load failed
extern ObjModel demoModel;          // data/3d/deformed2.obj
extern MusicStream* musicStream;
extern int musicChannel;  // -1 until the music has been started once

// The start-up sequence in the current GL context. makeScreenTexture (the director's
// createScreenTexture) runs after the GL state and tables are made, just before the music starts.
bool initDemo(void (*makeScreenTexture)());
// Loads the catalogue's pictures, unless the current GL context still holds those it loaded last
// (a kept context running the start-up again): they are kept, not decoded again.
void loadTextures();
// The GL context that holds the pictures goes away: the next start-up loads them anew.
void forgetTextures();
void makeScatterPoints();
void makeScatterDirections();
// The draw of the never-seeded standard generator (state starts at 1), used by the tables.
int drawRandom();

// The music, named as every data file is (see dataFile below).
const char* const kMusicPath = "data/music/ivo_marenk_-_kestrane.mp3";

void startMusic();
void activateSpectrum();
int musicTimeMs();  // the stream position in ms: what is heard now
// A frame's music time, in ms: what will be heard when the frame drawn now is presented, predicted
// from how late the frames before it were presented.
int musicFrameTimeMs();
// Whether the window's swaps wait for the display's refresh (vsync granted): frames are then
// predicted on its grid.
void musicSetDisplayPaced(bool paced);
// When the latest musicFrameTimeMs read the clock, and the moment its time stands for (its
// predicted presentation), on platformSeconds' scale: the traces pair them with the music time.
double musicFrameReadWall();
double musicFrameShownWall();
// The frame that read musicFrameTimeMs last was presented at wall (platformSeconds' scale).
void musicFramePresented(double wall);
void seekMusicMs(int ms);
const float* musicSpectrum();  // 512 values

// The data folder. Files are named "data/..." throughout; dataFile() reads them from the folder
// that findDataFolder() chose at start ("data" of the current folder until then).
struct DataFolderPlaces {
    const char* fromEnvironment = nullptr;   // $KESTRANE_DATA: when set, the only place tried
    const char* executableFolder = nullptr;  // the running executable's folder
    const char* buildFolder = nullptr;       // the build folder the executable was made in
    const char* sourceData = nullptr;        // data/ of that build's source tree
    const char* installedData = nullptr;     // the installed data, relative to the executable's folder
    bool skipBuildTree = false;              // $KESTRANE_IGNORE_BUILD_TREE set
};
// The first existing folder of places in order, or empty; *looked lists each place tried.
std::string chooseDataFolder(const DataFolderPlaces& places, std::string* looked);
// Chooses the folder from the environment and the executable's location. When none exists, prints
// one line on standard error saying where it looked (and, unless required, that data/ of the
// current folder is read as before) and returns false.
bool findDataFolder(const char* program, bool required);
void useDataFolder(const std::string& folder);
// "data/x" read from the chosen folder; any other path unchanged.
std::string dataFile(const char* path);
