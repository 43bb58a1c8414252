#pragma once

#include <string>

class TimelineDocument;

// The readable text form of a timeline, for people who key sync by hand:
//
//   # a comment runs to the end of the line
//   rate 20                          rows per second (default 20)
//
//   bpm 120                          optional beat grid: 10 rows a beat at rate 20
//   rows-per-beat 10                 optional; rate x 60 / bpm by default
//
//   effect scene_1_effect priority 2 # one block per effect; "disabled" may follow
//     start 100 staging0             # a range starts: row and the framebuffer to draw
//     stop 400                       # into (none: the screen); the range ends
//     start @00:30.000               # rows may be written as @MM:SS.mmm at the rate
//     stop @00:31.500
//     curve fade                     # a curve; its keys follow, one per line:
//       0 0.0                        # row, value and interpolation to the next key:
//       40 1.0 ease-out              # linear (default), ease-out, ease-in, hold, quad
//       100 0.5 hold                 # or the type number
//       b65 1                        # beat 65 (counted from 1: b1 is row 0)
//       bar 17.3+0.5 0               # bar 17, beat 3, and half a beat (4 beats a bar)
//
// Names and targets that hold blanks, "#" or quotes are written in double quotes with
// backslash escapes. The writer emits this form with the keys' times as comments;
// parsing its output gives the same timeline and writing that again the same text.
class TrackScript {
public:
    // Builds the timeline the text describes into document. False with one line
    // "FILE:LINE: reason" in error.
    static bool parse(const std::string& text, const std::string& fileName, TimelineDocument& document,
                      std::string& error);
    // The document's timeline as text, effects in drawing order.
    static std::string format(const TimelineDocument& document);

    // Interpolation type names of the text form; numbers for the types without one.
    static std::string interpolationName(uint32_t type);
    static bool parseInterpolation(const std::string& word, uint32_t& type);
};
