#include "BeatGrid.h"

#include "TextNumber.h"
#include "TextWords.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <numeric>
#include <sstream>

namespace {

using Wide = unsigned __int128;

uint32_t clampToU32(Wide value)
{
    return value > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                         : static_cast<uint32_t>(value);
}

bool parseWhole(const std::string& word, uint64_t limit, uint64_t& out)
{
    return TextNumber::parseUnsigned(word, limit, out);
}

// "120", "127.5", "128.125": thousandths.
bool parseMilli(const std::string& word, uint64_t& out)
{
    uint64_t num = 0, den = 1;
    if (!TextNumber::parseDecimal(word, 1000000, num, den))
        return false;
    out = num * (1000 / den);
    return true;
}

} // namespace

BeatGrid::BeatGrid() = default;

Status BeatGrid::parse(const std::string& text, const std::string& fileName)
{
    uint64_t milliBpm = 120000, rate = 20, rowsPerBeat = 0, perBar = 4;
    std::vector<Section> found;
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string& reason) {
        return Status::failure(fileName + ":" + std::to_string(lineNumber) + ": " + reason);
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::vector<std::string> w = TextWords::split(line);
        if (w.empty())
            continue;
        const std::string& key = w[0];
        if (key == "tempo" || key == "bpm") {
            if (w.size() != 2 || !parseMilli(w[1], milliBpm) || milliBpm < 1000 || milliBpm > 1000000)
                return fail("'" + key + "' takes one number of beats per minute, 1 to 1000 (up to three decimals)");
        } else if (key == "rows" || key == "rate") {
            if (w.size() != 2 || !parseWhole(w[1], 1000, rate) || rate < 1)
                return fail("'" + key + "' takes one number of rows per second, 1 to 1000");
        } else if (key == "rows-per-beat") {
            if (w.size() != 2 || !parseWhole(w[1], 100000, rowsPerBeat) || rowsPerBeat < 1)
                return fail("'rows-per-beat' takes one whole number of rows, 1 to 100000");
        } else if (key == "beats-per-bar") {
            if (w.size() != 2 || !parseWhole(w[1], 64, perBar) || perBar < 1)
                return fail("'beats-per-bar' takes one whole number, 1 to 64");
        } else if (key == "section") {
            uint64_t bar = 0, bars = 0;
            if (w.size() < 3 || w.size() > 4 || !parseWhole(w[2], 1000000, bar) || bar < 1 ||
                (w.size() == 4 && !parseWhole(w[3], 1000000, bars)))
                return fail("'section' takes a name, its first bar (from 1) and optionally its number of bars");
            for (const Section& s : found) {
                if (s.name == w[1])
                    return fail("section '" + w[1] + "' is named twice");
                if (s.firstBar == bar)
                    return fail("sections '" + s.name + "' and '" + w[1] + "' both start at bar " + w[2]);
            }
            Section s;
            s.name = w[1];
            s.firstBar = static_cast<uint32_t>(bar);
            found.push_back(s);
        }
    }

    rowsPerSecond = static_cast<uint32_t>(rate);
    beatsPerBar = static_cast<uint32_t>(perBar);
    if (rowsPerBeat > 0) {
        rowsPerBeatNum = rowsPerBeat;
        rowsPerBeatDen = 1;
    } else {
        // rows x 60 / bpm = rows x 60000 / milliBpm
        const uint64_t num = rate * 60000, g = std::gcd(num, milliBpm);
        rowsPerBeatNum = num / g;
        rowsPerBeatDen = milliBpm / g;
    }
    std::sort(found.begin(), found.end(), [](const Section& a, const Section& b) { return a.firstBar < b.firstBar; });
    for (Section& s : found) {
        const uint64_t beats = uint64_t(s.firstBar - 1) * beatsPerBar;
        s.startMs = msOfBeats(beats);
        s.startRow = clampToU32(Wide(beats) * rowsPerBeatNum / rowsPerBeatDen);
    }
    sections = found;
    return Status::success();
}

Status BeatGrid::load(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Status::failure(path + ": cannot be read");
    std::ostringstream text;
    text << file.rdbuf();
    return parse(text.str(), path);
}

uint32_t BeatGrid::msOfBeats(uint64_t beats) const
{
    // beats x rows per beat / rows per second, in ms, rounded up
    const Wide num = Wide(beats) * rowsPerBeatNum * 1000;
    const Wide den = Wide(rowsPerBeatDen) * rowsPerSecond;
    return clampToU32((num + den - 1) / den);
}

uint64_t BeatGrid::beatIndexAt(uint32_t timeMs) const
{
    const Wide num = Wide(timeMs) * rowsPerSecond * rowsPerBeatDen;
    const Wide den = Wide(rowsPerBeatNum) * 1000;
    return static_cast<uint64_t>(num / den);
}

uint32_t BeatGrid::beatStartMs(uint64_t index) const { return msOfBeats(index); }

uint32_t BeatGrid::barStartMs(uint32_t bar) const { return msOfBeats(uint64_t(std::max(bar, 1u) - 1) * beatsPerBar); }

uint32_t BeatGrid::barStartRow(uint32_t bar) const
{
    const uint64_t beats = uint64_t(std::max(bar, 1u) - 1) * beatsPerBar;
    return clampToU32(Wide(beats) * rowsPerBeatNum / rowsPerBeatDen);
}

// beatIndexAt(t) is the beat that has begun at t; since its start is rounded up to a
// whole ms, the beat after it is the first to start later than t.
uint32_t BeatGrid::nextBeatMs(uint32_t timeMs) const { return msOfBeats(beatIndexAt(timeMs) + 1); }

uint32_t BeatGrid::previousBeatMs(uint32_t timeMs) const
{
    uint64_t index = beatIndexAt(timeMs);
    if (msOfBeats(index) >= timeMs)
        index = index > 0 ? index - 1 : 0;
    return std::min(msOfBeats(index), timeMs);
}

uint32_t BeatGrid::nextBarMs(uint32_t timeMs) const
{
    const uint64_t bar = beatIndexAt(timeMs) / beatsPerBar;
    return msOfBeats((bar + 1) * beatsPerBar);
}

uint32_t BeatGrid::previousBarMs(uint32_t timeMs) const
{
    uint64_t bar = beatIndexAt(timeMs) / beatsPerBar;
    if (msOfBeats(bar * beatsPerBar) >= timeMs)
        bar = bar > 0 ? bar - 1 : 0;
    return std::min(msOfBeats(bar * beatsPerBar), timeMs);
}

bool BeatGrid::nextSectionMs(uint32_t timeMs, uint32_t& out) const
{
    for (const Section& s : sections)
        if (s.startMs > timeMs) {
            out = s.startMs;
            return true;
        }
    return false;
}

bool BeatGrid::previousSectionMs(uint32_t timeMs, uint32_t& out) const
{
    for (auto it = sections.rbegin(); it != sections.rend(); ++it)
        if (it->startMs < timeMs) {
            out = it->startMs;
            return true;
        }
    return false;
}

const BeatGrid::Section* BeatGrid::sectionAt(uint32_t timeMs) const
{
    const Section* at = nullptr;
    for (const Section& s : sections)
        if (s.startMs <= timeMs)
            at = &s;
    return at;
}

uint32_t BeatGrid::rowAt(uint32_t timeMs) const
{
    return static_cast<uint32_t>(uint64_t(timeMs) * rowsPerSecond / 1000u);
}

std::string BeatGrid::barBeatText(uint32_t timeMs) const
{
    const uint64_t beat = beatIndexAt(timeMs);
    return std::to_string(beat / beatsPerBar + 1) + "." + std::to_string(beat % beatsPerBar + 1);
}
