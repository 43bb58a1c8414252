#include "TextWords.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Reads a quoted word from just after its opening quote; i ends after the closing one.
bool readQuoted(const std::string& line, size_t& i, std::string& word)
{
    while (i < line.size()) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            word += line[i + 1];
            i += 2;
        } else if (line[i] == '"') {
            ++i;
            return true;
        } else {
            word += line[i++];
        }
    }
    return false;
}

} // namespace

namespace TextWords {

bool split(const std::string& line, std::vector<std::string>& words, const Rules& rules)
{
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (isBlank(c)) {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"' && rules.quotes) {
            std::string word;
            ++i;
            if (!readQuoted(line, i, word))
                return false;
            words.push_back(word);
        } else {
            const size_t start = i;
            while (i < line.size() && !isBlank(line[i]) && (rules.commentAtWordStart || line[i] != '#'))
                ++i;
            words.push_back(line.substr(start, i - start));
        }
    }
    return true;
}

std::vector<std::string> split(const std::string& line, const Rules& rules)
{
    std::vector<std::string> words;
    Rules plain = rules;
    plain.quotes = false;
    split(line, words, plain);
    return words;
}

} // namespace TextWords
