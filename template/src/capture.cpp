// @NAME@-capture: @TITLE@ rendered offline into a video, PNG frames or a contact sheet.
#include "DemoProduction.h"

#include <demosys/app/CaptureApp.h>

int main(int argc, char** argv) { return CaptureApp::run(demoProduction(), argc, argv); }
