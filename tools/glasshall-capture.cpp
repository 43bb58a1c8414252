// glasshall-capture: Glass Hall rendered offline (see CaptureApp, or --help).
#include "CaptureApp.h"
#include "GlassHallProduction.h"

int main(int argc, char** argv) { return CaptureApp::run(GlassHallProduction::get(), argc, argv); }
