#include "ShaderPreprocessor.h"

#include "Log.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "ResourceFile.h"
#include "ShaderSourceMap.h"

#include <algorithm>
#include <cstddef>
#include <memory>

using ORVDemosys::Log;

namespace {

constexpr size_t minIncludeLineLength = 10;

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string trim(const std::string& s)
{
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && isWhiteSpace(s[begin]))
        ++begin;
    while (end > begin && isWhiteSpace(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

// Tokens at blanks; runs of blanks give no empty tokens and tokens made only of other
// white space (tabs, a stray "\r") are dropped.
std::vector<std::string> tokenize(const std::string& line)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start) {
            std::string token = line.substr(start, i - start);
            if (!trim(token).empty())
                tokens.push_back(token);
        }
    }
    return tokens;
}

// A lexical form of a path under the shader directory, so that "a.glsl", "./a.glsl"
// and "lib/../a.glsl" are recognised as one file in a cycle check.
std::string normalizePath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string result;
    for (const std::string& part : parts) {
        if (!result.empty())
            result += '/';
        result += part;
    }
    return result;
}

// The files being expanded, outermost first: display names for the message and
// normalised names for the comparison.
struct IncludeChain {
    std::vector<std::string> names;
    std::vector<std::string> keys;
    int includes = 0; // include lines expanded so far, at any depth
};

bool readFile(const ShaderPreprocessor::SourceReader& read, const std::string& path, std::string& text)
{
    if (read)
        return read(path, text);
    std::unique_ptr<ResourceFile> file(ORVIO::loadTextFile(path));
    if (!file || !file->isLoaded())
        return false;
    text = file->toString();
    return true;
}

// Copies one line with its line end, and records where each output line it makes came
// from (an inserted define carries its own line end, so it makes two).
void copyLine(std::string& output, const std::string& line, ShaderSourceMap* map, const std::string& file,
              int number)
{
    output += line;
    output += '\n';
    if (!map)
        return;
    const size_t breaks = 1 + static_cast<size_t>(std::count(line.begin(), line.end(), '\n'));
    for (size_t i = 0; i < breaks; ++i)
        map->add(file, number);
}

// numbers[i] is the line in the file of lines[i] (0 for an inserted define); without
// them lines[i] is line i + 1.
Status expand(std::string& output, const std::vector<std::string>& lines,
            const std::string& directory, const std::string& displayName, int depth, IncludeChain& chain,
            ShaderSourceMap* map, const std::vector<int>* numbers, const ShaderPreprocessor::SourceReader& read)
{
    if (output.size() > ShaderPreprocessor::maxExpandedSize) {
        return Status::failure("Include expansion of " + displayName + " depth " + std::to_string(depth) +
                               " exceeds " + std::to_string(ShaderPreprocessor::maxExpandedSize) + " bytes");
    }
    for (size_t index = 0; index < lines.size(); ++index) {
        const std::string& line = lines[index];
        const int number = numbers && index < numbers->size() ? (*numbers)[index] : static_cast<int>(index) + 1;
        if (line.size() < minIncludeLineLength || line[0] != '#') {
            copyLine(output, line, map, displayName, number);
            continue;
        }
        std::vector<std::string> tokens = tokenize(line);
        if (tokens.size() < 2 || trim(tokens[0]) != "#include") {
            copyLine(output, line, map, displayName, number);
            continue;
        }
        // Taken literally: no quotes or brackets are removed.
        const std::string fileName = trim(tokens[1]);
        const std::string key = normalizePath(fileName);
        const std::string where = "'" + line + "' in " + displayName + " depth " + std::to_string(depth);

        for (size_t i = 0; i < chain.keys.size(); ++i) {
            if (chain.keys[i] != key)
                continue;
            std::string cycle;
            for (size_t j = i; j < chain.names.size(); ++j)
                cycle += chain.names[j] + " -> ";
            return Status::failure("Include cycle at " + where + " (" + cycle + fileName + ")");
        }
        if (depth + 1 > ShaderPreprocessor::maxIncludeDepth)
            return Status::failure("Include depth limit of " + std::to_string(ShaderPreprocessor::maxIncludeDepth) +
                                   " exceeded at " + where);
        if (++chain.includes > ShaderPreprocessor::maxIncludeCount)
            return Status::failure("Include limit of " + std::to_string(ShaderPreprocessor::maxIncludeCount) +
                                   " files exceeded at " + where);

        const std::string path = directory + fileName;
        // Registered before reading: the packing step must list a missing include too.
        ORVDemosys::registerShaderInclude(path);
        std::string text;
        if (!readFile(read, path, text))
            return Status::failure("Failed to include " + where);
        chain.names.push_back(fileName);
        chain.keys.push_back(key);
        Status included = expand(output, ShaderPreprocessor::splitLines(text), directory, fileName, depth + 1, chain,
                                 map, nullptr, read);
        chain.names.pop_back();
        chain.keys.pop_back();
        if (!included)
            return included;
    }
    return Status::success();
}

} // namespace

std::vector<std::string> ShaderPreprocessor::splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n') {
            lines.push_back(current);
            current.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.push_back(current);
            current.clear();
            ++i;
        } else {
            current += c;
        }
    }
    lines.push_back(current);
    return lines;
}

void ShaderPreprocessor::injectDefines(std::vector<std::string>& lines, const std::vector<std::string>& defines)
{
    // Behind the first line; an empty list has no first line to keep in front. The
    // position is fixed up front so the order is reversed in both cases.
    const size_t at = lines.empty() ? 0 : 1;
    for (const std::string& name : defines)
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), "#define " + name + "\n");
}

Status ShaderPreprocessor::shaderInclude(std::string& output, const std::vector<std::string>& lines,
                                         const std::string& directory, const std::string& displayName, int depth,
                                         const SourceReader& read)
{
    return shaderInclude(output, lines, directory, displayName, depth, nullptr, nullptr, read);
}

Status ShaderPreprocessor::shaderInclude(std::string& output, const std::vector<std::string>& lines,
                                         const std::string& directory, const std::string& displayName, int depth,
                                         ShaderSourceMap* map, const std::vector<int>* lineNumbers,
                                         const SourceReader& read)
{
    IncludeChain chain;
    chain.names.push_back(displayName);
    chain.keys.push_back(normalizePath(displayName));
    return expand(output, lines, directory, displayName, depth, chain, map, lineNumbers, read);
}

Status ShaderPreprocessor::preprocessFile(std::string& output, bool& found,
                                        const std::string& directory, const std::string& fileName,
                                        const std::vector<std::string>& defines, ShaderSourceMap* map,
                                        const SourceReader& read)
{
    output.clear();
    if (map)
        map->clear();
    std::vector<std::string> lines;
    {
        std::string text;
        found = readFile(read, directory + fileName, text);
        if (!found)
            return Status::failure("'" + directory + fileName + "' not found");
        lines = splitLines(text);
    }
    // The file's own line numbers, with 0 where injectDefines puts the defines.
    std::vector<int> numbers(lines.size());
    for (size_t i = 0; i < numbers.size(); ++i)
        numbers[i] = static_cast<int>(i) + 1;
    numbers.insert(numbers.begin() + (lines.empty() ? 0 : 1), defines.size(), 0);
    injectDefines(lines, defines);
    return shaderInclude(output, lines, directory, fileName, 0, map, &numbers, read);
}

Status ShaderPreprocessor::prepareStage(Stage stage, const std::string& name, const std::vector<std::string>& defines,
                                        std::string& source, ShaderSourceMap* map)
{
    const bool vertex = stage == Stage::Vertex;
    const std::string fileName = name + (vertex ? ".vert" : ".frag");

    std::string output;
    bool found = false;
    Status expanded = preprocessFile(output, found, ORVDemosys::shaderDirectory, fileName, defines, map);
    if (expanded) {
        source = output;
        return expanded;
    }
    // The stage's line here; the reason goes to whoever gives up on the shader.
    if (found) {
        Log::error() << "shaderInclude(..) failed " << std::endl;
        return expanded;
    }
    if (vertex) {
        Log::error() << "Failed to find vertex shader '" << fileName << "'" << std::endl;
        return Status::failure("Vertex shader '" + fileName + "' not found");
    }
    Log::error() << "Failed to find fragment shader '" << fileName << "'" << std::endl;
    // The message text is fixed as the engine has always reported it.
    return Status::failure("Fragement shader '" + fileName + "' not found");
}

Status ShaderPreprocessor::prepareSources(const std::string& name, const std::vector<std::string>& defines,
                                          std::string& vertexSource, std::string& fragmentSource,
                                          ShaderSourceMap* vertexMap, ShaderSourceMap* fragmentMap)
{
    Status vertex = prepareStage(Stage::Vertex, name, defines, vertexSource, vertexMap);
    if (!vertex)
        return vertex;
    return prepareStage(Stage::Fragment, name, defines, fragmentSource, fragmentMap);
}
