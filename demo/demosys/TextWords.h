#pragma once

#include <string>
#include <vector>

// Words of one line of the engine's and the tools' text formats (beat grids, sync
// scripts, scores): blanks (space, tab, carriage return) separate words and "#" starts a
// comment. Formats differ in two rules only, so they are options rather than copies.
namespace TextWords {

struct Rules {
    // A "#" inside a word is part of it and only a "#" that begins a word starts the
    // comment (a score's "C#5" is a note).
    bool commentAtWordStart = false;
    // Double quotes hold one word with blanks; a backslash takes the next character as
    // it is.
    bool quotes = false;
};

// Appends the words of line to words. false only for a quote left open (with quotes on).
bool split(const std::string& line, std::vector<std::string>& words, const Rules& rules = Rules());

// The words of a line in a format without quotes, where nothing can fail.
std::vector<std::string> split(const std::string& line, const Rules& rules = Rules());

} // namespace TextWords
