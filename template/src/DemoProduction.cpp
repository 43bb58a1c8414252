#include "DemoProduction.h"

#include "DemoResources.h"

#include <demosys/app/Production.h>

const Production& demoProduction()
{
    static const Production production = [] {
        Production p;
        p.title = "@TITLE@";
        p.programName = "@NAME@";
        p.dialogTitle = "@TITLE@";
        p.makeResources = [] { return new DemoResources(); };
        // Edit mode watches the sync script (and a beat grid, if you give one with
        // p.score), found relative to where the program runs or to this source folder.
        p.syncScript = "sync/@NAME@.sync";
        return p;
    }();
    return production;
}
