#include "ORVDemosys.h"

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

std::vector<std::string> shaderIncludes;

void registerShaderInclude(const std::string& path)
{
    // One entry per file: the packing step needs each path once, however many
    // shaders include it.
    if (std::find(shaderIncludes.begin(), shaderIncludes.end(), path) == shaderIncludes.end())
        shaderIncludes.push_back(path);
}

TrackManager* tracks = nullptr;
Timer* timer = nullptr;

namespace {
bool quitFlag = false;
}

void setQuitRequested(bool quit) { quitFlag = quit; }
bool quitRequested() { return quitFlag; }

} // namespace ORVDemosys
