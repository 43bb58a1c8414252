#include "ORVDemosys.h"

// Constructing the engine state needs every type it owns complete.
#include "DataBinaryPool.h"
#include "DataEffectPool.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "DataVideoPool.h"
#include "EditSession.h"
#include "FrameProfiler.h"
#include "EngineState.h"
#include "ORVCamera.h"
#include "ProgressBar.h"
#include "ShaderCache.h"
#include "Timer.h"
#include "TrackManager.h"

#include <algorithm>

namespace ORVDemosys {

const std::string objectDirectory = "resources/objects/";
const std::string graphicsDirectory = "resources/graphics/";
const std::string miscDirectory = "resources/misc/";
const std::string soundDirectory = "resources/sound/";
const std::string shaderDirectory = "resources/shaders/";
const std::string videoDirectory = "resources/video/";
const std::string trackDirectory = "resources/tracks/";
const std::string currentDirectory = ".";

TimeCode startTime(0, 0, 0);
TimeCode endTime(99, 0, 0);
std::string musicFile;

std::vector<TextureDeclaration> textureDeclarations;
std::vector<ResourceDeclaration> objectDeclarations;
std::vector<ResourceDeclaration> binaryDeclarations;
std::vector<ResourceDeclaration> miscDeclarations;
std::vector<ResourceDeclaration> videoDeclarations;
std::vector<ShaderDeclaration> shaderDeclarations;
ResourceDefinition* resources = nullptr;

std::vector<std::string> shaderIncludes;

void registerShaderInclude(const std::string& path)
{
    // One entry per file: the packing step needs each path once, however many
    // shaders include it.
    if (std::find(shaderIncludes.begin(), shaderIncludes.end(), path) == shaderIncludes.end())
        shaderIncludes.push_back(path);
}

namespace {
// Constant-initialised, so every name below is bound before any code runs, and never
// destroyed: the union's destructor leaves its member alone (see EngineState).
union StateStorage {
    constexpr StateStorage() : state() {}
    ~StateStorage() {}
    EngineState state;
};
StateStorage storage;
} // namespace

EngineState& engineState() { return storage.state; }

EngineSlot<ProgressBar>& progressBar = storage.state.progressBar;
ScreenMetrics*& screenMetrics = storage.state.screenMetrics;
EngineSlot<DataObjectPool>& sceneDataPool = storage.state.sceneDataPool;
EngineSlot<DataTexturePool>& texturePool = storage.state.texturePool;
EngineSlot<DataEffectPool>& effectPool = storage.state.effectPool;
EngineSlot<DataEffectPool>& effectInstancePool = storage.state.effectInstancePool;
EngineSlot<DataBinaryPool>& binaryPool = storage.state.binaryPool;
EngineSlot<DataShaderPool>& shaderPool = storage.state.shaderPool;
EngineSlot<DataFBOPool>& fboPool = storage.state.fboPool;
EngineSlot<DataVideoPool>& videoPool = storage.state.videoPool;
EngineSlot<ShaderCache>& shaderCache = storage.state.shaderCache;
EngineSlot<TrackManager>& tracks = storage.state.tracks;
EngineSlot<Timer>& timer = storage.state.timer;
EngineSlot<EditSession>& editSession = storage.state.editSession;
EngineSlot<FrameProfiler>& frameProfiler = storage.state.frameProfiler;

// Made at start-up and never freed: effects hold it until the process ends.
ORVCamera* syscam = new ORVCamera("syscam");
uint32_t frameCount = 0;
int32_t loopStartMs = 0;

namespace {
bool quitFlag = false;
}

void setQuitRequested(bool quit) { quitFlag = quit; }
bool quitRequested() { return quitFlag; }

} // namespace ORVDemosys
