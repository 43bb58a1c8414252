#include "DemoApp.h"

#include "Demo.h"
#include "EditMode.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "ORVGui.h"
#include "Production.h"
#include "ScreenMetrics.h"

#include <FL/Fl.H>

#include <iostream>
#include <string>

using ORVDemosys::Log;

namespace {

// Edit mode: the window at its size (1280 x 720 unless --size says), the resource tree
// of loose files, then the same run as the demo's with the edit session installed.
int runEditMode(const Production& production, EditMode& edit, int argc, char** argv)
{
    Status prepared = edit.prepare(production.syncScript, production.score);
    if (!prepared) {
        std::cerr << production.programName << ": " << prepared.reason() << std::endl;
        return 1;
    }
    ScreenMetrics screenMetrics;
    screenMetrics.setSize(edit.getWidth(), edit.getHeight());
    screenMetrics.setFullscreen(false);
    if (edit.getQuality() >= 0)
        screenMetrics.setQuality(edit.getQuality());
    {
        Demo demo(argc, argv);
        production.install(demo);
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

int DemoApp::run(const Production& production, int argc, char** argv)
{
    EditMode edit;
    for (int i = 1; i < argc; ++i) {
        Status taken = edit.takeOption(argc, argv, i);
        if (!taken) {
            std::cerr << production.programName << ": " << taken.reason() << "; usage: " << production.programName
                      << " " << EditMode::usage() << std::endl;
            return 2;
        }
    }
    if (edit.isEnabled())
        return runEditMode(production, edit, argc, argv);
    if (argc > 1) {
        std::cerr << production.programName << ": the options need --edit; usage: " << production.programName << " "
                  << EditMode::usage() << std::endl;
        return 2;
    }

    ScreenMetrics screenMetrics;

    // Fl::run returns once "Start!" or "Exit!" has hidden the dialog (or the window
    // manager closed it, which leaves the exit choice set).
    ORVGui gui(450, 300, production.dialogTitle.c_str(), production.dialogLogo);
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
        Log::info() << "Quit demo" << std::endl;
        return 0;
    }

    Log::info() << "Run demo" << std::endl;
    {
        Demo demo(argc, argv);
        production.install(demo);
        // A failed load marks the demo failed: the callbacks and the loop then do nothing
        // and the shutdown says why.
        static_cast<void>(demo.load(&screenMetrics, 1));
        demo.setCallbacks();
        demo.run();
        ORVDemosys::shutdown();
    }
    return 0;
}
