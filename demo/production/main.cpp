// Glass Hall: the setup dialog first, then the demo.
#include "Demo.h"
#include "GlassHallProgressBar.h"
#include "GlassHallResources.h"
#include "GlassHallShaderCache.h"
#include "ORVDemosys.h"
#include "ORVGui.h"
#include "ScreenMetrics.h"

#include <FL/Fl.H>

#include <iostream>

int main(int argc, char** argv)
{
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
