// A production rendered offline, frame by frame, into a video, a PNG sequence, one frame
// or a contact sheet. Frame k of a range is drawn at FROM + k * 1000 / FPS ms (whole ms)
// with the music standing at that time; every frame is a function of its time, so a
// frame alone, inside any capture and in the demo itself are the same picture, and two
// captures of the same range are the same file. The MP4's sound is the music of the
// range, decoded by the engine's sound layer, so the picture and the sound start
// together. Its GL context is offscreen (EGL), so it runs on a server without a display.
#include "CaptureApp.h"
#include "CaptureOptions.h"
#include "CaptureProgress.h"
#include "Demo.h"
#include "FrameProfiler.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "OfflineRenderer.h"
#include "PngWriter.h"
#include "Production.h"
#include "ResourceFile.h"
#include "ScreenMetrics.h"
#include "SoundSystem.h"
#include "TextPainter.h"
#include "TimeCode.h"
#include "VideoEncoder.h"
#include "VideoFrameQueue.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using ORVDemosys::Log;

namespace fs = std::filesystem;

using Output = CaptureOptions::Output;
using Preset = CaptureOptions::Preset;
using Shot = CaptureOptions::Shot;

namespace {

// The program's name in its messages: the production's name + "-capture".
std::string programName = "capture";

// One line on standard error, after the progress bar's line if one is open.
void say(const std::string& text) { std::cerr << programName << ": " << text << std::endl; }

// The signal that asked the capture to stop, 0 while none has.
std::atomic<int> interrupted{0};
void onSignal(int signal) { interrupted = signal; }


// RGBA bottom row first (as GL reads) to RGB top row first (as files and ffmpeg want).
void toRgbTopFirst(const uint8_t* rgba, int width, int height, std::vector<uint8_t>& rgb)
{
    const size_t w = static_cast<size_t>(width);
    rgb.resize(w * static_cast<size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = rgba + static_cast<size_t>(height - 1 - y) * w * 4;
        uint8_t* dst = rgb.data() + static_cast<size_t>(y) * w * 3;
        for (size_t x = 0; x < w; ++x) {
            dst[x * 3] = src[x * 4];
            dst[x * 3 + 1] = src[x * 4 + 1];
            dst[x * 3 + 2] = src[x * 4 + 2];
        }
    }
}

void toRgbTopFirst(const OfflineRenderer::Frame& frame, std::vector<uint8_t>& rgb)
{
    toRgbTopFirst(frame.pixels.data(), frame.width, frame.height, rgb);
}

// The music of frames [0, frameCount) of a range starting at fromMs, as a 16-bit stereo
// WAV at the music's own rate, decoded by the engine's sound layer as the demo plays it;
// silence past its end.
bool writeMusicRange(const std::string& wavPath, int64_t fromMs, int64_t frameCount, int fps, std::string& error)
{
    const std::string path = ORVDemosys::soundDirectory + ORVDemosys::musicFile;
    const int mode = ORVIO::getMode();
    // The load has closed the archive; the music is read from it again.
    if (mode == ORVIO::ModeArchive)
        ORVIO::init(ORVIO::ModeArchive);
    std::unique_ptr<ResourceFile> file(ORVIO::loadFile(path));
    if (mode == ORVIO::ModeArchive)
        ORVIO::release();
    if (!file || !file->isLoaded()) {
        error = "cannot read the music " + path;
        return false;
    }
    SoundSystem* system = nullptr;
    if (SoundSystem::create(&system) != SoundOk || !system) {
        error = "the sound layer does not start";
        return false;
    }
    struct Release {
        SoundSystem* s;
        ~Release() { s->release(); }
    } release{system};
    if (system->init(1, SoundSystem::InitOffline, nullptr) != SoundOk) {
        error = "the sound layer does not start: " + system->getLastError();
        return false;
    }
    SoundCreateInfo info;
    info.size = static_cast<int>(sizeof(SoundCreateInfo));
    info.length = static_cast<unsigned>(file->byteSize());
    Sound* sound = nullptr;
    if (system->createSound(reinterpret_cast<const char*>(file->bytes().data()),
                            SoundSystem::ModeMemory | SoundSystem::ModeSoftware, &info, &sound) != SoundOk ||
        !sound) {
        error = "cannot decode the music " + path + ": " + system->getLastError();
        return false;
    }
    const int rate = sound->getSampleRate();
    const int64_t first = fromMs * rate / 1000;
    const int64_t count = frameCount * rate / fps;
    const std::vector<int16_t>& pcm = sound->pcm();
    const int64_t available = static_cast<int64_t>(sound->frameCount());

    std::vector<int16_t> out(static_cast<size_t>(count) * 2, 0);
    for (int64_t i = 0; i < count && first + i < available; ++i) {
        out[static_cast<size_t>(i) * 2] = pcm[static_cast<size_t>(first + i) * 2];
        out[static_cast<size_t>(i) * 2 + 1] = pcm[static_cast<size_t>(first + i) * 2 + 1];
    }

    std::ofstream wav(wavPath, std::ios::binary);
    auto u32 = [&](uint32_t v) {
        const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        wav.write(b, 4);
    };
    auto u16 = [&](uint16_t v) {
        const char b[2] = {char(v), char(v >> 8)};
        wav.write(b, 2);
    };
    const uint32_t dataBytes = static_cast<uint32_t>(out.size() * 2);
    wav.write("RIFF", 4);
    u32(36 + dataBytes);
    wav.write("WAVEfmt ", 8);
    u32(16);
    u16(1); // PCM
    u16(2);
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate) * 4);
    u16(4);
    u16(16);
    wav.write("data", 4);
    u32(dataBytes);
    for (int16_t s : out)
        u16(static_cast<uint16_t>(s));
    wav.close();
    if (!wav) {
        error = "cannot write the sound to " + wavPath;
        return false;
    }
    return true;
}

// Where the engine finds its files: it reads "resources.7z" or "resources/..." relative
// to the working directory, so a run on another archive or tree works in a scratch
// directory holding a link of that name.
class Workplace {
public:
    ~Workplace()
    {
        if (!scratch.empty()) {
            std::error_code ignored;
            fs::current_path(home, ignored);
            fs::remove_all(scratch, ignored);
        }
    }

    bool make(std::string& error)
    {
        home = fs::current_path();
        char pattern[] = "/tmp/demosys-capture.XXXXXX";
        if (!mkdtemp(pattern)) {
            error = std::string("cannot make a scratch directory: ") + std::strerror(errno);
            return false;
        }
        scratch = pattern;
        return true;
    }

    // Links name in the scratch directory to target and works there.
    bool linkAndEnter(const std::string& target, const std::string& name, std::string& error)
    {
        std::error_code e;
        fs::create_symlink(fs::absolute(target), scratch / name, e);
        if (!e)
            fs::current_path(scratch, e);
        if (e) {
            error = "cannot set up " + target + ": " + e.message();
            return false;
        }
        return true;
    }

    const fs::path& scratchDir() const { return scratch; }

private:
    fs::path home;
    fs::path scratch;
};

// A contact sheet: the frames in rows of up to six, each with its time under it.
bool writeSheet(const std::string& path, const std::vector<std::vector<uint8_t>>& tiles,
                const std::vector<int64_t>& times, int tileW, int tileH, std::string& error)
{
    const int count = static_cast<int>(tiles.size());
    const int columns = std::min(count, 6);
    const int rows = (count + columns - 1) / columns;
    const int gap = std::max(4, tileW / 60);
    const int label = std::max(16, tileH / 8);
    const int width = columns * tileW + (columns + 1) * gap;
    const int height = rows * (tileH + label) + (rows + 1) * gap;
    std::vector<uint8_t> sheet(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 24);

    TextPainter text;
    Status opened = text.open(TextPainter::defaultFont, label * 7 / 10);
    if (!opened) {
        error = opened.reason();
        return false;
    }
    const uint8_t ink[3] = {230, 230, 230};
    for (int i = 0; i < count; ++i) {
        const int x0 = gap + (i % columns) * (tileW + gap);
        const int y0 = gap + (i / columns) * (tileH + label + gap);
        for (int y = 0; y < tileH; ++y)
            std::memcpy(sheet.data() + (static_cast<size_t>(y0 + y) * width + x0) * 3,
                        tiles[static_cast<size_t>(i)].data() + static_cast<size_t>(y) * tileW * 3,
                        static_cast<size_t>(tileW) * 3);
        const std::string caption = CaptureOptions::formatTime(times[static_cast<size_t>(i)]);
        const int baseline = y0 + tileH + (label + text.capHeight()) / 2;
        text.draw(sheet, width, height, x0 + (tileW - text.measure(caption)) / 2, baseline, caption, ink);
    }
    Status written = writePngFile(path, width, height, 3, sheet.data(), false);
    error = written.reason();
    return written.ok();
}

// The capture once the production is loaded.
class Capture {
public:
    Capture(const CaptureOptions& o, const fs::path& scratch) : o(o), scratch(scratch), renderer(o.width, o.height) {}

    // Exit status 2 with the reason when the times asked for lie outside the demo;
    // checked before anything is written.
    bool checkTimes(std::string& error)
    {
        const int64_t end = ORVDemosys::endTime.getTotal();
        auto past = [&](const std::string& what, int64_t t) {
            error = what + " " + CaptureOptions::formatTime(t) + " lies past the end of the demo at " +
                    CaptureOptions::formatTime(end);
            return false;
        };
        switch (o.kind) {
        case Output::Frame:
            return o.atMs <= end || past("--at", o.atMs);
        case Output::List:
            if (!CaptureOptions::readList(o.listPath, shots, error))
                return false;
            for (const Shot& shot : shots)
                if (shot.timeMs > end)
                    return past("'" + shot.name + "' at", shot.timeMs);
            return true;
        default:
            break;
        }
        if (o.fromMs >= end)
            return past("--from", o.fromMs);
        if (o.toMs > end)
            return past("--to", o.toMs);
        if (toMs() <= fromMs()) {
            error = "the range " + CaptureOptions::formatTime(fromMs()) + " to " + CaptureOptions::formatTime(toMs()) +
                    " is empty";
            return false;
        }
        return true;
    }

    int run()
    {
        switch (o.kind) {
        case Output::Video: return video();
        case Output::Sequence: return sequence();
        case Output::Frame: return frame();
        case Output::Sheet: return sheet();
        case Output::List: return list();
        }
        return 1;
    }

    int64_t fromMs() const { return o.fromMs >= 0 ? o.fromMs : ORVDemosys::startTime.getTotal(); }
    int64_t toMs() const { return o.toMs >= 0 ? o.toMs : ORVDemosys::endTime.getTotal(); }
    // Frames whose times lie in [from, to).
    int64_t frameCount() const { return ((toMs() - fromMs()) * o.fps + 999) / 1000; }

private:
    int fail(const std::string& text)
    {
        say(text);
        return 1;
    }
    // Bad input: exit status 2.
    int refuse(const std::string& text)
    {
        say(text);
        return 2;
    }
    // 128 + the signal, as a shell reports a program that the signal ended.
    int stopped()
    {
        fail("interrupted");
        return 128 + interrupted;
    }

    // Renders count frames from startMs, handing each to take; false on a render error
    // or when take says stop.
    bool render(int64_t startMs, int64_t count, const std::function<bool(const OfflineRenderer::Frame&)>& take,
                std::string& error)
    {
        bool stoppedBySink = false;
        Status ok = renderer.render(static_cast<int>(startMs), o.fps, static_cast<int>(count),
                                    [&](const OfflineRenderer::Frame& f) {
                                        if (interrupted || !take(f)) {
                                            stoppedBySink = true;
                                            return false;
                                        }
                                        return true;
                                    });
        if (!ok)
            error = ok.reason();
        return ok && !stoppedBySink;
    }

    int video()
    {
        std::string error;
        const int64_t count = frameCount();
        // A production without music makes a silent video.
        const std::string wav = ORVDemosys::musicFile.empty() ? "" : (scratch / "music.wav").string();
        if (!wav.empty() && !writeMusicRange(wav, fromMs(), count, o.fps, error))
            return fail(error);
        VideoEncoder encoder;
        VideoEncoder::Settings s;
        s.output = o.output;
        s.audioWav = wav;
        s.logPath = (scratch / "ffmpeg.log").string();
        s.width = o.width;
        s.height = o.height;
        s.fps = o.fps;
        if (const Preset* p = o.preset) {
            s.speed = p->speed;
            s.profile = p->profile;
            s.videoKbps = p->videoKbps;
            s.crf = p->crf;
            s.maxKbps = p->maxKbps;
            s.audioKbps = p->audioKbps;
            s.audioRate = p->audioRate;
        }
        Status started = encoder.start(s);
        if (!started)
            return fail(started.reason());
        CaptureProgress progress("capture", count);
        // The encoder is fed from a thread of its own while the next frame renders.
        std::vector<uint8_t> rgb;
        VideoFrameQueue queue([&](const std::vector<uint8_t>& rgba) {
            toRgbTopFirst(rgba.data(), o.width, o.height, rgb);
            return encoder.writeFrame(rgb.data());
        });
        bool ok = render(fromMs(), count, [&](const OfflineRenderer::Frame& f) {
            Status queued = queue.push(f.pixels.data(), f.pixels.size());
            if (!queued) {
                error = queued.reason();
                return false;
            }
            progress.step(f.index + 1);
            return true;
        }, error);
        if (ok) {
            Status written = queue.drain();
            if (!written) {
                ok = false;
                error = written.reason();
            }
        }
        // The encoder is the main thread's again.
        queue.stop();
        progress.close();
        if (!ok) {
            encoder.abort();
            return interrupted ? stopped() : fail(error);
        }
        Status finished = encoder.finish();
        if (!finished)
            return fail(finished.reason());
        return 0;
    }

    int sequence()
    {
        std::string error;
        std::error_code e;
        fs::create_directories(o.output, e);
        if (e || !fs::is_directory(o.output))
            return fail("cannot make the folder " + o.output + (e ? ": " + e.message() : ""));
        const int64_t count = frameCount();
        CaptureProgress progress("capture", count);
        std::vector<uint8_t> rgb;
        const bool ok = render(fromMs(), count, [&](const OfflineRenderer::Frame& f) {
            char name[32];
            std::snprintf(name, sizeof(name), "frame_%06d.png", f.index);
            // Opaque frames: the framebuffer's alpha is whatever the last pass left, not a
            // coverage a video editor should composite with.
            toRgbTopFirst(f, rgb);
            Status written = writePngFile((fs::path(o.output) / name).string(), f.width, f.height, 3, rgb.data(), false);
            if (!written) {
                error = written.reason();
                return false;
            }
            progress.step(f.index + 1);
            return true;
        }, error);
        progress.close();
        if (!ok)
            return interrupted ? stopped() : fail(error);
        return 0;
    }

    // One frame at t, top row first.
    bool still(int64_t t, std::vector<uint8_t>& rgb, std::string& error)
    {
        return render(t, 1, [&](const OfflineRenderer::Frame& f) {
            toRgbTopFirst(f, rgb);
            return true;
        }, error);
    }

    // With --from, the run starts there (the frame is the same: every frame is a function
    // of its time), and --at must lie on that run's frame grid.
    int frame()
    {
        std::string error;
        std::vector<uint8_t> rgb;
        const int64_t start = o.fromMs >= 0 ? o.fromMs : o.atMs;
        const int64_t offset = o.atMs - start;
        const int64_t index = (offset * o.fps + 999) / 1000;
        if (index * 1000 / o.fps != offset) {
            return refuse("--at " + CaptureOptions::formatTime(o.atMs) + " is not a frame of a run from " +
                          CaptureOptions::formatTime(start) + " at " + std::to_string(o.fps) +
                          " fps (the nearest are " +
                          CaptureOptions::formatTime(start + (index - 1) * 1000 / o.fps) + " and " +
                          CaptureOptions::formatTime(start + index * 1000 / o.fps) + ")");
        }
        std::unique_ptr<CaptureProgress> progress;
        if (index > 0)
            progress = std::make_unique<CaptureProgress>("run-up", index + 1);
        const bool ok = render(start, index + 1, [&](const OfflineRenderer::Frame& f) {
            if (f.index == index)
                toRgbTopFirst(f, rgb);
            if (progress)
                progress->step(f.index + 1);
            return true;
        }, error);
        progress.reset();
        if (!ok)
            return interrupted ? stopped() : fail(error);
        Status written = writePngFile(o.output, o.width, o.height, 3, rgb.data(), false);
        if (!written)
            return fail(written.reason());
        return 0;
    }

    int sheet()
    {
        std::string error;
        std::vector<int64_t> times;
        for (int64_t t = fromMs(); t < toMs(); t += o.sheetStepMs)
            times.push_back(t);
        std::vector<std::vector<uint8_t>> tiles(times.size());
        CaptureProgress progress("sheet", static_cast<int64_t>(times.size()));
        for (size_t i = 0; i < times.size(); ++i) {
            if (!still(times[i], tiles[i], error))
                return interrupted ? stopped() : fail(error);
            progress.step(static_cast<int64_t>(i) + 1);
        }
        progress.close();
        if (!writeSheet(o.output, tiles, times, o.width, o.height, error))
            return fail(error);
        return 0;
    }

    int list()
    {
        std::string error;
        std::error_code e;
        fs::create_directories(o.output, e);
        if (e || !fs::is_directory(o.output))
            return fail("cannot make the folder " + o.output + (e ? ": " + e.message() : ""));
        CaptureProgress progress("frames", static_cast<int64_t>(shots.size()));
        std::vector<uint8_t> rgb;
        for (size_t i = 0; i < shots.size(); ++i) {
            if (!still(shots[i].timeMs, rgb, error))
                return interrupted ? stopped() : fail(error);
            Status written = writePngFile((fs::path(o.output) / (shots[i].name + ".png")).string(), o.width, o.height,
                                          3, rgb.data(), false);
            if (!written)
                return fail(written.reason());
            progress.step(static_cast<int64_t>(i) + 1);
        }
        return 0;
    }

    const CaptureOptions& o;
    fs::path scratch;
    OfflineRenderer renderer;
    // --list's frames, read by checkTimes.
    std::vector<Shot> shots;
};

// Where the production is read from: the resource tree (the folder holding it will do as
// well as the tree itself) or the archive, resources.7z here by default. False with the
// reason when it is not there.
bool resolveSource(CaptureOptions& o, int& mode, std::string& link, std::string& error)
{
    if (!o.resources.empty()) {
        if (!fs::is_directory(o.resources)) {
            error = "no resource tree at " + o.resources;
            return false;
        }
        const fs::path inner = fs::path(o.resources) / "resources";
        if (fs::is_directory(inner) && !fs::is_directory(fs::path(o.resources) / "shaders"))
            o.resources = inner.string();
        mode = ORVIO::ModeFiles;
        link = "resources";
        return true;
    }
    if (o.archive.empty())
        o.archive = fs::absolute("resources.7z").string();
    if (!fs::is_regular_file(o.archive)) {
        error = "no archive at " + o.archive + " (--archive FILE or --resources DIR name another)";
        return false;
    }
    mode = ORVIO::ModeArchive;
    link = "resources.7z";
    return true;
}

} // namespace

int CaptureApp::run(const Production& production, int argc, char** argv)
{
    programName = production.programName + "-capture";
    CaptureOptions o;
    std::string error;
    bool help = false;
    if (!o.parse(argc, argv, error, help)) {
        say(error);
        return 2;
    }
    if (help) {
        Log::info() << CaptureOptions::usage(programName, production.title);
        return 0;
    }
    if (o.kind == Output::Video && VideoEncoder::findProgram("ffmpeg").empty()) {
        say("ffmpeg is not installed (Debian package \"ffmpeg\"); MP4 output needs it");
        return 1;
    }
    // Paths are taken as given from here, before the work moves to a scratch directory.
    auto absolute = [](std::string& p) {
        if (!p.empty())
            p = fs::absolute(p).lexically_normal().string();
    };
    absolute(o.output);
    absolute(o.listPath);
    absolute(o.archive);
    absolute(o.resources);
    int mode = ORVIO::ModeArchive;
    std::string link;
    if (!resolveSource(o, mode, link, error)) {
        say(error);
        return 1;
    }
    Workplace work;
    if (!work.make(error) ||
        !work.linkAndEnter(mode == ORVIO::ModeFiles ? o.resources : o.archive, link, error)) {
        say(error);
        return 1;
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // A dead ffmpeg shows as a failed write, not as the end of this program.
    std::signal(SIGPIPE, SIG_IGN);
    // The capture plays nothing: the music timer of the load must not take the audio device.
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    ScreenMetrics metrics;
    metrics.setSize(o.width, o.height);
    metrics.setFullscreen(false);
    metrics.setQuality(o.quality);
    int status = 1;
    {
        Demo demo(argc, argv);
        production.install(demo);
        // The context only carries the GL state: the frames go to the renderer's own target.
        demo.setOffscreen(true);
        if (demo.load(&metrics, mode)) {
            Capture capture(o, work.scratchDir());
            if (o.profile)
                ORVDemosys::frameProfiler = new FrameProfiler();
            if (!capture.checkTimes(error)) {
                say(error);
                status = 2;
            } else if (interrupted) {
                say("interrupted");
                status = 128 + interrupted;
            } else {
                status = capture.run();
            }
            if (ORVDemosys::frameProfiler) {
                std::cerr << "GL time per frame: mean, frames, what\n";
                ORVDemosys::frameProfiler->report(std::cerr);
            }
        } else {
            std::string why = demo.getMessage();
            while (!why.empty() && (why.back() == '\n' || why.back() == ' '))
                why.pop_back();
            std::replace(why.begin(), why.end(), '\n', ' ');
            say(production.title + " did not load" + (why.empty() ? std::string() : ": " + why));
        }
        ORVDemosys::shutdown();
    }
    return status;
}
