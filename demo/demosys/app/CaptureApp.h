#pragma once

struct Production;

// The capture program of a production (NAME-capture): the production rendered offline
// into an MP4 with its music (the party and preview presets), a PNG sequence, one frame
// (--at), a contact sheet (--sheet) or a list of frames (--list), from its archive or a
// loose resource tree, with no display needed. --help prints the options. Returns the
// exit status: 0 when the output is complete, 2 for bad arguments (nothing written), 1
// when the work fails, 128 + the signal when interrupted (no output left behind).
class CaptureApp {
public:
    static int run(const Production& production, int argc, char** argv);
};
