// @TITLE@: the setup dialog, then the demo from resources.7z; with --edit the preview.
#include "DemoProduction.h"

#include <demosys/app/DemoApp.h>

int main(int argc, char** argv) { return DemoApp::run(demoProduction(), argc, argv); }
