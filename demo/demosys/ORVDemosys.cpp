#include "ORVDemosys.h"

#include "ORVCamera.h"

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

std::string lastError;
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
ProgressBar* progressBar = nullptr;

std::vector<std::string> shaderIncludes;

void registerShaderInclude(const std::string& path)
{
    // One entry per file: the packing step needs each path once, however many
    // shaders include it.
    if (std::find(shaderIncludes.begin(), shaderIncludes.end(), path) == shaderIncludes.end())
        shaderIncludes.push_back(path);
}

ScreenMetrics* screenMetrics = nullptr;
DataObjectPool* sceneDataPool = nullptr;
DataTexturePool* texturePool = nullptr;
// Made at start-up and never freed: effects hold it until the process ends.
ORVCamera* syscam = new ORVCamera("syscam");
DataEffectPool* effectPool = nullptr;
DataEffectPool* effectInstancePool = nullptr;
DataBinaryPool* binaryPool = nullptr;
DataShaderPool* shaderPool = nullptr;
DataFBOPool* fboPool = nullptr;
DataVideoPool* videoPool = nullptr;
ShaderCache* shaderCache = nullptr;
uint32_t frameCount = 0;
int32_t loopStartMs = 0;
TrackManager* tracks = nullptr;
Timer* timer = nullptr;

namespace {
bool quitFlag = false;
}

void setQuitRequested(bool quit) { quitFlag = quit; }
bool quitRequested() { return quitFlag; }

} // namespace ORVDemosys
