#pragma once

#include "TimeCode.h"

#include <string>
#include <vector>

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

// Every resource path that a shader include read (or tried to read); the resource
// packing step lists these beside the declared files.
extern std::vector<std::string> shaderIncludes;
void registerShaderInclude(const std::string& path);

extern TrackManager* tracks;
extern Timer* timer;

void setQuitRequested(bool quit);
bool quitRequested();

} // namespace ORVDemosys
