// Glass Hall: the setup dialog first, then the demo from resources.7z; or, with --edit,
// the demo maker's preview: no dialog, loose files, the transport, the overlay and
// reloads of edited files (see EditMode).
#include "Demo.h"
#include "EditMode.h"
#include "GlassHallProgressBar.h"
#include "GlassHallResources.h"
#include "GlassHallShaderCache.h"
#include "ORVDemosys.h"
#include "ORVGui.h"
#include "ScreenMetrics.h"

#include <FL/Fl.H>

#include <iostream>
#include <string>

namespace {

// Edit mode: the window at its size (1280 x 720 unless --size says), the resource tree
// of loose files, then the same run as the demo's with the edit session installed.
int runEditMode(EditMode& edit, int argc, char** argv)
{
    std::string error;
    if (!edit.prepare("content/sync/glasshall.sync", "content/music/glass_hall.score", error)) {
        std::cerr << "glasshall: " << error << std::endl;
        return 1;
    }
    ScreenMetrics screenMetrics;
    screenMetrics.setSize(edit.getWidth(), edit.getHeight());
    screenMetrics.setFullscreen(false);
    if (edit.getQuality() >= 0)
        screenMetrics.setQuality(edit.getQuality());
    {
        Demo demo(argc, argv);
        ORVDemosys::progressBar = new GlassHallProgressBar();
        ORVDemosys::shaderCache = new GlassHallShaderCache();
        ORVDemosys::resources = new GlassHallResources();
        demo.setTitle("Glass Hall");
        if (demo.load(&screenMetrics, 0)) {
            demo.setCallbacks();
            edit.install();
        }
        demo.run();
        ORVDemosys::shutdown();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    EditMode edit;
    for (int i = 1; i < argc; ++i) {
        std::string error;
        if (!edit.takeOption(argc, argv, i, error)) {
            std::cerr << "glasshall: " << (error.empty() ? "unknown argument '" + std::string(argv[i]) + "'" : error)
                      << "; usage: glasshall " << EditMode::usage() << std::endl;
            return 2;
        }
    }
    if (edit.isEnabled())
        return runEditMode(edit, argc, argv);
    if (argc > 1) {
        std::cerr << "glasshall: the options need --edit; usage: glasshall " << EditMode::usage() << std::endl;
        return 2;
    }

    ScreenMetrics screenMetrics;

    // Fl::run returns once "Start!" or "Exit!" has hidden the dialog (or the window
    // manager closed it, which leaves the exit choice set).
    ORVGui gui(450, 300, "Orvane Demosys v.2.0");
    Fl::scheme("gtk+");
    Fl::run();
    // Fl::run returns as soon as no window is shown, before the hidden dialog's unmap
    // has reached the X server: without this it would stay on screen over the demo.
    Fl::flush();

    screenMetrics.setSize(gui.getChosenWidth(), gui.getChosenHeight());
    screenMetrics.setFullscreen(gui.getFullscreen());
    screenMetrics.setQuality(gui.getQuality());
    // The vertical-sync choice is not copied: the window always swaps on the sync.

    if (gui.getExit()) {
        std::cout << "Quit demo" << std::endl;
        return 0;
    }

    std::cout << "Run demo" << std::endl;
    {
        Demo demo(argc, argv);
        ORVDemosys::progressBar = new GlassHallProgressBar();
        ORVDemosys::shaderCache = new GlassHallShaderCache();
        ORVDemosys::resources = new GlassHallResources();
        demo.setTitle("Glass Hall");
        // A failed load marks the demo failed: the callbacks and the loop then do nothing
        // and the shutdown says why.
        demo.load(&screenMetrics, 1);
        demo.setCallbacks();
        demo.run();
        ORVDemosys::shutdown();
    }
    return 0;
}
