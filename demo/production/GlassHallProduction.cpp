#include "GlassHallProduction.h"

#include "GlassHallProgressBar.h"
#include "GlassHallResources.h"
#include "GlassHallShaderCache.h"
#include "Production.h"

#include "OrvaneGuiLogo.xpm"

const Production& GlassHallProduction::get()
{
    static const Production production = [] {
        Production p;
        p.title = "Glass Hall";
        p.programName = "glasshall";
        p.dialogTitle = "Orvane Demosys v.2.0";
        p.dialogLogo = orvane_gui_logo_xpm;
        p.makeResources = [] { return new GlassHallResources(); };
        p.makeShaderCache = [] { return new GlassHallShaderCache(); };
        p.makeProgressBar = [] { return new GlassHallProgressBar(); };
        p.syncScript = "content/sync/glasshall.sync";
        p.score = "content/music/glass_hall.score";
        return p;
    }();
    return production;
}
