#pragma once

#include "Status.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class ShaderSourceMap;

// The engine's own GLSL source preprocessor: injects a shader declaration's #define
// lines behind the first (#version) line and replaces #include lines, recursively, by
// the text of the named file. All files, at any depth, are read through ORVIO from one
// directory (includes are never resolved relative to the including file).
//
// A shader program's preparation reads its two files with prepareStage() (or both with
// prepareSources()) and then only has to build the GL program.
class ShaderPreprocessor {
public:
    enum class Stage { Vertex, Fragment };

    // Include chains deeper than this fail (the top-level file is depth 0).
    static constexpr int maxIncludeDepth = 32;
    // Without a cycle, files that include one another more than once still multiply at
    // every level: an expansion that reads more includes than this, or grows past this
    // many bytes, fails. Real shaders stay far below both.
    static constexpr int maxIncludeCount = 256;
    static constexpr size_t maxExpandedSize = 1u << 20;

    // Reads the whole file at path into text; false when there is none. An empty reader
    // reads through ORVIO (loose files or the archive); tools and tests may serve files
    // from memory instead.
    using SourceReader = std::function<bool(const std::string& path, std::string& text)>;

    // One entry per line, terminators dropped: "\r\n" and "\n" end a line; a "\r" not
    // followed by "\n" stays in the line. Text ending in a line end gives a final empty
    // line; empty text gives one empty line.
    static std::vector<std::string> splitLines(const std::string& text);

    // Inserts "#define NAME\n" for each name, in list order, at index 1 (behind the
    // first line), so the names end up in reverse order. On an empty list they go to
    // the front, still in reverse order.
    static void injectDefines(std::vector<std::string>& lines, const std::vector<std::string>& defines);

    // Appends lines to output, each followed by "\n", expanding "#include NAME" lines
    // (10 characters or more) with directory + NAME. displayName and depth name the
    // file that holds lines in the failure's reason; output then holds what was expanded
    // before the failure.
    static Status shaderInclude(std::string& output, const std::vector<std::string>& lines,
                                const std::string& directory, const std::string& displayName, int depth,
                                const SourceReader& read = SourceReader());
    // The same, recording in map (when not null) the file and line of every output line;
    // lineNumbers[i] is the line in the file of lines[i] (0 for an inserted define),
    // lines[i] being line i + 1 without them.
    static Status shaderInclude(std::string& output, const std::vector<std::string>& lines,
                                const std::string& directory, const std::string& displayName, int depth,
                                ShaderSourceMap* map, const std::vector<int>* lineNumbers,
                                const SourceReader& read = SourceReader());

    // Reads directory + fileName, splits it, injects the defines and expands its
    // includes into output (replaced). found tells a missing file apart from a failed
    // include. A map given is refilled with the origin of every output line (what was
    // expanded before a failure, on failure).
    static Status preprocessFile(std::string& output, bool& found, const std::string& directory,
                                 const std::string& fileName, const std::vector<std::string>& defines,
                                 ShaderSourceMap* map = nullptr, const SourceReader& read = SourceReader());

    // One file of a shader program: "resources/shaders/" + name + ".vert" or ".frag".
    // On failure prints the stage's line and returns the reason ("Vertex shader 'x.vert'
    // not found", or the include failure), leaving source unchanged. On success source
    // holds the preprocessed text.
    static Status prepareStage(Stage stage, const std::string& name, const std::vector<std::string>& defines,
                               std::string& source, ShaderSourceMap* map = nullptr);

    // Both files, vertex first. vertexSource is written as soon as the vertex file has
    // been preprocessed, so a failing fragment file leaves it stored; fragmentSource is
    // written only on full success.
    // The maps, when given, say where each line of the two sources came from (see
    // ShaderSourceMap), so that a compiler log can name files and lines.
    static Status prepareSources(const std::string& name, const std::vector<std::string>& defines,
                                 std::string& vertexSource, std::string& fragmentSource,
                                 ShaderSourceMap* vertexMap = nullptr, ShaderSourceMap* fragmentMap = nullptr);
};
