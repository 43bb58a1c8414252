// Glass Hall's frame times through the offline renderer, at 640 x 360 unless told
// otherwise: each effect drawn with only what it needs (the cases of the solo check),
// whole sections of the demo, the demo sampled once a second, and beside them the limit
// of this GL: one full-screen pass reading two textures. Frame times are wall-clock
// times between consecutive frames of one render, so they include reading the frame
// back, as a capture does; the first frame of each render (which loads the music
// timer) is left out. Prints one line per figure:
//
//   frame NAME MS
//   cpu CASE MS                    (the CPU time of a frame of the case, all threads)
//   stage CASE EFFECT[/STAGE] MS   (each case again through the frame profiler)
//   share EFFECT[/STAGE] MS COUNT  (with --demo 2: the demo at one frame a second again
//                                   through the profiler; each stage's whole time and
//                                   the frames it ran in: where the demo's time goes)
//
//   bench_frames CASES [--size WxH] [--quality Q] [--sections FROM_MS,...] [--frames N] [--demo 0|1|2]
//                [--mode 0|1]
#include "Demo.h"
#include "FrameProfiler.h"
#include "GlassHallProduction.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "OfflineRenderer.h"
#include "Production.h"
#include "ScreenMetrics.h"
#include "TimelineSolo.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The process's CPU time in ms, every thread (the rasteriser's too) counted.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// Mean ms between consecutive frames of frameCount frames from startMs at fps; the mean
// CPU time of a frame into cpu. On a machine shared with other work the wall time moves
// with the load; the CPU time moves far less.
double timeRender(OfflineRenderer& renderer, int startMs, int fps, int frameCount, double* cpu = nullptr)
{
    Clock::time_point last;
    double lastCpu = 0, sum = 0, cpuSum = 0;
    int counted = 0;
    Status ok = renderer.render(startMs, fps, frameCount, [&](const OfflineRenderer::Frame& frame) {
        Clock::time_point now = Clock::now();
        const double nowCpu = cpuMs();
        if (frame.index > 0) {
            sum += std::chrono::duration<double, std::milli>(now - last).count();
            cpuSum += nowCpu - lastCpu;
            ++counted;
        }
        last = now;
        lastCpu = nowCpu;
        return true;
    });
    if (cpu)
        *cpu = ok && counted > 0 ? cpuSum / counted : -1.0;
    return ok && counted > 0 ? sum / counted : -1.0;
}

GLuint compile(GLenum kind, const char* source)
{
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    return s;
}

struct PassTimes {
    double queued = -1.0; // in a queue of many: what a pass adds to a long frame
    double alone = -1.0;  // with the queue finished before and after, as the profiler times a stage
};

// One full-screen triangle into a w x h target, reading two w x h textures per pixel.
// Queued passes take turns between two targets: llvmpipe drops what an opaque pass that
// covers a whole tile paints over, so passes repeated into one target would time one
// pass in many.
PassTimes timePass(int w, int h, int passes)
{
    const char* vs = "#version 150\nout vec2 uv;\nvoid main() {\n"
                     "  vec2 p = vec2((gl_VertexID << 1) & 2, gl_VertexID & 2);\n"
                     "  uv = p; gl_Position = vec4(p * 2.0 - 1.0, 0.0, 1.0);\n}\n";
    const char* fs = "#version 150\nin vec2 uv;\nuniform sampler2D a;\nuniform sampler2D b;\nout vec4 color;\n"
                     "void main() { color = texture(a, uv) * 0.5 + texture(b, uv.yx) * 0.5; }\n";
    GLuint program = glCreateProgram();
    GLuint v = compile(GL_VERTEX_SHADER, vs), f = compile(GL_FRAGMENT_SHADER, fs);
    glAttachShader(program, v);
    glAttachShader(program, f);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 7);
    GLuint textures[4];
    glGenTextures(4, textures);
    for (GLuint t : textures) {
        glBindTexture(GL_TEXTURE_2D, t);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    GLuint fbos[2], vao;
    glGenFramebuffers(2, fbos);
    bool complete = true;
    for (int i = 0; i < 2; ++i) {
        glBindFramebuffer(GL_FRAMEBUFFER, fbos[i]);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures[2 + i], 0);
        complete = complete && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glViewport(0, 0, w, h);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "a"), 0);
    glUniform1i(glGetUniformLocation(program, "b"), 1);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    PassTimes times;
    if (linked && complete) {
        glDrawArrays(GL_TRIANGLES, 0, 3);
        glFinish();
        Clock::time_point start = Clock::now();
        for (int i = 0; i < passes; ++i) {
            glBindFramebuffer(GL_FRAMEBUFFER, fbos[i & 1]);
            glDrawArrays(GL_TRIANGLES, 0, 3);
        }
        glFinish();
        times.queued = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / passes;
        std::vector<double> alone;
        for (int i = 0; i < passes / 4 + 1; ++i) {
            glFinish();
            Clock::time_point a = Clock::now();
            glDrawArrays(GL_TRIANGLES, 0, 3);
            glFinish();
            alone.push_back(std::chrono::duration<double, std::milli>(Clock::now() - a).count());
        }
        std::nth_element(alone.begin(), alone.begin() + std::ptrdiff_t(alone.size() / 2), alone.end());
        times.alone = alone[alone.size() / 2];
    }
    glActiveTexture(GL_TEXTURE0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindVertexArray(0);
    glUseProgram(0);
    glDeleteVertexArrays(1, &vao);
    glDeleteFramebuffers(2, fbos);
    glDeleteTextures(4, textures);
    glDeleteProgram(program);
    glDeleteShader(v);
    glDeleteShader(f);
    return times;
}

// A stage name as one field: "scene_2_effect / lights" becomes "scene_2_effect/lights".
std::string spaced(std::string name)
{
    for (size_t at = name.find(" / "); at != std::string::npos; at = name.find(" / "))
        name.replace(at, 3, "/");
    return name;
}

void report(const std::string& name, double ms)
{
    if (ms < 0)
        std::cout << "frame " << name << " failed" << std::endl;
    else
        std::printf("frame %s %.2f\n", name.c_str(), ms);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_frames CASES [--size WxH] [--quality Q] [--sections FROM_MS,...] [--frames N] "
                             "[--demo 0|1|2] [--mode 0|1]\n");
        return 2;
    }
    const std::string casesPath = argv[1];
    int width = 640, height = 360, frames = 8, quality = 2;
    int wholeDemo = 1;
    int mode = 1;
    std::vector<int> sections;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--size")
            std::sscanf(argv[i + 1], "%dx%d", &width, &height);
        else if (arg == "--quality")
            quality = std::atoi(argv[i + 1]);
        else if (arg == "--mode")
            mode = std::atoi(argv[i + 1]);
        else if (arg == "--demo")
            wholeDemo = std::atoi(argv[i + 1]);
        else if (arg == "--frames")
            frames = std::max(2, std::atoi(argv[i + 1]));
        else if (arg == "--sections") {
            std::istringstream list(argv[i + 1]);
            std::string item;
            while (std::getline(list, item, ','))
                sections.push_back(std::atoi(item.c_str()));
        }
    }
    // The production's buffers are made at the size it renders at, as the capture makes them.
    ScreenMetrics metrics;
    metrics.setSize(width, height);
    metrics.setFullscreen(false);
    metrics.setQuality(quality);
    std::cout << "Run demo" << std::endl;
    {
        Demo demo(argc, argv);
        const Production& glassHall = GlassHallProduction::get();
        glassHall.install(demo);
        if (demo.load(&metrics, mode)) {
            ORVDemosys::Log::Silence quiet; // the engine's log lines would bury the figures
            const PassTimes pass = timePass(width, height, 200);
            report("pass", pass.queued);
            report("pass-alone", pass.alone);
            OfflineRenderer renderer(width, height);
            TimelineSolo solo(ORVDemosys::tracks);
            std::ifstream in(casesPath);
            std::string line;
            while (std::getline(in, line)) {
                std::istringstream fields(line);
                std::string name, effects;
                int timeMs = 0;
                if (line.empty() || line[0] == '#' || !(fields >> name >> timeMs >> effects))
                    continue;
                std::vector<std::string> list;
                std::istringstream names(effects);
                std::string effect;
                while (std::getline(names, effect, ','))
                    list.push_back(effect);
                solo.keepOnly(list);
                double cpu = 0;
                report("effect:" + name, timeRender(renderer, timeMs, 30, frames, &cpu));
                std::printf("cpu %s %.2f\n", name.c_str(), cpu);
                // Again with the profiler, which serialises the frame: where the time goes.
                ORVDemosys::frameProfiler = new FrameProfiler();
                if (timeRender(renderer, timeMs, 30, frames) >= 0)
                    for (const FrameProfiler::Row& row : ORVDemosys::frameProfiler->getRows())
                        std::printf("stage %s %s %.2f\n", name.c_str(), spaced(row.name).c_str(), row.meanMs());
                ORVDemosys::frameProfiler = nullptr;
                solo.restore();
            }
            for (int from : sections) {
                report("section:" + std::to_string(from), timeRender(renderer, from, 30, 3 * frames));
            }
            // One frame a second of the whole demo.
            const int seconds = static_cast<int>(ORVDemosys::endTime.getTotal() / 1000);
            if (wholeDemo)
                report("demo", timeRender(renderer, 0, 1, seconds));
            if (wholeDemo == 2) {
                ORVDemosys::frameProfiler = new FrameProfiler();
                if (timeRender(renderer, 0, 1, seconds) >= 0)
                    for (const FrameProfiler::Row& row : ORVDemosys::frameProfiler->getRows())
                        std::printf("share %s %.1f %d\n", spaced(row.name).c_str(), row.totalMs, row.count);
                ORVDemosys::frameProfiler = nullptr;
            }
        }
        ORVDemosys::shutdown();
    }
    return 0;
}
