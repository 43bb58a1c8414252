// The shader preprocessor over an in-memory set of files made from the input: the text
// up to the first line "@@ NAME" is the top-level file top.vert, each "@@ NAME" line
// starts the file NAME. Includes may name any of them, nest, repeat and form cycles.
// Nothing may crash or hang; a success leaves no include line unexpanded and stays
// within the size bound, a failure says why.
#include "MemoryShaderFiles.h"
#include "ORVDemosys.h"
#include "ShaderPreprocessor.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string directory = "shaders/";

std::map<std::string, std::string> splitFiles(const std::string& input)
{
    std::map<std::string, std::string> files;
    std::string name = "top.vert";
    std::string text;
    size_t at = 0;
    while (at <= input.size()) {
        size_t end = input.find('\n', at);
        if (end == std::string::npos)
            end = input.size();
        std::string line = input.substr(at, end - at);
        if (line.compare(0, 3, "@@ ") == 0) {
            files[directory + name] = text;
            name = line.substr(3);
            text.clear();
        } else {
            text += line;
            if (end < input.size())
                text += '\n';
        }
        at = end + 1;
    }
    files[directory + name] = text;
    return files;
}

bool isIncludeLine(const std::string& line)
{
    if (line.size() < 10 || line[0] != '#')
        return false;
    size_t start = line.find_first_not_of(' ');
    size_t end = line.find(' ', start);
    if (end == std::string::npos || line.compare(start, end - start, "#include") != 0)
        return false;
    // A second token that holds more than white space.
    return line.find_first_not_of(" \t\r\n\v\f", end) != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::map<std::string, std::string> files = splitFiles(std::string(reinterpret_cast<const char*>(data), size));
    const ShaderPreprocessor::SourceReader read = readFromMemory(files);
    std::string output;
    bool found = false;
    Status ok = ShaderPreprocessor::preprocessFile(output, found, directory, "top.vert", {"A", "B"}, nullptr, read);
    ORVDemosys::shaderIncludes.clear();
    if (!found)
        std::abort(); // the top-level file is always there
    if (!ok) {
        if (ok.reason().empty())
            std::abort();
        return 0;
    }
    if (output.size() > ShaderPreprocessor::maxExpandedSize + 2 * size + 64)
        std::abort();
    for (const std::string& line : ShaderPreprocessor::splitLines(output))
        if (isIncludeLine(line))
            std::abort();
    return 0;
}
