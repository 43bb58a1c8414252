#pragma once

#include <string>
#include <vector>

// Where each line of a preprocessed shader source came from: the file (as the include
// line named it, or the shader's own file name) and the line in it. The preprocessor
// fills one per stage; a compiler log about the preprocessed text can then name the
// file and line a demo maker edits, "common.glsl:12: error ..." instead of
// "0:37(5): error ...".
class ShaderSourceMap {
public:
    struct Origin {
        std::string file;
        // From 1; 0 for a #define line the engine inserted behind the first line.
        int line = 0;
    };

    void clear();
    // Appends the origin of the next output line.
    void add(const std::string& file, int line);

    int lineCount() const { return static_cast<int>(lines.size()); }
    // The origin of output line (from 1); false outside the source.
    bool find(int outputLine, Origin& out) const;
    // Every file the source was made from, the shader's own first, then its includes
    // in the order they were first read.
    const std::vector<std::string>& getFiles() const { return files; }

    // Rewrites the location of every log line that starts with one in the forms GL
    // drivers write ("0:37(5): ", Mesa; "0(37) : ", NVIDIA; "ERROR: 0:37: ", AMD and
    // others) as "FILE:LINE: "; all other lines, and lines past the source, stay.
    std::string translateLog(const std::string& log) const;
    // A program's build log (Shader::getErrorLog), whose stage headers ("Error while
    // compiling vertex shader", "... fragment shader") say which map applies; lines
    // before any header are taken as the fragment stage's (the link log names none).
    static std::string translateBuildLog(const std::string& log, const ShaderSourceMap& vertex,
                                         const ShaderSourceMap& fragment);

private:
    // "0:37(5): error" -> true with the line (37) and where the message starts.
    static bool parseLocation(const std::string& line, int& number, size_t& messageAt, std::string& severity);
    std::string translateLine(const std::string& line) const;

    std::vector<std::string> files;
    // Per output line: index into files, and the line in that file.
    std::vector<std::pair<int, int>> lines;
};
