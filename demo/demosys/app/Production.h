#pragma once

#include <functional>
#include <string>

class Demo;
class ProgressBar;
class ResourceDefinition;
class ShaderCache;

// A production as the programs around it see it: its names, the objects the engine loads
// it through and where its editable sources lie. A production fills one in and hands it
// to DemoApp::run (its player: the setup dialog or edit mode) and CaptureApp::run (its
// offline renderer), which is all its two mains do.
struct Production {
    // The window's title ("Glass Hall").
    std::string title;
    // The program's name in usage lines and errors ("glasshall"); the capture program
    // is called programName + "-capture".
    std::string programName;
    // The setup dialog's title, and its logo: an XPM picture 450 x 100 (none: no logo).
    std::string dialogTitle = "Demosys";
    const char* const* dialogLogo = nullptr;

    // A new resource definition: required. It is handed to the engine, which keeps it
    // to the end of the process.
    std::function<ResourceDefinition*()> makeResources;
    // A shader cache for scenes drawn through shader instances, and a loading screen;
    // either may be left empty (no cache; the engine's own bar).
    std::function<ShaderCache*()> makeShaderCache;
    std::function<ProgressBar*()> makeProgressBar;

    // Edit mode's sources, relative to the working directory or to the source checkout
    // the resource tree was built from: the sync script and the beat grid (a score or
    // grid file; empty: none).
    std::string syncScript;
    std::string score;

    // Hands a new resource definition, shader cache and loading screen to the engine
    // (ORVDemosys::resources, shaderCache, progressBar) and the title to demo's window,
    // before Demo::load.
    void install(Demo& demo) const;
};
