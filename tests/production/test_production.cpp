// The test production: loads its resources through every stage of the engine, then
// runs the frame loop, renders frames offline or writes the packing script.
//
//   test_production --make-media DIR      writes the generated resources into DIR
//                                         (graphics/, misc/, video/)
//   test_production [--mode N] [--size WxH] [--frames N] [--pack SCRIPT]
//                   [--render START_MS FPS COUNT OUT_DIR [--render-size WxH] [--reference PNG]]
//                   [--edit [--resources DIR] [--sync FILE] [--score FILE]]
//
// --frames ends the frame loop after N frames; --pack writes the packing script after
// the load instead of running; --render writes COUNT frames from START_MS at FPS frames
// per second as OUT_DIR/frame_NNNN.png (at the window size unless --render-size says
// otherwise) and, with --reference, compares the last with a
// reference image. --edit runs the live-editing preview on loose files (as glasshall
// --edit does), watching the sync script and beat grid given. The exit status is 0 whatever happens while loading, as for the demo.
#include "Demo.h"
#include "EditMode.h"
#include "ImageCompare.h"
#include "LoadingPipeline.h"
#include "ORVDemosys.h"
#include "OfflineRenderer.h"
#include "PanelEffect.h"
#include "PngWriter.h"
#include "ScreenMetrics.h"
#include "TestLoadingScreen.h"
#include "TestProductionDefinition.h"
#include "TestShaderCache.h"
#include "TestVideo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The texture: a soft gradient with a checker of 8-pixel squares, so orientation and
// filtering both show.
std::string backdropPng()
{
    const int size = 64;
    std::vector<uint8_t> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool light = ((x / 8) + (y / 8)) % 2 == 0;
            pixels.push_back(static_cast<uint8_t>(60 + x * 2 + (light ? 40 : 0)));
            pixels.push_back(static_cast<uint8_t>(50 + y * 2 + (light ? 40 : 0)));
            pixels.push_back(static_cast<uint8_t>(light ? 200 : 120));
        }
    return encodePng(size, size, 3, pixels);
}

int makeMedia(const std::string& dir)
{
    std::string error;
    TestVideoOptions video;
    video.frames = 30;
    video.keyInterval = 10;
    // A time base of one frame, so the header's rate is the frame rate.
    video.timebase = "1/30";
    std::filesystem::create_directories(dir + "/video");
    bool ok = writeFile(dir + "/graphics/backdrop.png", backdropPng()) &&
              writeFile(dir + "/misc/palette.bin", std::string("\xff\xe0\xc0", 3)) &&
              writeFile(dir + "/misc/notes.txt", "Declared, packed and never loaded.\n") &&
              encodeTestVideo(video, dir + "/video/clip.ivf", error);
    if (!ok) {
        std::cerr << "test_production: cannot write the media into " << dir << (error.empty() ? "" : ": ") << error
                  << std::endl;
        return 1;
    }
    return 0;
}

struct RenderRequest {
    int startMs = 0;
    int fps = 30;
    int count = 0;
    std::string outDir;
    std::string reference;
    int width = 0;
    int height = 0;
};

void renderFrames(const RenderRequest& request, int width, int height)
{
    OfflineRenderer renderer(width, height);
    RgbaImage last;
    std::filesystem::create_directories(request.outDir);
    bool written = true;
    Status ok = renderer.render(request.startMs, request.fps, request.count, [&](const OfflineRenderer::Frame& frame) {
        char name[32];
        std::snprintf(name, sizeof(name), "/frame_%04d.png", frame.index);
        last.width = frame.width;
        last.height = frame.height;
        last.pixels = frame.pixels;
        written = writePng(request.outDir + name, last) && written;
        std::cout << "Rendered frame " << frame.index << " at " << frame.timeMs << " ms" << std::endl;
        return true;
    });
    if (!ok || !written) {
        std::cout << "Render failed: " << (ok ? "cannot write into " + request.outDir : ok.reason())
                  << std::endl;
        return;
    }
    if (request.reference.empty())
        return;
    std::string report;
    if (matchesReference(last, request.reference, "test_production", 1.0, 40.0, report))
        std::cout << "Reference: match" << std::endl;
    else
        std::cout << "Reference: differs: " << report << std::endl;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && !std::strcmp(argv[1], "--make-media"))
        return makeMedia(argv[2]);

    ScreenMetrics metrics;
    metrics.setSize(320, 180);
    metrics.setFullscreen(false);
    int mode = 0;
    std::string packScript;
    RenderRequest render;
    EditMode edit;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--mode" && more) {
            mode = std::atoi(argv[++i]);
        } else if (arg == "--size" && more) {
            int w = 0, h = 0;
            if (std::sscanf(argv[++i], "%dx%d", &w, &h) == 2)
                metrics.setSize(w, h);
        } else if (arg == "--frames" && more) {
            PanelEffect::quitAfterFrames(std::atoi(argv[++i]));
        } else if (arg == "--pack" && more) {
            packScript = argv[++i];
        } else if (arg == "--render" && i + 4 < argc) {
            render.startMs = std::atoi(argv[++i]);
            render.fps = std::atoi(argv[++i]);
            render.count = std::atoi(argv[++i]);
            render.outDir = argv[++i];
        } else if (arg == "--render-size" && more) {
            if (std::sscanf(argv[++i], "%dx%d", &render.width, &render.height) != 2)
                render.width = render.height = 0;
        } else if (arg == "--reference" && more) {
            render.reference = argv[++i];
        } else {
            Status taken = edit.takeOption(argc, argv, i);
            if (taken)
                continue;
            std::cerr << "test_production: " << taken.reason() << std::endl;
            return 2;
        }
    }
    if (edit.isEnabled()) {
        Status prepared = edit.prepare("", "");
        if (!prepared) {
            std::cerr << "test_production: " << prepared.reason() << std::endl;
            return 1;
        }
        mode = 0;
    }

    Demo demo(argc, argv);
    ORVDemosys::resources = new TestProductionDefinition();
    ORVDemosys::shaderCache = new TestShaderCache();
    ORVDemosys::progressBar = new TestLoadingScreen();
    demo.setTitle("Demosys test production");
    if (demo.load(&metrics, mode)) {
        if (!packScript.empty()) {
            LoadingPipeline::writePackScript("7z", packScript);
        } else if (!render.outDir.empty()) {
            renderFrames(render, render.width > 0 ? render.width : metrics.getWidth(),
                         render.height > 0 ? render.height : metrics.getHeight());
        } else {
            demo.setCallbacks();
            edit.install();
            demo.run();
        }
    }
    ORVDemosys::shutdown();
    return 0;
}
