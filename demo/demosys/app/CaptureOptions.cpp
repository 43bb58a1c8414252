#include "CaptureOptions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

using Output = CaptureOptions::Output;
using Preset = CaptureOptions::Preset;

namespace {

// Times stop short of 100 minutes, so frame and sample counts stay in range.
constexpr int64_t timeLimitMs = 100 * 60000;

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// party: what parties' rules ask of a demo's video: 1080p at 60 fps, H.264 High in
// yuv420p, which every player and projector chain decodes, at a constant 16 Mbit/s, so
// the stream never drops under the usual 8 Mbit/s minimum however dark or still the
// picture, and AAC at the rates they name. preview: small and quick to make and send.
const Preset presets[] = {
    {"party", 1920, 1080, 60, "slow", "high", 16000, 0, 0, 256, 48000},
    {"preview", 640, 360, 30, "veryfast", "", 0, 28, 1500, 128, 48000},
};

const Preset* findPreset(const std::string& name)
{
    for (const Preset& p : presets)
        if (name == p.name)
            return &p;
    return nullptr;
}

bool timeArgument(const std::string& name, const char* value, int64_t& out, std::string& error)
{
    out = CaptureOptions::parseTime(value);
    if (out < 0)
        error = name + " takes a time under 100 minutes as MM:SS.mmm or seconds, not '" + value + "'";
    return out >= 0;
}

bool intArgument(const std::string& name, const char* value, int low, int high, int& out, std::string& error)
{
    char* end = nullptr;
    const long v = std::strtol(value, &end, 10);
    if (!*value || *end || v < low || v > high) {
        error = name + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                ", not '" + value + "'";
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// One option with its value; modes counts the options that pick what is rendered.
bool takeValue(const std::string& arg, const char* value, CaptureOptions& o, int& modes, std::string& error)
{
    if (arg == "--archive") {
        o.archive = value;
    } else if (arg == "--resources") {
        o.resources = value;
    } else if (arg == "--preset") {
        o.preset = findPreset(value);
        if (!o.preset) {
            error = "unknown --preset '" + std::string(value) + "': party or preview";
            return false;
        }
    } else if (arg == "--size") {
        int w = 0, h = 0;
        char tail = 0;
        if (std::sscanf(value, "%dx%d%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 8192 || h > 8192) {
            error = "--size takes WIDTHxHEIGHT, each 16 to 8192, not '" + std::string(value) + "'";
            return false;
        }
        o.width = w;
        o.height = h;
        o.sizeGiven = true;
    } else if (arg == "--fps") {
        if (!intArgument(arg, value, 1, 240, o.fps, error))
            return false;
        o.fpsGiven = true;
    } else if (arg == "--quality") {
        if (!intArgument(arg, value, 0, 3, o.quality, error))
            return false;
    } else if (arg == "--from") {
        if (!timeArgument(arg, value, o.fromMs, error))
            return false;
    } else if (arg == "--to") {
        if (!timeArgument(arg, value, o.toMs, error))
            return false;
    } else if (arg == "--at") {
        if (!timeArgument(arg, value, o.atMs, error))
            return false;
        o.kind = Output::Frame;
        ++modes;
    } else if (arg == "--sheet") {
        if (!timeArgument(arg, value, o.sheetStepMs, error))
            return false;
        if (o.sheetStepMs < 1) {
            error = "--sheet needs a step above 0";
            return false;
        }
        o.kind = Output::Sheet;
        ++modes;
    } else if (arg == "--list") {
        o.listPath = value;
        o.kind = Output::List;
        ++modes;
    } else if (arg == "-o") {
        o.output = value;
    }
    return true;
}

// The options together: outputs, ranges and presets that fit each other. False with the
// reason.
bool checkOptions(CaptureOptions& o, int modes, std::string& error)
{
    if (o.output.empty()) {
        error = "no output: -o OUT (.mp4, a folder, or .png with --at or --sheet)";
        return false;
    }
    if (modes > 1) {
        error = "--at, --sheet and --list are one each: pick one";
        return false;
    }
    if (!o.archive.empty() && !o.resources.empty()) {
        error = "--archive and --resources exclude each other";
        return false;
    }
    const bool png = endsWith(o.output, ".png");
    if (o.kind == Output::Frame || o.kind == Output::Sheet) {
        if (!png) {
            error = std::string(o.kind == Output::Frame ? "--at" : "--sheet") + " writes a PNG: -o FILE.png, not '" +
                    o.output + "'";
            return false;
        }
    } else if (png) {
        error = "a .png output needs --at or --sheet; a PNG sequence goes to a folder";
        return false;
    } else if (endsWith(o.output, ".mp4")) {
        if (o.kind == Output::List) {
            error = "--list writes PNG files into a folder, not '" + o.output + "'";
            return false;
        }
        o.kind = Output::Video;
    } else if (!fs::path(o.output).extension().empty() && !fs::is_directory(o.output)) {
        error = "unsupported output '" + o.output + "': .mp4, a folder, or .png with --at or --sheet";
        return false;
    }
    if (o.kind == Output::Frame && o.toMs >= 0) {
        error = "--at renders one frame: --to does not apply";
        return false;
    }
    if (o.kind == Output::Frame && o.fromMs > o.atMs) {
        error = "--from (" + CaptureOptions::formatTime(o.fromMs) + ") must not come after --at (" +
                CaptureOptions::formatTime(o.atMs) + ")";
        return false;
    }
    if (o.kind == Output::List && (o.fromMs >= 0 || o.toMs >= 0)) {
        error = "--list renders the times of its file: --from and --to do not apply";
        return false;
    }
    if (o.fromMs >= 0 && o.toMs >= 0 && o.toMs <= o.fromMs) {
        error = "--to (" + CaptureOptions::formatTime(o.toMs) + ") must come after --from (" +
                CaptureOptions::formatTime(o.fromMs) + ")";
        return false;
    }
    if (o.preset) {
        if (o.kind != Output::Video) {
            error = "--preset " + std::string(o.preset->name) + " makes a video: -o OUT.mp4, not '" + o.output + "'";
            return false;
        }
        if (!o.sizeGiven) {
            o.width = o.preset->width;
            o.height = o.preset->height;
        }
        if (!o.fpsGiven)
            o.fps = o.preset->fps;
    }
    // H.264 in yuv420p halves the colour planes both ways: x264 refuses odd sizes.
    if (o.kind == Output::Video && (o.width % 2 || o.height % 2)) {
        error = "H.264 needs an even width and height, not " + std::to_string(o.width) + "x" + std::to_string(o.height);
        return false;
    }
    if (o.kind == Output::Sheet && !o.sizeGiven) {
        o.width = 320;
        o.height = 180;
    }
    return true;
}

} // namespace

bool CaptureOptions::parse(int argc, char** argv, std::string& error, bool& help)
{
    int modes = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            help = true;
            return true;
        }
        if (arg == "--profile") {
            profile = true;
            continue;
        }
        const bool takesValue = arg == "--archive" || arg == "--resources" || arg == "--preset" ||
                                arg == "--size" || arg == "--fps" ||
                                arg == "--quality" || arg == "--from" || arg == "--to" || arg == "--at" ||
                                arg == "--sheet" || arg == "--list" || arg == "-o";
        if (!takesValue) {
            error = "unknown argument '" + arg + "' (--help lists them)";
            return false;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (!takeValue(arg, value, *this, modes, error))
            return false;
    }
    return checkOptions(*this, modes, error);
}

std::string CaptureOptions::usage(const std::string& program, const std::string& title)
{
    const std::string indent(7 + program.size() + 1, ' ');
    return "usage: " + program + " [--archive FILE | --resources DIR] [--preset NAME] [--size WxH]\n" +
           indent + "[--fps N] [--quality 0..3] [--from TIME] [--to TIME] -o OUT\n" +
           "       " + program + " [...] --at TIME -o FILE.png\n" +
           "       " + program + " [...] --sheet STEP -o FILE.png\n" +
           "       " + program + " [...] --list FILE -o DIR\n" +
           "\n"
           "Renders " + title + " offline. TIME is MM:SS.mmm, MM:SS or seconds (12.5).\n"
           "  -o OUT.mp4       H.264 video with the music of the range (needs ffmpeg)\n"
           "  --preset party   the video a party takes: 1920x1080, 60 fps, H.264 High profile,\n"
           "                   yuv420p, a constant 16 Mbit/s, AAC stereo 48 kHz 256 kbit/s, the\n"
           "                   index at the front (--size and --fps given as well win)\n"
           "  --preset preview a small file made fast: 640x360, 30 fps, x264 quality 28 at most\n"
           "                   1.5 Mbit/s, AAC stereo 48 kHz 128 kbit/s\n"
           "  -o DIR           PNG sequence DIR/frame_000000.png ...; frame k is at FROM + k/FPS\n"
           "  --at TIME        one frame at TIME into FILE.png: what every capture and the demo\n"
           "                   show at TIME (with --from, TIME must be a frame of that run)\n"
           "  --sheet STEP     a contact sheet of frames every STEP seconds of the range, each\n"
           "                   with its time under it (frames 320x180 unless --size is given)\n"
           "  --list FILE      one frame per line 'NAME TIME' of FILE into DIR/NAME.png\n"
           "  --archive FILE   resources from this archive (default: resources.7z here)\n"
           "  --resources DIR  resources from this loose resources/ tree (or the folder holding it)\n"
           "  --size WxH       frame size (default 640x360); an MP4 needs an even width and height\n"
           "  --fps N          frames per second, 1..240 (default 30)\n"
           "  --quality Q      the production's quality 0..3 (default 2)\n"
           "  --from, --to     the range, inside the demo (default the whole demo, 00:00 to its end)\n"
           "  --profile        afterwards, the GL time of each effect and of its deferred passes\n"
           "                   per frame on standard error (profiling slows the capture down)\n"
           "Progress goes to standard error; the engine's log to standard output. Bad arguments\n"
           "exit with status 2 and write nothing; an output appears only once it is complete.\n";
}

int64_t CaptureOptions::parseTime(const std::string& text)
{
    auto parseSeconds = [](const std::string& s, double limit) -> double {
        if (s.empty() || s.find_first_not_of("0123456789.") != std::string::npos ||
            std::count(s.begin(), s.end(), '.') > 1 || s == ".")
            return -1;
        const double v = std::strtod(s.c_str(), nullptr);
        return v < limit ? v : -1;
    };
    const size_t colon = text.find(':');
    double seconds = 0;
    if (colon == std::string::npos) {
        seconds = parseSeconds(text, 1e7);
    } else {
        const std::string minutes = text.substr(0, colon);
        if (minutes.empty() || minutes.size() > 4 || minutes.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        const double s = parseSeconds(text.substr(colon + 1), 60.0);
        if (s < 0)
            return -1;
        seconds = std::stoi(minutes) * 60.0 + s;
    }
    if (seconds < 0)
        return -1;
    const int64_t ms = static_cast<int64_t>(std::llround(seconds * 1000.0));
    return ms < timeLimitMs ? ms : -1;
}

std::string CaptureOptions::formatTime(int64_t ms)
{
    char text[32];
    if (ms % 1000 == 0)
        std::snprintf(text, sizeof(text), "%02lld:%02lld", static_cast<long long>(ms / 60000),
                      static_cast<long long>(ms / 1000 % 60));
    else
        std::snprintf(text, sizeof(text), "%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                      static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}

bool CaptureOptions::readList(const std::string& path, std::vector<Shot>& shots, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the list " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream fields(line);
        std::string name, time, extra;
        if (!(fields >> name) || name[0] == '#')
            continue;
        const int64_t t = (fields >> time) ? parseTime(time) : -1;
        if (t < 0 || (fields >> extra && extra[0] != '#') || name.find('/') != std::string::npos) {
            error = path + ":" + std::to_string(number) + ": expected 'NAME TIME', got '" + line + "'";
            return false;
        }
        shots.push_back({name, t});
    }
    if (shots.empty()) {
        error = "the list " + path + " names no frames";
        return false;
    }
    return true;
}
