#pragma once

#include "ResourceDeclaration.h"
#include "ShaderDeclaration.h"
#include "TimeCode.h"

#include <cstdint>
#include <string>
#include <vector>

class DataBinaryPool;
class DataObjectPool;
class ORVCamera;
class DataEffectPool;
class DataFBOPool;
class DataShaderPool;
class DataTexturePool;
class DataVideoPool;
class ProgressBar;
class ResourceDefinition;
class ScreenMetrics;
class ShaderCache;
class TrackManager;
class Timer;

// Process-wide engine state. Everything here exists before main runs and lives until
// the process ends.
namespace ORVDemosys {

// Directories that resource file names are joined to, by plain concatenation.
extern const std::string objectDirectory;   // "resources/objects/"
extern const std::string graphicsDirectory; // "resources/graphics/"
extern const std::string miscDirectory;     // "resources/misc/"
extern const std::string soundDirectory;    // "resources/sound/"
extern const std::string shaderDirectory;   // "resources/shaders/"
extern const std::string videoDirectory;    // "resources/video/"
extern const std::string trackDirectory;    // "resources/tracks/"
extern const std::string currentDirectory;  // "."

extern std::string lastError;
extern TimeCode startTime; // 00:00:00
extern TimeCode endTime;   // 99:00:00
extern std::string musicFile;

// What the production declared, in declaration order.
extern std::vector<TextureDeclaration> textureDeclarations;
extern std::vector<ResourceDeclaration> objectDeclarations;
extern std::vector<ResourceDeclaration> binaryDeclarations;
extern std::vector<ResourceDeclaration> miscDeclarations;
extern std::vector<ResourceDeclaration> videoDeclarations;
extern std::vector<ShaderDeclaration> shaderDeclarations;

// The production's objects: its resource definition and loading screen.
extern ResourceDefinition* resources;
extern ProgressBar* progressBar;

// Every resource path that a shader include read (or tried to read); the resource
// packing step lists these beside the declared files.
extern std::vector<std::string> shaderIncludes;
void registerShaderInclude(const std::string& path);

// The camera that the production's camera effect places, "syscam".
extern ORVCamera* syscam;

// The screen settings, once a window has been opened.
extern ScreenMetrics* screenMetrics;

// The named resource pools, created at the start of loading and deleted at shutdown.
extern DataObjectPool* sceneDataPool;
extern DataTexturePool* texturePool;
extern DataEffectPool* effectPool;         // prototypes by class name
extern DataEffectPool* effectInstancePool; // instances by instance name
extern DataBinaryPool* binaryPool;
extern DataShaderPool* shaderPool;
extern DataFBOPool* fboPool;
extern DataVideoPool* videoPool;

// The production's shader instances. A production installs its own cache before loading;
// otherwise the loading stages make an empty one. Never freed: scenes keep pointers to
// its instances until the process ends.
extern ShaderCache* shaderCache;

extern TrackManager* tracks;
extern Timer* timer;

// Frames swapped since the loop started, and the wall-clock ms at which it started.
extern uint32_t frameCount;
extern int32_t loopStartMs;

void setQuitRequested(bool quit);
bool quitRequested();

} // namespace ORVDemosys
