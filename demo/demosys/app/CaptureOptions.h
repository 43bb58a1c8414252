#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The capture program's command line (CaptureApp): what to render, from where, into
// what, checked as a whole before anything is loaded or written; with the times as its
// options and messages write them, the presets and the --list file. Every error is one
// line naming the option, which the program prints with exit status 2.
struct CaptureOptions {
    // What is rendered; the option that picks it and the output's name decide.
    enum class Output { Video, Sequence, Frame, Sheet, List };

    // A video made for one purpose in one option; --size and --fps given as well win.
    struct Preset {
        const char* name;
        int width;
        int height;
        int fps;
        const char* speed; // x264's preset
        const char* profile;
        int videoKbps; // constant bitrate; 0: crf
        int crf;
        int maxKbps;
        int audioKbps;
        int audioRate;
    };

    // One frame of a --list file: DIR/NAME.png at timeMs.
    struct Shot {
        std::string name;
        int64_t timeMs;
    };

    std::string archive;
    std::string resources;
    const Preset* preset = nullptr;
    int width = 640;
    int height = 360;
    bool sizeGiven = false;
    bool fpsGiven = false;
    int fps = 30;
    int quality = 2;
    int64_t fromMs = -1;
    int64_t toMs = -1;
    int64_t atMs = -1;
    int64_t sheetStepMs = -1;
    std::string listPath;
    std::string output;
    Output kind = Output::Sequence;
    bool profile = false;

    // Reads argv[1..]: false with the one-line reason when the arguments make no sense;
    // true with help set at -h or --help, the rest unread. Fills in what the output kind
    // and the preset imply (the preset's size and rate, a contact sheet's frame size).
    bool parse(int argc, char** argv, std::string& error, bool& help);

    // The --help text of the capture program of a production.
    static std::string usage(const std::string& program, const std::string& title);

    // MM:SS.mmm, MM:SS, or seconds with an optional fraction, under 100 minutes; -1 when it
    // is none of these.
    static int64_t parseTime(const std::string& text);
    // "MM:SS", with ".mmm" when the time is not on a whole second.
    static std::string formatTime(int64_t ms);

    // "NAME TIME" lines; blank lines and lines starting with "#" are skipped. False with
    // the reason (the file and line) for a line that is not one, or for no frames at all.
    static bool readList(const std::string& path, std::vector<Shot>& shots, std::string& error);
};
