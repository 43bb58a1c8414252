#include "ShaderSourceMap.h"

#include <algorithm>
#include <cctype>

namespace {

bool readNumber(const std::string& s, size_t& at, int& out)
{
    const size_t start = at;
    long value = 0;
    while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at])) && at - start < 9)
        value = value * 10 + (s[at++] - '0');
    out = static_cast<int>(value);
    return at > start;
}

bool readText(const std::string& s, size_t& at, const char* text)
{
    const std::string t(text);
    if (s.compare(at, t.size(), t) != 0)
        return false;
    at += t.size();
    return true;
}

} // namespace

void ShaderSourceMap::clear()
{
    files.clear();
    lines.clear();
}

void ShaderSourceMap::add(const std::string& file, int line)
{
    auto it = std::find(files.begin(), files.end(), file);
    int index = static_cast<int>(it - files.begin());
    if (it == files.end())
        files.push_back(file);
    lines.emplace_back(index, line);
}

bool ShaderSourceMap::find(int outputLine, Origin& out) const
{
    if (outputLine < 1 || outputLine > lineCount())
        return false;
    const auto& entry = lines[static_cast<size_t>(outputLine - 1)];
    out.file = files[static_cast<size_t>(entry.first)];
    out.line = entry.second;
    return true;
}

bool ShaderSourceMap::parseLocation(const std::string& line, int& number, size_t& messageAt, std::string& severity)
{
    size_t at = 0;
    int source = 0;
    severity.clear();
    if (readText(line, at, "ERROR: ") || readText(line, at, "WARNING: ")) {
        // "ERROR: 0:37: message"
        severity = line.substr(0, at);
        if (!readNumber(line, at, source) || !readText(line, at, ":") || !readNumber(line, at, number) ||
            !readText(line, at, ":"))
            return false;
        while (at < line.size() && line[at] == ' ')
            ++at;
        messageAt = at;
        return true;
    }
    if (!readNumber(line, at, source))
        return false;
    if (readText(line, at, ":")) {
        // "0:37(5): message"
        int column = 0;
        if (!readNumber(line, at, number) || !readText(line, at, "(") || !readNumber(line, at, column) ||
            !readText(line, at, "):"))
            return false;
    } else if (readText(line, at, "(")) {
        // "0(37) : message"
        if (!readNumber(line, at, number) || !readText(line, at, ")"))
            return false;
        while (at < line.size() && line[at] == ' ')
            ++at;
        if (!readText(line, at, ":"))
            return false;
    } else {
        return false;
    }
    while (at < line.size() && line[at] == ' ')
        ++at;
    messageAt = at;
    return true;
}

std::string ShaderSourceMap::translateLine(const std::string& line) const
{
    int number = 0;
    size_t messageAt = 0;
    std::string severity;
    Origin origin;
    if (!parseLocation(line, number, messageAt, severity) || !find(number, origin))
        return line;
    const std::string where = origin.line > 0 ? origin.file + ":" + std::to_string(origin.line)
                                              : origin.file + " (inserted #define)";
    return where + ": " + severity + line.substr(messageAt);
}

std::string ShaderSourceMap::translateLog(const std::string& log) const
{
    std::string out;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        const bool last = end == std::string::npos;
        out += translateLine(log.substr(start, last ? std::string::npos : end - start));
        if (last)
            break;
        out += '\n';
        start = end + 1;
    }
    return out;
}

std::string ShaderSourceMap::translateBuildLog(const std::string& log, const ShaderSourceMap& vertex,
                                               const ShaderSourceMap& fragment)
{
    const ShaderSourceMap* map = &fragment;
    std::string out;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        const bool last = end == std::string::npos;
        const std::string line = log.substr(start, last ? std::string::npos : end - start);
        if (line.rfind("Error while compiling vertex shader", 0) == 0)
            map = &vertex;
        else if (line.rfind("Error while compiling fragment shader", 0) == 0)
            map = &fragment;
        out += map->translateLine(line);
        if (last)
            break;
        out += '\n';
        start = end + 1;
    }
    return out;
}
