#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Status.h"
#include "TimelineDocument.h"

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
//       40 1.0 ease-out              # linear (default), ease-out, ease-in, hold, quad,
//                                    # smooth
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
    // Where each statement stands in the text, for edits written back into it.
    struct Statement {
        enum Kind { Effect, Start, Stop, Curve, Key };
        int line = 0; // counted from 0
        Kind kind = Effect;
        std::string effect;
        std::string curve; // Curve and Key
        uint32_t row = 0;  // Start, Stop and Key
    };
    // Builds the timeline the text describes into document. Fails with one line
    // "FILE:LINE: reason". With layout, also the statements in text order.
    static Status parse(const std::string& text, const std::string& fileName, TimelineDocument& document,
                        std::vector<Statement>* layout = nullptr);
    // A position as new keys are written: "bar N.B+F" when there is a beat grid and the
    // row lies on it (a whole number of thousandths of a beat), otherwise @MM:SS.mmm
    // when preferTime and the row is a whole millisecond, otherwise the row.
    static std::string positionText(uint32_t row, int32_t rowsPerSecond, const TimelineDocument::BeatGrid& grid,
                                    bool preferTime);
    // A name or target as the text form writes it: in double quotes with backslash
    // escapes where it holds blanks, "#", quotes or starts with "@".
    static std::string quoteName(const std::string& name);
    // The shortest decimal text that reads back as the same float.
    static std::string valueText(float value);
    // The document's timeline as text, effects in drawing order.
    static std::string format(const TimelineDocument& document);

    // Interpolation type names of the text form; numbers for the types without one.
    static std::string interpolationName(uint32_t type);
    static bool parseInterpolation(const std::string& word, uint32_t& type);
};
