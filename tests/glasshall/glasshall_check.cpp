// Glass Hall without its setup dialog, for the tests: loads the production in a window of
// a given size and quality, then either plays a stretch of the timeline through the real
// frame loop or draws chosen effects alone through the offline renderer.
//
//   glasshall_check [--mode N] [--size WxH] [--quality Q] [--play FROM_MS TO_MS]
//                   [--solo CASES OUT_DIR [--render-size WxH]] [--purity TIMES OUT_DIR]
//
// The log is the program's own from "Run demo" on, as glasshall prints it. --play
// starts the demo at FROM_MS and ends it at TO_MS (music time). --solo reads CASES, one
// case a line:   NAME TIME_MS EFFECT[,EFFECT...]
// keeps only those effects' ranges on the timeline, renders the frame at TIME_MS (after
// two frames before it) into OUT_DIR/NAME.png, renders it again without the first
// effect, and prints "Solo NAME: ok" when the frame is neither black nor flat and the
// first effect changed it, otherwise "Solo NAME: FAILED: ..." with the figures.
// --purity reads TIMES, one "NAME TIME_MS" a line, and renders the frame at each time
// six ways: alone, at the end of runs from 10 s before at 25 and at 60 fps, after a
// seek from 3 s before and a pause (the same time drawn many times), after a seek back
// from 5 s later, and alone with the clipping to what the overlay shows switched off
// (FBO::setClipping). It prints "Purity NAME: ok" when all six are the same bit for
// bit, otherwise "Purity NAME: FAILED: ..." and writes the differing frames to OUT_DIR.
#include "Demo.h"
#include "FBO.h"
#include "GlassHallProduction.h"
#include "ImageCompare.h"
#include "ORVDemosys.h"
#include "OfflineRenderer.h"
#include "Production.h"
#include "ScreenMetrics.h"
#include "TimeCode.h"
#include "TimelineSolo.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

namespace {

struct Case {
    std::string name;
    int timeMs = 0;
    std::vector<std::string> effects;
};

std::vector<Case> readCases(const std::string& path)
{
    std::vector<Case> cases;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Case c;
        std::string effects;
        if (!(fields >> c.name >> c.timeMs >> effects))
            continue;
        std::istringstream names(effects);
        std::string name;
        while (std::getline(names, name, ','))
            c.effects.push_back(name);
        cases.push_back(c);
    }
    return cases;
}

// Luminance statistics of a frame.
struct FrameStats {
    double mean = 0;
    double spread = 0; // standard deviation
    double lit = 0;    // share of pixels brighter than 8 in some channel
};

FrameStats statsOf(const RgbaImage& image)
{
    FrameStats s;
    const size_t n = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    if (n == 0)
        return s;
    double sum = 0, sumSquares = 0;
    size_t lit = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = image.pixels.data() + i * 4;
        const double y = 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
        sum += y;
        sumSquares += y * y;
        if (p[0] > 8 || p[1] > 8 || p[2] > 8)
            ++lit;
    }
    s.mean = sum / static_cast<double>(n);
    s.spread = std::sqrt(std::max(0.0, sumSquares / static_cast<double>(n) - s.mean * s.mean));
    s.lit = static_cast<double>(lit) / static_cast<double>(n);
    return s;
}

// The last of three frames ending at timeMs, with only the given effects on the timeline.
Status renderAlone(OfflineRenderer& renderer, TimelineSolo& solo, const std::vector<std::string>& effects, int timeMs,
                 RgbaImage& out)
{
    solo.keepOnly(effects);
    const int fps = 30;
    const int start = std::max(0, timeMs - 2 * 1000 / fps);
    Status ok = renderer.render(start, fps, 3, [&](const OfflineRenderer::Frame& frame) {
        out.width = frame.width;
        out.height = frame.height;
        out.pixels = frame.pixels;
        return true;
    });
    solo.restore();
    return ok;
}

// Every pixel of the last frame of a render.
struct LastFrame {
    RgbaImage image;
    OfflineRenderer::Sink sink()
    {
        return [this](const OfflineRenderer::Frame& frame) {
            image.width = frame.width;
            image.height = frame.height;
            image.pixels = frame.pixels;
            return true;
        };
    }
};

void runPurity(const std::string& timesPath, const std::string& outDir, int width, int height)
{
    std::filesystem::create_directories(outDir);
    OfflineRenderer renderer(width, height);
    std::ifstream in(timesPath);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        int t = 0;
        if (line.empty() || line[0] == '#' || !(fields >> name >> t))
            continue;
        const int before = std::max(0, t - 10000);
        std::vector<int> paused{std::max(0, t - 3000)};
        paused.resize(12, t);
        struct Way {
            const char* name;
            std::function<Status(LastFrame&)> render;
        };
        const Way ways[] = {
            {"alone", [&](LastFrame& f) { return renderer.renderTimes({t}, f.sink()); }},
            {"run-25fps", [&](LastFrame& f) { return renderer.render(before, 25, (t - before) * 25 / 1000 + 1, f.sink()); }},
            {"run-60fps", [&](LastFrame& f) { return renderer.render(before, 60, (t - before) * 60 / 1000 + 1, f.sink()); }},
            {"paused", [&](LastFrame& f) { return renderer.renderTimes(paused, f.sink()); }},
            {"seek-back", [&](LastFrame& f) { return renderer.renderTimes({t + 5000, t}, f.sink()); }},
            {"unclipped", [&](LastFrame& f) {
                 FBO::setClipping(false);
                 Status rendered = renderer.renderTimes({t}, f.sink());
                 FBO::setClipping(true);
                 return rendered;
             }},
        };
        LastFrame first;
        std::string fault;
        for (const Way& way : ways) {
            LastFrame frame;
            Status rendered = way.render(frame);
            if (!rendered) {
                fault = std::string(way.name) + ": " + rendered.reason();
                break;
            }
            if (&way == &ways[0]) {
                first = frame;
                continue;
            }
            size_t differing = 0;
            for (size_t i = 0; i < frame.image.pixels.size(); i += 4)
                if (std::memcmp(&frame.image.pixels[i], &first.image.pixels[i], 4) != 0)
                    ++differing;
            if (differing > 0) {
                fault += std::string(fault.empty() ? "" : "; ") + way.name + " differs from alone in " +
                         std::to_string(differing) + " pixels";
                writePng(outDir + "/" + name + "-" + way.name + ".png", frame.image);
                writePng(outDir + "/" + name + "-alone.png", first.image);
            }
        }
        const FrameStats s = statsOf(first.image);
        if (fault.empty() && (s.lit < 0.02 || s.spread < 2.0))
            fault = "the frame is black or flat";
        std::cout << "Purity " << name << ": " << (fault.empty() ? "ok" : "FAILED: " + fault) << std::endl;
    }
}

void runSolo(const std::string& casesPath, const std::string& outDir, int width, int height)
{
    std::filesystem::create_directories(outDir);
    OfflineRenderer renderer(width, height);
    TimelineSolo solo(ORVDemosys::tracks);
    for (const Case& c : readCases(casesPath)) {
        RgbaImage with, without;
        std::vector<std::string> rest(c.effects.begin() + 1, c.effects.end());
        Status rendered = renderAlone(renderer, solo, c.effects, c.timeMs, with);
        if (rendered)
            rendered = renderAlone(renderer, solo, rest, c.timeMs, without);
        if (!rendered) {
            std::cout << "Solo " << c.name << ": FAILED: " << rendered.reason() << std::endl;
            continue;
        }
        writePng(outDir + "/" + c.name + ".png", with);
        const FrameStats s = statsOf(with);
        const double changed = compareImages(with, without).meanAbsolute;
        char figures[160];
        std::snprintf(figures, sizeof(figures), "mean %.1f, spread %.1f, lit %.0f%%, change %.2f", s.mean, s.spread,
                      100.0 * s.lit, changed);
        std::string fault;
        if (s.lit < 0.02)
            fault = "black";
        else if (s.spread < 2.0)
            fault = "flat";
        else if (changed < 0.05)
            fault = c.effects[0] + " changes nothing";
        std::cout << "Solo " << c.name << ": " << (fault.empty() ? "ok" : "FAILED: " + fault) << " (" << figures << ")"
                  << std::endl;
    }
}

bool parseSize(const char* text, int& w, int& h) { return std::sscanf(text, "%dx%d", &w, &h) == 2; }

} // namespace

int main(int argc, char** argv)
{
    ScreenMetrics metrics;
    metrics.setSize(320, 180);
    metrics.setFullscreen(false);
    int mode = 0;
    int playFrom = -1, playTo = -1;
    std::string casesPath, outDir, purityPath;
    int renderWidth = 0, renderHeight = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        int w = 0, h = 0;
        if (arg == "--mode" && more) {
            mode = std::atoi(argv[++i]);
        } else if (arg == "--size" && more && parseSize(argv[i + 1], w, h)) {
            metrics.setSize(w, h);
            ++i;
        } else if (arg == "--quality" && more) {
            metrics.setQuality(std::atoi(argv[++i]));
        } else if (arg == "--play" && i + 2 < argc) {
            playFrom = std::atoi(argv[++i]);
            playTo = std::atoi(argv[++i]);
        } else if (arg == "--solo" && i + 2 < argc) {
            casesPath = argv[++i];
            outDir = argv[++i];
        } else if (arg == "--purity" && i + 2 < argc) {
            purityPath = argv[++i];
            outDir = argv[++i];
        } else if (arg == "--render-size" && more && parseSize(argv[i + 1], renderWidth, renderHeight)) {
            ++i;
        } else {
            std::cerr << "glasshall_check: unknown argument '" << arg << "'" << std::endl;
            return 2;
        }
    }

    std::cout << "Run demo" << std::endl;
    {
        Demo demo(argc, argv);
        const Production& glassHall = GlassHallProduction::get();
        glassHall.install(demo);
        if (demo.load(&metrics, mode)) {
            if (!purityPath.empty()) {
                runPurity(purityPath, outDir, renderWidth > 0 ? renderWidth : metrics.getWidth(),
                          renderHeight > 0 ? renderHeight : metrics.getHeight());
            } else if (!casesPath.empty()) {
                runSolo(casesPath, outDir, renderWidth > 0 ? renderWidth : metrics.getWidth(),
                        renderHeight > 0 ? renderHeight : metrics.getHeight());
            } else if (playFrom >= 0) {
                ORVDemosys::startTime = TimeCode(static_cast<uint32_t>(playFrom));
                ORVDemosys::endTime = TimeCode(static_cast<uint32_t>(playTo));
                demo.setCallbacks();
                demo.run();
            }
        }
        ORVDemosys::shutdown();
    }
    return 0;
}
