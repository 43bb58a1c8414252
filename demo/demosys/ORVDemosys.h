#pragma once

#include "EngineSlot.h"
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
class EditSession;
class FrameProfiler;
class EngineState;
class ProgressBar;
class ResourceDefinition;
class ScreenMetrics;
class ShaderCache;
class TrackManager;
class Timer;

// Process-wide engine state. Everything here exists before main runs and lives until
// the process ends. The run-time objects (loading screen, pools, timeline, timer, shader
// cache, screen settings) are owned by the one EngineState; the names below are the way
// code reaches them (assigning an object to one hands it over).
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

// The production's objects: its resource definition (never freed) and loading screen.
extern ResourceDefinition* resources;
extern EngineSlot<ProgressBar>& progressBar;

// Every resource path that a shader include read (or tried to read); the resource
// packing step lists these beside the declared files.
extern std::vector<std::string> shaderIncludes;
void registerShaderInclude(const std::string& path);

// The camera that the production's camera effect places, "syscam".
extern ORVCamera* syscam;

// The screen settings, once a window has been opened (main's; not owned).
extern ScreenMetrics*& screenMetrics;

// The named resource pools, created at the start of loading and deleted at shutdown.
extern EngineSlot<DataObjectPool>& sceneDataPool;
extern EngineSlot<DataTexturePool>& texturePool;
extern EngineSlot<DataEffectPool>& effectPool;         // prototypes by class name
extern EngineSlot<DataEffectPool>& effectInstancePool; // instances by instance name
extern EngineSlot<DataBinaryPool>& binaryPool;
extern EngineSlot<DataShaderPool>& shaderPool;
extern EngineSlot<DataFBOPool>& fboPool;
extern EngineSlot<DataVideoPool>& videoPool;

// The production's shader instances. A production installs its own cache before loading;
// otherwise the loading stages make an empty one. Freed at shutdown after the scenes,
// which keep pointers to its instances.
extern EngineSlot<ShaderCache>& shaderCache;

extern EngineSlot<TrackManager>& tracks;
extern EngineSlot<Timer>& timer;
// Live editing (transport, overlay, reloads), when a program installed one after the
// load; the frame loop calls it around each frame. Null otherwise.
extern EngineSlot<EditSession>& editSession;
// Times each effect's draw and the deferred passes, when a program installed one.
extern EngineSlot<FrameProfiler>& frameProfiler;

// The owner of all of the above.
EngineState& engineState();

// Frames swapped since the loop started, and the wall-clock ms at which it started.
extern uint32_t frameCount;
extern int32_t loopStartMs;

void setQuitRequested(bool quit);
bool quitRequested();

} // namespace ORVDemosys
