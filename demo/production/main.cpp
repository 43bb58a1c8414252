// Glass Hall: the setup dialog first, then the demo from resources.7z; or, with --edit,
// the demo maker's preview (no dialog, loose files, the transport, the overlay and
// reloads of edited files).
#include "DemoApp.h"
#include "GlassHallProduction.h"

int main(int argc, char** argv) { return DemoApp::run(GlassHallProduction::get(), argc, argv); }
