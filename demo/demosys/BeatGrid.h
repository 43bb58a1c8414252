#pragma once

#include "Status.h"

#include <cstdint>
#include <string>
#include <vector>

// The music's beat grid and section table, for moving about the demo in musical terms:
// rows per second, rows per beat (a fraction: 120 beats a minute at 20 rows a second is
// 10 rows, 128 would be 9.375), beats per bar and named sections that start on a bar.
// Beats and bars count from 1 as a musician counts them, as in the sync script: bar
// 17.1 is beat 65, and at 10 rows a beat that is row 640.
//
// Times are the demo clock's whole milliseconds. A beat that falls between two
// milliseconds starts at the later one, so seeking to it never lands before it.
//
// The grid is data: parse() reads it from a text that holds any of these lines (others
// are passed over, so a music score in the form demosys-score renders reads as it is):
//
//   tempo 120             beats per minute ("bpm 120" too), up to three decimals
//   rows 20               sync rows per second ("rate 20" too)
//   rows-per-beat 10      a whole number of rows, instead of rows x 60 / tempo
//   beats-per-bar 4
//   section drop1 17 16   a section: its name, first bar (from 1) and bars (optional)
class BeatGrid {
public:
    struct Section {
        std::string name;
        uint32_t firstBar = 1;
        uint32_t startRow = 0;
        uint32_t startMs = 0;
    };

    // 120 beats a minute at 20 rows a second, 4 beats a bar, no sections.
    BeatGrid();

    // Reads the grid from text (see above). Fails with "FILE:LINE: reason"; the grid is
    // then unchanged. Sections are kept in bar order whatever the order of their lines.
    Status parse(const std::string& text, const std::string& fileName);
    // The same from a file on disk.
    Status load(const std::string& path);

    uint32_t getRowsPerSecond() const { return rowsPerSecond; }
    uint32_t getBeatsPerBar() const { return beatsPerBar; }
    // Rows per beat as rowsPerBeatNum / rowsPerBeatDen.
    uint64_t getRowsPerBeatNum() const { return rowsPerBeatNum; }
    uint64_t getRowsPerBeatDen() const { return rowsPerBeatDen; }
    const std::vector<Section>& getSections() const { return sections; }

    // Beats counted from 0 at the start that have begun by timeMs.
    uint64_t beatIndexAt(uint32_t timeMs) const;
    // The start of beat index (from 0) in ms.
    uint32_t beatStartMs(uint64_t index) const;
    // The start of bar (from 1) in ms and in rows (the row it begins in).
    uint32_t barStartMs(uint32_t bar) const;
    uint32_t barStartRow(uint32_t bar) const;
    // The first beat start after timeMs, and the last one before it (0 when none is).
    uint32_t nextBeatMs(uint32_t timeMs) const;
    uint32_t previousBeatMs(uint32_t timeMs) const;
    uint32_t nextBarMs(uint32_t timeMs) const;
    uint32_t previousBarMs(uint32_t timeMs) const;
    // The first section start after timeMs (false when there is none), and the last
    // one before it (false when none is).
    bool nextSectionMs(uint32_t timeMs, uint32_t& out) const;
    bool previousSectionMs(uint32_t timeMs, uint32_t& out) const;
    // The section playing at timeMs: the last that has started; null before the first.
    const Section* sectionAt(uint32_t timeMs) const;

    // The sync row at timeMs, as the timer counts it.
    uint32_t rowAt(uint32_t timeMs) const;
    // "17.1": the bar and the beat in it that have begun at timeMs.
    std::string barBeatText(uint32_t timeMs) const;

private:
    // The first whole ms at or after the start of beat index beats.
    uint32_t msOfBeats(uint64_t beats) const;

    uint32_t rowsPerSecond = 20;
    uint32_t beatsPerBar = 4;
    uint64_t rowsPerBeatNum = 10;
    uint64_t rowsPerBeatDen = 1;
    std::vector<Section> sections;
};
