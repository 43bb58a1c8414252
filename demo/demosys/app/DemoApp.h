#pragma once

struct Production;

// The player program around a production: with no arguments the setup dialog, then the
// demo from resources.7z; with --edit (and edit mode's options) the demo maker's preview
// on the loose resource tree. Returns the process's exit status: 0 after a run (a failed
// load included: the shutdown says why), 2 on a bad command line, 1 when edit mode finds
// no resource tree or sync script.
class DemoApp {
public:
    static int run(const Production& production, int argc, char** argv);
};
