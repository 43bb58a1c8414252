#include "Score.h"

#include "TextNumber.h"
#include "TextWords.h"

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

namespace {

const char* const voiceNames[Score::VoiceCount] = {"kick", "snare", "clap", "hat", "cymbal", "bass",
                                                   "pad",  "lead",  "pluck", "keys", "noise"};

struct ParamRange {
    const char* name;
    double low, high;
};
const ParamRange paramRanges[] = {
    {"gain", -60, 12},     {"pan", -1, 1},      {"attack", 0, 10},    {"decay", 0.001, 10},
    {"sustain", 0, 1},     {"release", 0.001, 10}, {"cutoff", 20, 20000}, {"resonance", 0, 1},
    {"envmod", -8, 8},     {"detune", 0, 100},  {"unison", 1, 9},     {"width", 0, 1},
    {"octave", -4, 4},     {"tone", 0.25, 4},   {"vibrato", 0, 100},  {"reverb", 0, 1},
    {"delay", 0, 1},       {"duck", 0, 1},      {"humanize", 0, 1},
};
const std::set<std::string> sweepable = {"cutoff", "level", "resonance", "reverb"};

bool parseNumber(const std::string& word, double& value) { return TextNumber::parseDouble(word, value); }

bool parseInt(const std::string& word, int& value)
{
    double d;
    if (!parseNumber(word, d) || d != std::floor(d) || std::fabs(d) > 1e9)
        return false;
    value = static_cast<int>(d);
    return true;
}

// "A-B" or "A" in bars of a section.
bool parseBarRange(const std::string& word, int& from, int& to)
{
    size_t dash = word.find('-');
    if (dash == std::string::npos)
        return parseInt(word, from) && (to = from, true);
    return parseInt(word.substr(0, dash), from) && parseInt(word.substr(dash + 1), to);
}

} // namespace

double Score::Instrument::param(const std::string& key, double fallback) const
{
    auto it = params.find(key);
    return it == params.end() ? fallback : it->second;
}

const char* Score::voiceName(VoiceKind kind) { return kind < VoiceCount ? voiceNames[kind] : "?"; }

int Score::rowsPerBeat() const { return static_cast<int>(std::lround(rows * beatSeconds())); }

bool Score::parseNote(const std::string& word, int& note)
{
    static const int pitch[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (word.size() < 2 || word[0] < 'A' || word[0] > 'G')
        return false;
    int pc = pitch[word[0] - 'A'];
    size_t at = 1;
    if (word[at] == '#') {
        ++pc;
        ++at;
    } else if (word[at] == 'b') {
        --pc;
        ++at;
    }
    int octave;
    if (at >= word.size() || !parseInt(word.substr(at), octave) || octave < -1 || octave > 9)
        return false;
    note = 12 * (octave + 1) + pc;
    return note >= 0 && note <= 127;
}

namespace {

template <typename List>
int indexOf(const List& list, const std::string& name)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name)
            return static_cast<int>(i);
    return -1;
}

// Reads a score line by line. Outside a block each line starts with a keyword that one
// handler of a table reads; a melody or section block hands its lines to the block's
// own reader until its "end". Every handler returns false through fail(), which sets
// the one-line error.
class ScoreParser {
public:
    ScoreParser(Score& score, const std::string& fileName, std::string& error)
        : score(score), fileName(fileName), error(error)
    {
    }

    bool parse(const std::string& text);

private:
    using Words = std::vector<std::string>;
    using Handler = bool (ScoreParser::*)(const Words&);
    struct Keyword {
        const char* name;
        size_t minWords, maxWords;
        Handler handler;
    };
    static const Keyword keywords[];

    bool fail(const std::string& why)
    {
        error = fileName + ":" + std::to_string(lineNo) + ": " + why;
        return false;
    }
    bool topLevelLine(const Words& w);
    bool melodyLine(const Words& w);
    bool sectionLine(const Words& w);
    bool finish();

    bool tempoLine(const Words& w);
    bool rowsLine(const Words& w);
    bool barsLine(const Words& w);
    bool tailLine(const Words& w);
    bool normalizeLine(const Words& w);
    bool seedLine(const Words& w);
    bool instrumentLine(const Words& w);
    bool chordLine(const Words& w);
    bool progressionLine(const Words& w);
    bool patternLine(const Words& w);
    bool melodyStart(const Words& w);
    bool sectionStart(const Words& w);

    bool drumSteps(const Words& w, Score::Pattern& p);
    bool lineSteps(const Words& w, Score::Pattern& p);
    bool playLine(const Words& w, Score::Section& s);
    bool sweepLine(const Words& w, Score::Section& s);
    // "bars A-B" from word at on, within the section; no words: the whole section.
    bool barsOf(const Words& w, size_t at, const Score::Section& s, int& from, int& to) const;

    Score& score;
    const std::string& fileName;
    std::string& error;
    int lineNo = 0;
    enum Block { None, InMelody, InSection } block = None;
    bool haveBars = false;
};

const ScoreParser::Keyword ScoreParser::keywords[] = {
    {"tempo", 2, 2, &ScoreParser::tempoLine},
    {"rows", 2, 2, &ScoreParser::rowsLine},
    {"bars", 2, 2, &ScoreParser::barsLine},
    {"tail", 2, 2, &ScoreParser::tailLine},
    {"normalize", 2, 2, &ScoreParser::normalizeLine},
    {"seed", 2, 2, &ScoreParser::seedLine},
    {"instrument", 3, SIZE_MAX, &ScoreParser::instrumentLine},
    {"chord", 4, SIZE_MAX, &ScoreParser::chordLine},
    {"progression", 3, SIZE_MAX, &ScoreParser::progressionLine},
    {"pattern", 3, SIZE_MAX, &ScoreParser::patternLine},
    {"line", 3, SIZE_MAX, &ScoreParser::patternLine},
    {"melody", 2, 2, &ScoreParser::melodyStart},
    {"section", 4, 4, &ScoreParser::sectionStart},
};

bool ScoreParser::parse(const std::string& text)
{
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        ++lineNo;
        // A "#" that begins a word starts a comment: "C#5" is a note.
        const Words w = TextWords::split(raw, TextWords::Rules{true, false});
        if (w.empty())
            continue;
        const bool ok = block == InMelody ? melodyLine(w) : block == InSection ? sectionLine(w) : topLevelLine(w);
        if (!ok)
            return false;
    }
    return finish();
}

bool ScoreParser::topLevelLine(const Words& w)
{
    for (const Keyword& k : keywords)
        if (w[0] == k.name && w.size() >= k.minWords && w.size() <= k.maxWords)
            return (this->*k.handler)(w);
    return fail("unknown or incomplete line: " + w[0]);
}

bool ScoreParser::finish()
{
    if (block == InMelody)
        return fail("melody '" + score.patterns.back().name + "' has no 'end'");
    if (block == InSection)
        return fail("section '" + score.sections.back().name + "' has no 'end'");
    if (!haveBars)
        return fail("no 'bars' line");
    double rowsBeat = score.rows * score.beatSeconds();
    if (std::fabs(rowsBeat - std::round(rowsBeat)) > 1e-9) {
        lineNo = 0;
        return fail("a beat at tempo " + std::to_string(score.tempo) + " is " + std::to_string(rowsBeat) +
                    " rows; choose a tempo that puts beats on whole rows");
    }
    return true;
}

bool ScoreParser::melodyLine(const Words& w)
{
    Score::Pattern& m = score.patterns.back();
    if (w[0] == "end" && w.size() == 1) {
        if (m.notes.empty())
            return fail("melody '" + m.name + "' has no notes");
        block = None;
        return true;
    }
    for (const std::string& word : w) {
        if (word == "|") {
            double bars4 = m.beats / 4.0;
            if (std::fabs(bars4 - std::round(bars4)) > 1e-9)
                return fail("bar line after " + std::to_string(m.beats) + " beats, not on a bar");
            continue;
        }
        size_t colon = word.find(':');
        Score::MelodyNote note;
        if (colon == std::string::npos || !parseNumber(word.substr(colon + 1), note.beats) || note.beats <= 0 ||
            note.beats > 64)
            return fail("'" + word + "' is not NOTE:BEATS");
        std::string name = word.substr(0, colon);
        if (name != "-" && !Score::parseNote(name, note.note))
            return fail("'" + name + "' is not a note name");
        m.notes.push_back(note);
        m.beats += note.beats;
    }
    return true;
}

bool ScoreParser::sectionLine(const Words& w)
{
    Score::Section& s = score.sections.back();
    const std::string& key = w[0];
    if (key == "end" && w.size() == 1) {
        block = None;
        return true;
    }
    if (key == "chords" && w.size() == 2) {
        s.progression = indexOf(score.progressions, w[1]);
        return s.progression >= 0 || fail("no progression '" + w[1] + "'");
    }
    if (key == "play" && w.size() >= 2)
        return playLine(w, s);
    if (key == "sweep" && w.size() >= 5)
        return sweepLine(w, s);
    return fail("unknown line in section '" + s.name + "': " + key);
}

bool ScoreParser::barsOf(const Words& w, size_t at, const Score::Section& s, int& from, int& to) const
{
    from = 1;
    to = s.bars;
    if (at >= w.size())
        return true;
    if (w.size() != at + 2 || w[at] != "bars" || !parseBarRange(w[at + 1], from, to))
        return false;
    return from >= 1 && to >= from && to <= s.bars;
}

bool ScoreParser::playLine(const Words& w, Score::Section& s)
{
    Score::Play p;
    p.line = lineNo;
    p.instrument = indexOf(score.instruments, w[1]);
    if (p.instrument < 0)
        return fail("no instrument '" + w[1] + "'");
    const Score::Instrument& inst = score.instruments[static_cast<size_t>(p.instrument)];
    size_t at = 2;
    if (at < w.size() && w[at] != "bars") {
        if (w[at] == "chords") {
            p.what = Score::Play::Chords;
        } else if (w[at] == "hold") {
            p.what = Score::Play::Hold;
        } else {
            p.what = Score::Play::UsePattern;
            p.pattern = indexOf(score.patterns, w[at]);
            if (p.pattern < 0)
                return fail("no pattern, line or melody '" + w[at] + "'");
        }
        ++at;
    } else if (Score::isDrum(inst.voice)) {
        return fail("drum instrument '" + inst.name + "' needs a pattern");
    }
    if (!barsOf(w, at, s, p.fromBar, p.toBar))
        return fail("expected 'bars A-B' within the section's " + std::to_string(s.bars) + " bars");
    const Score::Pattern* pattern =
        p.what == Score::Play::UsePattern ? &score.patterns[static_cast<size_t>(p.pattern)] : nullptr;
    bool drumPattern = pattern && pattern->kind == Score::Pattern::Drum;
    if (Score::isDrum(inst.voice) && !drumPattern)
        return fail("drum instrument '" + inst.name + "' plays drum patterns only");
    if (!Score::isDrum(inst.voice) && drumPattern && inst.voice != Score::Noise)
        return fail("'" + inst.name + "' is a " + Score::voiceName(inst.voice) + "; drum patterns are for drums");
    bool unpitched = inst.voice == Score::Noise || inst.voice == Score::Cymbal;
    bool needsChords = p.what == Score::Play::Chords || (p.what == Score::Play::Hold && !unpitched) ||
                       (pattern && pattern->kind == Score::Pattern::Line);
    if (needsChords && s.progression < 0)
        return fail("'play " + inst.name + "' needs the section's chords first");
    s.plays.push_back(p);
    return true;
}

bool ScoreParser::sweepLine(const Words& w, Score::Section& s)
{
    Score::Sweep sw;
    sw.instrument = indexOf(score.instruments, w[1]);
    if (sw.instrument < 0)
        return fail("no instrument '" + w[1] + "'");
    sw.param = w[2];
    if (!sweepable.count(sw.param))
        return fail("cannot sweep '" + sw.param + "' (cutoff, level, resonance, reverb)");
    if (!parseNumber(w[3], sw.from) || !parseNumber(w[4], sw.to))
        return fail("sweep needs two numbers");
    bool positive = sw.param == "cutoff";
    double low = positive ? 20 : 0, high = positive ? 20000 : sw.param == "level" ? 4 : 1;
    if (sw.from < low || sw.from > high || sw.to < low || sw.to > high)
        return fail("sweep of " + sw.param + " out of range");
    if (!barsOf(w, 5, s, sw.fromBar, sw.toBar))
        return fail("expected 'bars A-B' within the section's " + std::to_string(s.bars) + " bars");
    s.sweeps.push_back(sw);
    return true;
}

bool ScoreParser::tempoLine(const Words& w)
{
    return (parseNumber(w[1], score.tempo) && score.tempo >= 20 && score.tempo <= 300) ||
           fail("tempo must be 20..300");
}

bool ScoreParser::rowsLine(const Words& w)
{
    return (parseInt(w[1], score.rows) && score.rows >= 1 && score.rows <= 1000) || fail("rows must be 1..1000");
}

bool ScoreParser::barsLine(const Words& w)
{
    if (!parseInt(w[1], score.bars) || score.bars < 1 || score.bars > 2000)
        return fail("bars must be 1..2000");
    haveBars = true;
    return true;
}

bool ScoreParser::tailLine(const Words& w)
{
    return (parseNumber(w[1], score.tail) && score.tail >= 0 && score.tail <= 60) || fail("tail must be 0..60 s");
}

bool ScoreParser::normalizeLine(const Words& w)
{
    return (parseNumber(w[1], score.normalizeDb) && score.normalizeDb >= -40 && score.normalizeDb <= 0) ||
           fail("normalize must be -40..0 dBFS");
}

bool ScoreParser::seedLine(const Words& w)
{
    int s;
    if (!parseInt(w[1], s) || s < 0)
        return fail("seed must be a whole number");
    score.seed = static_cast<uint32_t>(s);
    return true;
}

bool ScoreParser::instrumentLine(const Words& w)
{
    if (indexOf(score.instruments, w[1]) >= 0)
        return fail("instrument '" + w[1] + "' is defined twice");
    Score::Instrument inst;
    inst.name = w[1];
    inst.line = lineNo;
    int kind = 0;
    while (kind < Score::VoiceCount && w[2] != voiceNames[kind])
        ++kind;
    if (kind == Score::VoiceCount)
        return fail("unknown voice '" + w[2] + "'");
    inst.voice = static_cast<Score::VoiceKind>(kind);
    if ((w.size() - 3) % 2)
        return fail("instrument parameters come in NAME VALUE pairs");
    for (size_t i = 3; i < w.size(); i += 2) {
        const ParamRange* range = nullptr;
        for (const ParamRange& r : paramRanges)
            if (w[i] == r.name)
                range = &r;
        double v;
        if (!range)
            return fail("unknown parameter '" + w[i] + "'");
        if (!parseNumber(w[i + 1], v) || v < range->low || v > range->high)
            return fail("parameter " + w[i] + " must be a number in " + std::to_string(range->low) + ".." +
                        std::to_string(range->high));
        inst.params[w[i]] = v;
    }
    score.instruments.push_back(inst);
    return true;
}

bool ScoreParser::chordLine(const Words& w)
{
    if (indexOf(score.chords, w[1]) >= 0)
        return fail("chord '" + w[1] + "' is defined twice");
    Score::Chord c;
    c.name = w[1];
    if (!Score::parseNote(w[2], c.bass) || w[3] != ":" || w.size() < 5)
        return fail("expected 'chord NAME BASS : NOTE...'");
    for (size_t i = 4; i < w.size(); ++i) {
        int n;
        if (!Score::parseNote(w[i], n))
            return fail("'" + w[i] + "' is not a note name");
        c.notes.push_back(n);
    }
    score.chords.push_back(c);
    return true;
}

bool ScoreParser::progressionLine(const Words& w)
{
    if (indexOf(score.progressions, w[1]) >= 0)
        return fail("progression '" + w[1] + "' is defined twice");
    Score::Progression p;
    p.name = w[1];
    for (size_t i = 2; i < w.size(); ++i) {
        Score::ChordStep step;
        std::string name = w[i];
        size_t colon = name.find(':');
        if (colon != std::string::npos) {
            if (!parseNumber(name.substr(colon + 1), step.beats) || step.beats <= 0 || step.beats > 64)
                return fail("'" + w[i] + "' is not CHORD:BEATS");
            name = name.substr(0, colon);
        }
        step.chord = indexOf(score.chords, name);
        if (step.chord < 0)
            return fail("no chord '" + name + "'");
        p.steps.push_back(step);
        p.beats += step.beats;
    }
    score.progressions.push_back(p);
    return true;
}

bool ScoreParser::drumSteps(const Words& w, Score::Pattern& p)
{
    using Step = Score::Step;
    for (size_t i = 2; i < w.size(); ++i)
        for (char ch : w[i]) {
            Step s;
            if (ch == '|')
                continue;
            if (ch == 'X')
                s.kind = Step::Hit, s.velocity = 1.0;
            else if (ch == 'x')
                s.kind = Step::Hit, s.velocity = 0.75;
            else if (ch == 'o')
                s.kind = Step::Hit, s.velocity = 0.45;
            else if (ch != '.')
                return fail(std::string("drum step '") + ch + "' is not X, x, o or .");
            p.steps.push_back(s);
        }
    return true;
}

bool ScoreParser::lineSteps(const Words& w, Score::Pattern& p)
{
    using Step = Score::Step;
    for (size_t i = 2; i < w.size(); ++i) {
        const std::string& t = w[i];
        Step s;
        if (t == ".")
            s.kind = Step::Rest;
        else if (t == "-")
            s.kind = Step::Hold;
        else if (t[0] == 'r')
            s.kind = Step::Root;
        else if (t[0] == 'f')
            s.kind = Step::Fifth;
        else if (t[0] >= '1' && t[0] <= '9')
            s.kind = Step::Tone, s.tone = t[0] - '1';
        else
            return fail("line step '" + t + "' is not r, f, 1..9, - or .");
        for (size_t at = 1; at < t.size(); ++at) {
            if (t[at] == '\'')
                ++s.octave;
            else if (t[at] == ',')
                --s.octave;
            else
                return fail("line step '" + t + "': only ' and , may follow");
        }
        if ((s.kind == Step::Rest || s.kind == Step::Hold) && t.size() > 1)
            return fail("line step '" + t + "' is not r, f, 1..9, - or .");
        p.steps.push_back(s);
    }
    return true;
}

bool ScoreParser::patternLine(const Words& w)
{
    if (indexOf(score.patterns, w[1]) >= 0)
        return fail("pattern '" + w[1] + "' is defined twice");
    Score::Pattern p;
    p.name = w[1];
    p.kind = w[0] == "pattern" ? Score::Pattern::Drum : Score::Pattern::Line;
    if (!(p.kind == Score::Pattern::Drum ? drumSteps(w, p) : lineSteps(w, p)))
        return false;
    if (p.steps.empty() || p.steps.size() % 4)
        return fail("'" + p.name + "' has " + std::to_string(p.steps.size()) +
                    " steps; a whole number of beats (4 steps each) is needed");
    p.beats = p.steps.size() / 4.0;
    score.patterns.push_back(p);
    return true;
}

bool ScoreParser::melodyStart(const Words& w)
{
    if (indexOf(score.patterns, w[1]) >= 0)
        return fail("pattern '" + w[1] + "' is defined twice");
    Score::Pattern p;
    p.name = w[1];
    p.kind = Score::Pattern::Melody;
    score.patterns.push_back(p);
    block = InMelody;
    return true;
}

bool ScoreParser::sectionStart(const Words& w)
{
    if (!haveBars)
        return fail("'bars' must come before the sections");
    Score::Section s;
    s.name = w[1];
    s.line = lineNo;
    if (!parseInt(w[2], s.firstBar) || !parseInt(w[3], s.bars) || s.firstBar < 1 || s.bars < 1 ||
        s.firstBar + s.bars - 1 > score.bars)
        return fail("section '" + s.name + "' must lie within bars 1.." + std::to_string(score.bars));
    if (!score.sections.empty()) {
        const Score::Section& prev = score.sections.back();
        if (s.firstBar < prev.firstBar + prev.bars)
            return fail("section '" + s.name + "' starts before '" + prev.name + "' ends (bar " +
                        std::to_string(prev.firstBar + prev.bars) + ")");
    }
    score.sections.push_back(s);
    block = InSection;
    return true;
}

} // namespace

Status Score::parse(const std::string& text, const std::string& fileName)
{
    *this = Score();
    std::string error;
    if (ScoreParser(*this, fileName, error).parse(text))
        return Status::success();
    return Status::failure(error);
}
