// A minimal program on the engine: opens a window, runs the frame loop on the base
// clock until Escape (or the end position) and shuts down in order.
//
//   demo_smoke [--fullscreen] [--size WxH] [--start MS] [--end MS] [--music FILE]
//              [--slow-load MS]
//
// --slow-load makes every redraw of the loading screen take MS milliseconds more, so a
// test can press keys while the demo loads.
#include "Demo.h"
#include "ORVDemosys.h"
#include "ProgressBar.h"
#include "ResourceDefinition.h"
#include "ScreenMetrics.h"
#include "TimeCode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <thread>

namespace {

// A production with nothing to load that keeps the window size and time span it is
// given.
class SmokeDefinition : public ResourceDefinition {
public:
    void configure(ScreenMetrics*) override {}
};

// The engine's loading screen, slowed down: each redraw stands still for a while, as a
// long loading step would.
class SlowLoadingScreen : public ProgressBar {
public:
    explicit SlowLoadingScreen(int ms) : delayMs(ms) {}
    void draw() override
    {
        ProgressBar::draw();
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    }

private:
    int delayMs;
};

} // namespace

int main(int argc, char** argv)
{
    ScreenMetrics metrics;
    metrics.setSize(640, 360);
    metrics.setFullscreen(false);
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--fullscreen")) {
            metrics.setFullscreen(true);
        } else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) {
            int w = 0, h = 0;
            if (std::sscanf(argv[++i], "%dx%d", &w, &h) == 2)
                metrics.setSize(w, h);
        } else if (!std::strcmp(argv[i], "--start") && i + 1 < argc) {
            ORVDemosys::startTime = TimeCode(static_cast<uint32_t>(std::atoi(argv[++i])));
        } else if (!std::strcmp(argv[i], "--music") && i + 1 < argc) {
            ORVDemosys::musicFile = argv[++i];
        } else if (!std::strcmp(argv[i], "--end") && i + 1 < argc) {
            ORVDemosys::endTime = TimeCode(static_cast<uint32_t>(std::atoi(argv[++i])));
        } else if (!std::strcmp(argv[i], "--slow-load") && i + 1 < argc) {
            ORVDemosys::progressBar = new SlowLoadingScreen(std::atoi(argv[++i]));
        }
    }
    std::printf("Run demo\n");
    Demo demo(argc, argv);
    ORVDemosys::resources = new SmokeDefinition();
    demo.setTitle("Demosys smoke test");
    // A failed load is shown by shutdown's failure texts; run() then does nothing.
    static_cast<void>(demo.load(&metrics, 0));
    demo.setCallbacks();
    demo.run();
    ORVDemosys::shutdown();
    std::printf("frames = %u\n", ORVDemosys::frameCount);
    return 0;
}
