#include "LogCapture.h"

#include "Log.h"

#include <memory>

namespace {
std::unique_ptr<ORVDemosys::Log::Capture> capture;
}

void captureLog() { capture = std::make_unique<ORVDemosys::Log::Capture>(); }

std::string capturedLog()
{
    if (!capture)
        return std::string();
    std::string text = capture->str();
    capture.reset();
    return text;
}
