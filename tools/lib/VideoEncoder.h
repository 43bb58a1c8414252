#pragma once

#include "Status.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// An H.264 MP4 written by Debian's ffmpeg program: the frames go to it as raw RGB
// through a pipe, the sound as a WAV file it reads beside them. Nothing links to the
// codec libraries; a missing program or a failed encode is an error text, and the
// output file appears only once the encode has succeeded (it is written under a
// temporary name beside it, OUT.partial, and renamed), so a failure or an abort leaves
// nothing behind. ffmpeg runs in a process group of its own: Ctrl+C on the terminal
// reaches the program that drives it, which stops it and removes the partial file.
class VideoEncoder {
public:
    struct Settings {
        std::string output;   // the .mp4 to write
        std::string audioWav; // the sound, from the first frame on; "" for none
        std::string logPath;  // where ffmpeg's messages go
        int width = 0;
        int height = 0;
        int fps = 30;
        // x264's preset: slower packs more picture into the bits. At constant quality the
        // demo's grainy frames leave little to pack, and a 2-core capture shares its CPU
        // with the renderer: at crf 18, 1080p, "superfast" takes half the encoder CPU of
        // "veryfast" (drop1 13.3 against 24.6 s for 10 s, scene 4 7.0 against 12.8 s for
        // 6 s) for the same or a finer picture (47.0 dB against 47.0, 46.6 against 45.9)
        // in a file a quarter to a third larger; "veryfast" in turn was within 0.1 dB and
        // 2 % in size of "medium" at a third of its time.
        std::string speed = "superfast";
        std::string profile;          // H.264 profile ("high"); "" leaves it to x264
        // Constant bitrate in kbit/s, padded with filler so that the stream never falls
        // below it (a party's minimum); 0 for constant quality (crf) instead.
        int videoKbps = 0;
        int crf = 18;           // x264 constant quality; lower is better
        int maxKbps = 0;        // with crf: a ceiling on the rate (0: none)
        int audioKbps = 192;    // AAC
        int audioRate = 0;      // sample rate of the AAC; 0 keeps the WAV's
    };

    VideoEncoder() = default;
    // Kills a running encode and removes its partial file.
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // The full path of a program found on PATH, or "".
    static std::string findProgram(const std::string& name);
    // ffmpeg's arguments after the program name, writing to outputPath.
    static std::vector<std::string> arguments(const Settings& settings, const std::string& outputPath);
    // ffmpeg's environment: env (NAME=VALUE entries, null-terminated) with glibc's malloc
    // told to keep large freed blocks. Otherwise each frame's buffers (6 MB at 1080p) go
    // back to the system when freed and come again as fresh pages the kernel zeroes (at
    // 1080p five times the page faults, 6 % more CPU). A caller's own thresholds stay.
    static std::vector<std::string> environment(const char* const* env);

    Status start(const Settings& settings);
    // One frame: width * height * 3 bytes, top row first.
    Status writeFrame(const uint8_t* rgb);
    // Ends the input, waits for ffmpeg and moves the file into place.
    Status finish();
    // Stops the encode and removes the partial file.
    void abort();

private:
    // ffmpeg's last message line, for an error text.
    std::string lastLogLine() const;
    Status waitForExit();

    Settings settings;
    std::string partialPath;
    pid_t child = -1;
    int pipeFd = -1;
};
