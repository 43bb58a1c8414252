#include "TrackScript.h"

#include "StandInEffect.h"
#include "TextNumber.h"
#include "TextWords.h"
#include "TimelineDocument.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackStartStop.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

namespace {

const char* const interpolationNames[] = {"linear", "ease-out", "ease-in", "hold", "quad", "smooth"};

std::string quoteIfNeeded(const std::string& word)
{
    bool plain = !word.empty();
    for (char c : word)
        if (c == ' ' || c == '\t' || c == '#' || c == '"' || c == '\\' || c == '\r' || c == '\n')
            plain = false;
    if (plain && word[0] != '@')
        return word;
    std::string out = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

using TextNumber::parseDecimal;
using TextNumber::parseUnsigned;

bool parseInt32(const std::string& word, int32_t& out)
{
    bool negative = !word.empty() && word[0] == '-';
    uint64_t magnitude;
    if (!parseUnsigned(negative ? word.substr(1) : word, negative ? 2147483648ull : 2147483647ull, magnitude))
        return false;
    out = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
    return true;
}

// "@MM:SS.mmm" (minutes optional) as milliseconds.
bool parseTime(const std::string& word, uint64_t& ms)
{
    std::string t = word.substr(1);
    uint64_t minutes = 0, seconds = 0, millis = 0;
    size_t colon = t.find(':');
    if (colon != std::string::npos) {
        if (!parseUnsigned(t.substr(0, colon), 100000, minutes))
            return false;
        t = t.substr(colon + 1);
    }
    size_t dot = t.find('.');
    if (!parseUnsigned(t.substr(0, dot), colon == std::string::npos ? 6000000 : 59, seconds))
        return false;
    if (dot != std::string::npos) {
        std::string fraction = t.substr(dot + 1);
        if (fraction.empty() || fraction.size() > 3 || !parseUnsigned(fraction, 999, millis))
            return false;
        for (size_t k = fraction.size(); k < 3; ++k)
            millis *= 10;
    }
    ms = minutes * 60000 + seconds * 1000 + millis;
    return true;
}


std::string formatMilli(int64_t milli)
{
    std::string text = std::to_string(milli / 1000);
    if (milli % 1000) {
        char digits[8];
        std::snprintf(digits, sizeof digits, ".%03d", static_cast<int>(milli % 1000));
        std::string fraction = digits;
        text += fraction.substr(0, fraction.find_last_not_of('0') + 1);
    }
    return text;
}

const uint64_t beatsPerBar = 4;

// The beat grid on the rows: rows per beat as the fraction num / den (rows per second
// x 60 / bpm, or a whole number the script gives).
struct Grid {
    uint64_t num = 0, den = 1;
    bool defined() const { return num != 0; }
};

Grid gridOf(int32_t rate, int32_t milliBpm, int32_t rowsPerBeat)
{
    Grid g;
    if (rowsPerBeat > 0) {
        g.num = static_cast<uint64_t>(rowsPerBeat);
    } else if (milliBpm > 0) {
        g.num = static_cast<uint64_t>(rate) * 60 * 1000;
        g.den = static_cast<uint64_t>(milliBpm);
    }
    return g;
}

// A row as "bar B.b" (and "+F" for the part of a beat), bars and beats counted from 1.
std::string formatBar(uint32_t row, const Grid& g)
{
    // beats from the start = row / rows per beat = row * den / num
    const uint64_t scaled = uint64_t(row) * g.den;
    const uint64_t beats = scaled / g.num;
    std::string text = "bar " + std::to_string(beats / beatsPerBar + 1) + "." + std::to_string(beats % beatsPerBar + 1);
    const uint64_t rest = scaled % g.num;
    if (rest) {
        // Thousandths of a beat, cut rather than rounded so that they stay below one beat.
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", static_cast<int>(rest * 1000 / g.num));
        std::string fraction = digits;
        fraction = fraction.substr(0, fraction.find_last_not_of('0') + 1);
        text += fraction.empty() ? "+0.001" : "+0." + fraction;
    }
    return text;
}

std::string formatTime(uint64_t ms)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000));
    return buffer;
}

std::string formatFloat(float f)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(f));
    return buffer;
}

// One effect block while it is being read.
struct Block {
    std::string name;
    int32_t priority = 0;
    bool enabled = true;
    std::unique_ptr<TrackStartStop> startStop;
    std::unique_ptr<Effect> effect;
    TrackInterpolate* curve = nullptr;
    std::set<std::string> curveNames;
};

class Parser {
public:
    Parser(const std::string& fileName, std::string& error, std::vector<TrackScript::Statement>* layout)
        : fileName(fileName), error(error), layout(layout)
    {
    }

    bool run(const std::string& text, TimelineDocument& document)
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            ++lineNumber;
            std::vector<std::string> words;
            if (!TextWords::split(line, words, TextWords::Rules{false, true}))
                return fail("unterminated quoted name");
            if (!words.empty() && !statement(words))
                return false;
        }
        if (!finishBlock())
            return false;

        auto manager = std::make_unique<TrackManager>();
        manager->setRowsPerSecond(rate);
        std::vector<std::unique_ptr<Effect>> effects;
        for (Block& b : blocks) {
            b.startStop->setPriority(b.priority);
            b.startStop->setEnabled(b.enabled);
            b.effect->setOnTimeline(true);
            manager->addEntry(b.name, b.effect.get(), std::move(b.startStop));
            effects.push_back(std::move(b.effect));
        }
        manager->arrangeDrawOrder();
        document.adopt(std::move(effects), std::move(manager));
        document.beatGrid.milliBpm = milliBpm;
        document.beatGrid.rowsPerBeat = rowsPerBeat;
        return true;
    }

private:
    bool fail(const std::string& reason)
    {
        error = fileName + ":" + std::to_string(lineNumber) + ": " + reason;
        return false;
    }

    // A position on the timeline from w[i] on: a row, @MM:SS.mmm, bN (beat N) or bar B.b
    // (the latter two words). i moves past what was read.
    bool position(const std::vector<std::string>& w, size_t& i, uint32_t& out)
    {
        if (i >= w.size())
            return fail("a row is missing");
        const std::string& word = w[i++];
        if (word == "bar") {
            if (i >= w.size())
                return fail("'bar' takes a bar and beat, such as bar 17.3 or bar 17.3+0.5");
            return barPosition(w[i++], out);
        }
        if (word.size() > 1 && word[0] == 'b' && word[1] >= '0' && word[1] <= '9') {
            uint64_t num, den;
            if (!parseDecimal(word.substr(1), 100000000, num, den) || num < den)
                return fail("'" + word +
                            "' is not a beat (beats count from 1: b1 is the start, b2.5 half a beat after beat 2)");
            return beatRow(word, num - den, den, out);
        }
        return row(word, out);
    }

    bool barPosition(const std::string& word, uint32_t& out)
    {
        const std::string text = "bar " + word;
        const size_t plus = word.find('+');
        const std::string barBeat = word.substr(0, plus);
        const size_t dot = barBeat.find('.');
        uint64_t bar, beat = 1, num = 0, den = 1;
        if (!parseUnsigned(barBeat.substr(0, dot), 25000000, bar) || bar < 1 ||
            (dot != std::string::npos && !parseUnsigned(barBeat.substr(dot + 1), beatsPerBar, beat)) || beat < 1 ||
            (plus != std::string::npos && !parseDecimal(word.substr(plus + 1), 999, num, den)))
            return fail("'" + text + "' is not a bar and beat (bar 17.3: bar 17, beat 3 of 4, both counted from 1; " +
                        "bar 17.3+0.5 half a beat later)");
        return beatRow(text, ((bar - 1) * beatsPerBar + beat - 1) * den + num, den, out);
    }

    // The row of a position beatsNum / beatsDen beats after the start.
    bool beatRow(const std::string& text, uint64_t beatsNum, uint64_t beatsDen, uint32_t& out)
    {
        const Grid g = gridOf(rate, milliBpm, rowsPerBeat);
        if (!g.defined())
            return fail("'" + text + "' needs a beat grid: write 'bpm N' before the first effect");
        // row = beats x rows per beat; the factors are limited so that this fits 64 bits.
        const uint64_t num = beatsNum * g.num, den = beatsDen * g.den;
        if (num % den != 0) {
            return fail(text + " falls between rows (a beat is " + formatFloat(float(double(g.num) / double(g.den))) +
                        " rows)");
        }
        if (num / den > 0xFFFFFFFFull)
            return fail(text + " is beyond the last row");
        out = static_cast<uint32_t>(num / den);
        return true;
    }

    bool row(const std::string& word, uint32_t& out)
    {
        uint64_t value;
        if (!word.empty() && word[0] == '@') {
            uint64_t ms;
            if (!parseTime(word, ms))
                return fail("'" + word + "' is not a time (write @MM:SS.mmm)");
            if (ms * static_cast<uint64_t>(rate) % 1000 != 0)
                return fail("time " + word + " falls between rows (a row is " + formatFloat(1000.0f / rate) + " ms)");
            value = ms * static_cast<uint64_t>(rate) / 1000;
            if (value > 0xFFFFFFFFull)
                return fail("time " + word + " is beyond the last row");
        } else if (!parseUnsigned(word, 0xFFFFFFFFull, value)) {
            return fail("'" + word + "' is not a row (a whole number, a time @MM:SS.mmm, a beat bN or bar B.b)");
        }
        out = static_cast<uint32_t>(value);
        return true;
    }

    bool statement(const std::vector<std::string>& w)
    {
        const std::string& keyword = w[0];
        if (keyword == "rate") {
            if (!blocks.empty() || current)
                return fail("'rate' must come before the first effect");
            int32_t r;
            if (w.size() != 2 || !parseInt32(w[1], r) || r < 1 || r > 1000)
                return fail("'rate' takes one number of rows per second, 1 to 1000");
            rate = r;
            return true;
        }
        if (keyword == "bpm" || keyword == "rows-per-beat") {
            if (!blocks.empty() || current)
                return fail("'" + keyword + "' must come before the first effect");
            uint64_t num, den;
            if (keyword == "bpm") {
                if (w.size() != 2 || !parseDecimal(w[1], 1000, num, den) || num * (1000 / den) < 1000 ||
                    num * (1000 / den) > 1000000)
                    return fail("'bpm' takes one number of beats per minute, 1 to 1000 (up to three decimals)");
                milliBpm = static_cast<int32_t>(num * (1000 / den));
            } else {
                if (w.size() != 2 || !parseUnsigned(w[1], 100000, num) || num < 1)
                    return fail("'rows-per-beat' takes one whole number of rows, 1 to 100000");
                rowsPerBeat = static_cast<int32_t>(num);
            }
            return true;
        }
        if (keyword == "effect")
            return effect(w);
        if (!current)
            return fail("'" + keyword + "' outside an effect block (start one with 'effect NAME')");
        if (keyword == "start" || keyword == "stop")
            return startStop(w);
        if (keyword == "curve") {
            if (w.size() != 2)
                return fail("'curve' takes one name");
            if (w[1].empty())
                return fail("a curve name may not be empty");
            if (w[1].find('/') != std::string::npos)
                return fail("curve name '" + w[1] + "' may not contain '/' (it is part of a track file name)");
            if (!current->curveNames.insert(w[1]).second)
                return fail("curve '" + w[1] + "' appears twice in effect '" + current->name + "'");
            current->effect->addTrack(w[1], &current->curve);
            record(TrackScript::Statement::Curve, w[1], 0);
            return true;
        }
        const bool beat = keyword.size() > 1 && keyword[0] == 'b' && keyword[1] >= '0' && keyword[1] <= '9';
        if (!keyword.empty() && (keyword[0] == '@' || (keyword[0] >= '0' && keyword[0] <= '9') || beat ||
                                 keyword == "bar"))
            return curveKey(w);
        return fail("unknown word '" + keyword + "' (expected effect, start, stop, curve or a curve key)");
    }

    bool effect(const std::vector<std::string>& w)
    {
        if (!finishBlock())
            return false;
        if (w.size() < 2)
            return fail("'effect' needs a name");
        const std::string& name = w[1];
        if (name.empty())
            return fail("an effect name may not be empty");
        if (name.find('.') != std::string::npos || name.find('/') != std::string::npos)
            return fail("effect name '" + name + "' may not contain '.' or '/' (they separate track file names)");
        if (!names.insert(name).second)
            return fail("effect '" + name + "' appears twice");
        auto block = std::make_unique<Block>();
        block->name = name;
        block->priority = static_cast<int32_t>(blocks.size());
        block->startStop = std::make_unique<TrackStartStop>(block->priority);
        block->effect = std::make_unique<StandInEffect>();
        for (size_t i = 2; i < w.size(); ++i) {
            if (w[i] == "priority" && i + 1 < w.size()) {
                if (!parseInt32(w[++i], block->priority))
                    return fail("priority '" + w[i] + "' is not a whole number");
            } else if (w[i] == "disabled") {
                block->enabled = false;
            } else {
                return fail("unexpected '" + w[i] + "' after the effect name (expected 'priority N' or 'disabled')");
            }
        }
        current = std::move(block);
        record(TrackScript::Statement::Effect, std::string(), 0);
        return true;
    }

    bool startStop(const std::vector<std::string>& w)
    {
        bool start = w[0] == "start";
        size_t i = 1;
        uint32_t r;
        if (w.size() < 2)
            return fail(start ? "'start' takes a row and an optional target" : "'stop' takes a row");
        if (!position(w, i, r))
            return false;
        if (w.size() > i + (start ? 1u : 0u))
            return fail(start ? "'start' takes a row and an optional target" : "'stop' takes a row");
        if (current->startStop->hasKey(r))
            return fail("effect '" + current->name + "' already has a key at row " + std::to_string(r));
        current->startStop->insertKey(StartStopKey(r, start ? StartStopKey::Start : StartStopKey::Stop,
                                                   start && i < w.size() ? w[i] : "screen"));
        record(start ? TrackScript::Statement::Start : TrackScript::Statement::Stop, std::string(), r);
        return true;
    }

    bool curveKey(const std::vector<std::string>& w)
    {
        if (!current->curve)
            return fail("a curve key before any 'curve NAME' line");
        size_t i = 0;
        uint32_t r;
        if (!position(w, i, r))
            return false;
        if (w.size() < i + 1 || w.size() > i + 2)
            return fail("a curve key is: row value [interpolation]");
        const std::string& number = w[i];
        errno = 0;
        char* end = nullptr;
        float value = std::strtof(number.c_str(), &end);
        if (end == number.c_str() || *end != '\0' || errno == ERANGE)
            return fail("'" + number + "' is not a number");
        uint32_t type = InterpolateKey::Linear;
        if (w.size() == i + 2 && !TrackScript::parseInterpolation(w[i + 1], type))
            return fail("unknown interpolation '" + w[i + 1] + "' (linear, ease-out, ease-in, hold, quad, smooth or a number)");
        if (current->curve->hasKey(r))
            return fail("curve '" + current->curve->getName() + "' already has a key at row " + std::to_string(r));
        current->curve->insertKey(InterpolateKey(r, value, type));
        record(TrackScript::Statement::Key, current->curve->getName(), r);
        return true;
    }

    bool finishBlock()
    {
        if (current)
            blocks.push_back(std::move(*current));
        current.reset();
        return true;
    }

    void record(TrackScript::Statement::Kind kind, const std::string& curve, uint32_t row)
    {
        if (!layout)
            return;
        TrackScript::Statement st;
        st.line = lineNumber - 1;
        st.kind = kind;
        st.effect = current ? current->name : std::string();
        st.curve = curve;
        st.row = row;
        layout->push_back(st);
    }

    std::string fileName;
    std::string& error;
    std::vector<TrackScript::Statement>* layout;
    int lineNumber = 0;
    int32_t rate = TrackManager::defaultRowsPerSecond;
    int32_t milliBpm = 0;
    int32_t rowsPerBeat = 0;
    std::vector<Block> blocks;
    std::unique_ptr<Block> current;
    std::set<std::string> names;
};

} // namespace

std::string TrackScript::interpolationName(uint32_t type)
{
    return type < 6 ? interpolationNames[type] : std::to_string(type);
}

bool TrackScript::parseInterpolation(const std::string& word, uint32_t& type)
{
    for (uint32_t t = 0; t < 6; ++t) {
        if (word == interpolationNames[t]) {
            type = t;
            return true;
        }
    }
    uint64_t value;
    if (!parseUnsigned(word, 0xFFFFFFFFull, value))
        return false;
    type = static_cast<uint32_t>(value);
    return true;
}

Status TrackScript::parse(const std::string& text, const std::string& fileName, TimelineDocument& document,
                          std::vector<Statement>* layout)
{
    if (layout)
        layout->clear();
    std::string error;
    Parser parser(fileName, error, layout);
    if (parser.run(text, document))
        return Status::success();
    return Status::failure(error);
}

std::string TrackScript::format(const TimelineDocument& document)
{
    const TrackManager& m = *document.manager();
    uint64_t rate = static_cast<uint64_t>(m.getRowsPerSecond());
    const TimelineDocument::BeatGrid& beats = document.beatGrid;
    const Grid grid = gridOf(m.getRowsPerSecond(), beats.milliBpm, beats.rowsPerBeat);
    auto timeOf = [rate, &grid](uint32_t row) {
        return formatTime(uint64_t(row) * 1000 / rate) + (grid.defined() ? "  " + formatBar(row, grid) : "");
    };
    std::ostringstream out;
    out << "# Sync timeline: " << m.getEntryCount() << " effects, in drawing order.\n"
        << "# Keys are on rows; the comments give their times" << (grid.defined() ? " and bars" : "") << ".\n"
        << "rate " << rate << "\n";
    if (beats.milliBpm > 0)
        out << "bpm " << formatMilli(beats.milliBpm) << "\n";
    if (beats.rowsPerBeat > 0)
        out << "rows-per-beat " << beats.rowsPerBeat << "\n";
    for (const EffectTracks* entry : m.getDrawOrder()) {
        out << "\neffect " << quoteIfNeeded(entry->name) << " priority " << entry->startStop->getPriority();
        if (!entry->startStop->isEnabled())
            out << " disabled";
        out << "\n";
        std::vector<StartStopKey> keys;
        entry->startStop->getKeys(keys);
        for (const StartStopKey& k : keys) {
            std::string line = "  ";
            if (k.type == StartStopKey::Start) {
                line += "start " + std::to_string(k.row);
                if (k.target != "screen")
                    line += " " + quoteIfNeeded(k.target);
            } else {
                // A key that is neither start nor stop cannot be written; the engine's
                // check refuses such tracks before they get here.
                line += "stop " + std::to_string(k.row);
            }
            out << line << std::string(line.size() < 28 ? 28 - line.size() : 1, ' ') << "# " << timeOf(k.row) << "\n";
        }
        for (const TrackInterpolate* curve : entry->tracks) {
            out << "  curve " << quoteIfNeeded(curve->getName()) << "\n";
            std::vector<InterpolateKey> ckeys;
            curve->getKeys(ckeys);
            for (const InterpolateKey& k : ckeys) {
                std::string line = "    " + std::to_string(k.row) + " " + formatFloat(k.value);
                if (k.type != InterpolateKey::Linear)
                    line += " " + interpolationName(k.type);
                out << line << std::string(line.size() < 28 ? 28 - line.size() : 1, ' ') << "# " << timeOf(k.row)
                    << "\n";
            }
        }
    }
    return out.str();
}

std::string TrackScript::positionText(uint32_t row, int32_t rowsPerSecond, const TimelineDocument::BeatGrid& grid,
                                      bool preferTime)
{
    const Grid g = gridOf(rowsPerSecond, grid.milliBpm, grid.rowsPerBeat);
    // On the grid when the part of a beat is a whole number of thousandths.
    if (g.defined() && (uint64_t(row) * g.den % g.num) * 1000 % g.num == 0)
        return formatBar(row, g);
    const uint64_t rate = static_cast<uint64_t>(rowsPerSecond);
    if (preferTime && uint64_t(row) * 1000 % rate == 0)
        return "@" + formatTime(uint64_t(row) * 1000 / rate);
    return std::to_string(row);
}

std::string TrackScript::valueText(float value)
{
    char buffer[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(buffer, nullptr) == value)
            break;
    }
    return buffer;
}

std::string TrackScript::quoteName(const std::string& name)
{
    return quoteIfNeeded(name);
}
