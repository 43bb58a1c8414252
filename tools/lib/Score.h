#pragma once

#include "Status.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A piece of music in the score text form that demosys-score renders:
//
//   # a comment starts with "#" at the beginning of a word and runs to the end of the line
//   tempo 120                 beats per minute (4 beats to the bar)
//   rows 20                   sync rows per second; a beat must be a whole number of rows
//   bars 116                  length of the piece; bars count from 1
//   tail 3                    seconds rendered after the last bar (ring-out)
//   normalize -1              peak level of the mix in dBFS
//   seed 7                    for the noise and the small velocity variations
//
//   instrument NAME VOICE [PARAMETER VALUE]...
//       VOICE: kick snare clap hat cymbal bass pad lead pluck keys noise
//       PARAMETER: gain (dB) pan (-1..1) attack decay release (s) sustain (0..1)
//       cutoff (Hz) resonance (0..1) envmod (octaves) detune (cents) unison (1..9)
//       width (0..1) octave tone (voice colour, 1 = default) vibrato (cents)
//       reverb delay (send levels 0..1) duck (ducking under the kick, 0..1)
//       humanize (velocity variation 0..1)
//
//   chord NAME BASS : NOTE...       the bass root, then the voicing (e.g. A1 : A3 C4 E4 G4)
//   progression NAME CHORD[:BEATS]...   chords in turn, 4 beats each unless given
//   pattern NAME STEPS              drum steps, one per 16th: X accent, x hit, o soft, . rest
//                                   ("|" and blanks are ignored)
//   line NAME STEP...               16th steps over the chord sounding at the time:
//                                   r root, f fifth, 1..9 voicing notes (counting on
//                                   upwards an octave higher past the last), "'" an octave
//                                   up and "," one down (repeatable), - hold, . rest
//   melody NAME                     NOTE:BEATS or -:BEATS (rest) words, over any number of
//     E5:1 D5:.5 ... | ...          lines; "|" marks a bar line, checked to fall on one
//   end
//
//   section NAME FIRST-BAR BARS     one part of the piece, up to its "end":
//     chords PROGRESSION            repeated from the section's start
//     play INSTRUMENT [chords | hold | PATTERN] [bars A-B]
//                                   A-B: bars of the section, from 1 (default: all)
//     sweep INSTRUMENT PARAMETER FROM TO [bars A-B]
//                                   cutoff (exponential), level (linear, 1 = as set),
//                                   resonance or reverb, moved across the bars
//   end
//
// Patterns, lines and melodies repeat from the start of the section to fill the range.
class Score {
public:
    enum VoiceKind { Kick, Snare, Clap, Hat, Cymbal, Bass, Pad, Lead, Pluck, Keys, Noise, VoiceCount };

    struct Instrument {
        std::string name;
        VoiceKind voice = Pad;
        std::map<std::string, double> params;
        int line = 0;
        double param(const std::string& key, double fallback) const;
    };
    struct Chord {
        std::string name;
        int bass = 0;           // MIDI note
        std::vector<int> notes; // MIDI notes, low to high as written
    };
    struct ChordStep {
        int chord = 0;
        double beats = 4;
    };
    struct Progression {
        std::string name;
        std::vector<ChordStep> steps;
        double beats = 0;
    };
    // One 16th step of a drum pattern or a line.
    struct Step {
        enum Kind { Rest, Hold, Hit, Root, Fifth, Tone } kind = Rest;
        double velocity = 0.8;
        int tone = 0;   // Tone: voicing index from 0
        int octave = 0; // octave shift
    };
    struct MelodyNote {
        int note = -1; // MIDI note; -1 rest
        double beats = 1;
    };
    struct Pattern {
        enum Kind { Drum, Line, Melody } kind = Drum;
        std::string name;
        std::vector<Step> steps;
        std::vector<MelodyNote> notes;
        double beats = 0; // length of one pass
    };
    struct Play {
        enum What { Chords, Hold, UsePattern } what = Chords;
        int instrument = 0;
        int pattern = -1;
        int fromBar = 1, toBar = 0; // inclusive, within the section
        int line = 0;
    };
    struct Sweep {
        int instrument = 0;
        std::string param;
        double from = 0, to = 0;
        int fromBar = 1, toBar = 0;
    };
    struct Section {
        std::string name;
        int firstBar = 1;
        int bars = 0;
        int progression = -1;
        std::vector<Play> plays;
        std::vector<Sweep> sweeps;
        int line = 0;
    };

    // Reads the text; fails with one line "FILE:LINE: reason".
    Status parse(const std::string& text, const std::string& fileName);

    double tempo = 120;
    int rows = 20;
    int bars = 0;
    double tail = 2;
    double normalizeDb = -1;
    uint32_t seed = 1;
    std::vector<Instrument> instruments;
    std::vector<Chord> chords;
    std::vector<Progression> progressions;
    std::vector<Pattern> patterns;
    std::vector<Section> sections;

    double beatSeconds() const { return 60.0 / tempo; }
    double barSeconds() const { return 4.0 * beatSeconds(); }
    // Start of bar (from 1) in seconds.
    double barStart(int bar) const { return (bar - 1) * barSeconds(); }
    double lengthSeconds() const { return bars * barSeconds() + tail; }
    int rowsPerBeat() const;

    static const char* voiceName(VoiceKind kind);
    static bool isDrum(VoiceKind kind) { return kind <= Cymbal; }
    // "A4" -> 69, "C#5", "Bb3", "C-1"; false if it is not a note name.
    static bool parseNote(const std::string& word, int& note);
};
