#include "LogCapture.h"
#include "MemoryShaderFiles.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "ShaderPreprocessor.h"
#include "ShaderSourceMap.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

namespace {

// Runs each test in a fresh temporary directory holding a resources/shaders/ tree, read
// in file mode, and puts the working directory back afterwards.
class ShaderFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        previousDirectory = cwd;
        std::string pattern = (fs::temp_directory_path() / "demosys-shaders-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        ASSERT_EQ(chdir(root.c_str()), 0);
        fs::create_directories(ORVDemosys::shaderDirectory);
        previousMode = ORVIO::getMode();
        ORVIO::init(ORVIO::ModeFiles);
        ORVDemosys::shaderIncludes.clear();
    }

    void TearDown() override
    {
        ORVIO::init(previousMode);
        ORVDemosys::shaderIncludes.clear();
        EXPECT_EQ(chdir(previousDirectory.c_str()), 0);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    static void write(const std::string& name, const std::string& text)
    {
        fs::path path = fs::path(ORVDemosys::shaderDirectory) / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    // Expands a top-level text the way a shader file is expanded.
    static bool expand(const std::string& text, std::string& output, std::string& error,
                       const std::string& name = "top.vert")
    {
        Status expanded = ShaderPreprocessor::shaderInclude(output, ShaderPreprocessor::splitLines(text),
                                                            ORVDemosys::shaderDirectory, name, 0);
        error = expanded.reason();
        return expanded.ok();
    }

    static bool registered(const std::string& name)
    {
        const auto& list = ORVDemosys::shaderIncludes;
        return std::find(list.begin(), list.end(), ORVDemosys::shaderDirectory + name) != list.end();
    }

    std::string previousDirectory;
    std::string root;
    int previousMode = ORVIO::ModeFiles;
};

} // namespace

TEST(ShaderPreprocessorText, SplitLinesOnLfAndCrLfOnly)
{
    struct Case {
        std::string text;
        Lines lines;
    };
    const Case cases[] = {
        {"", {""}},
        {"a", {"a"}},
        {"a\n", {"a", ""}},
        {"\n", {"", ""}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\r\n", {"a", "b", ""}},
        {"\r\n\r\n", {"", "", ""}},
        {"a\rb", {"a\rb"}},
        {"a\r", {"a\r"}},
        {"\r", {"\r"}},
        {"a\r\r\nb", {"a\r", "b"}},
        {"a\n\rb", {"a", "\rb"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(ShaderPreprocessor::splitLines(c.text), c.lines);
    }
}

TEST(ShaderPreprocessorText, DefinesGoBehindFirstLineInReverseOrder)
{
    Lines lines = {"#version 330", "void main() {}"};
    ShaderPreprocessor::injectDefines(lines, {"A", "B"});
    EXPECT_EQ(lines, (Lines{"#version 330", "#define B\n", "#define A\n", "void main() {}"}));

    std::string output;
    ASSERT_TRUE(succeeds(ShaderPreprocessor::shaderInclude(output, lines, "unused/", "x.vert", 0)));
    EXPECT_EQ(ShaderPreprocessor::splitLines(output),
              (Lines{"#version 330", "#define B", "", "#define A", "", "void main() {}", ""}));

    Lines single = {"#version 150"};
    ShaderPreprocessor::injectDefines(single, {"ONLY"});
    EXPECT_EQ(single, (Lines{"#version 150", "#define ONLY\n"}));

    Lines empty;
    ShaderPreprocessor::injectDefines(empty, {"A", "B"});
    EXPECT_EQ(empty, (Lines{"#define B\n", "#define A\n"}));

    Lines untouched = {"#version 150", "x"};
    ShaderPreprocessor::injectDefines(untouched, {});
    EXPECT_EQ(untouched, (Lines{"#version 150", "x"}));
}

TEST_F(ShaderFiles, OnlyExactIncludeLinesOfTenOrMoreCharactersExpand)
{
    write("a", "A-TEXT");
    write("lib.glsl", "LIB\n");
    const std::string text = "#include a\n"          // exactly 10 characters: expanded
                             "#include \n"           // 9: copied
                             "#define X\n"           // 9: copied
                             "#INCLUDE lib.glsl\n"   // not lower case: copied
                             "#include\tlib.glsl\n"  // a tab is not a blank: one token, copied
                             " #include lib.glsl\n"  // does not start with '#': copied
                             "#include    lib.glsl   trailing words\n" // blanks collapse, extra tokens ignored
                             "#include lib.glsl\r\n"                   // CRLF file
                             "#include lib.glsl\r\r\n"                 // stray CR trimmed from the name
                             "#includes lib.glsl\n"                    // another directive: copied
                             "end";
    std::string output, error;
    ASSERT_TRUE(expand(text, output, error)) << error;
    EXPECT_EQ(output, "A-TEXT\n"
                      "#include \n"
                      "#define X\n"
                      "#INCLUDE lib.glsl\n"
                      "#include\tlib.glsl\n"
                      " #include lib.glsl\n"
                      "LIB\n\n"
                      "LIB\n\n"
                      "LIB\n\n"
                      "#includes lib.glsl\n"
                      "end\n");
}

TEST_F(ShaderFiles, IncludeNameIsTakenLiterally)
{
    write("lib.glsl", "LIB");
    std::string output, error;
    EXPECT_FALSE(expand("#include \"lib.glsl\"", output, error));
    EXPECT_EQ(error, "Failed to include '#include \"lib.glsl\"' in top.vert depth 0");
    EXPECT_TRUE(registered("\"lib.glsl\""));
}

TEST_F(ShaderFiles, IncludesResolveFromShaderDirectoryAtAnyDepth)
{
    write("common.glsl", "COMMON\n#include more/deep.glsl");
    write("post/common.glsl", "WRONG-DIRECTORY");
    write("more/deep.glsl", "DEEP\n#include common2.glsl");
    write("common2.glsl", "COMMON2");
    write("post/blur.vert", "#version 150\n#include common.glsl\nmain");
    write("post/blur.frag", "#version 150\nfrag");

    std::string vertex, fragment;
    ASSERT_TRUE(succeeds(ShaderPreprocessor::prepareSources("post/blur", {"Q"}, vertex, fragment)));
    EXPECT_EQ(vertex, "#version 150\n#define Q\n\nCOMMON\nDEEP\nCOMMON2\nmain\n");
    EXPECT_EQ(fragment, "#version 150\n#define Q\n\nfrag\n");
    EXPECT_EQ(ORVDemosys::shaderIncludes,
              (Lines{"resources/shaders/common.glsl", "resources/shaders/more/deep.glsl",
                     "resources/shaders/common2.glsl"}));
}

TEST_F(ShaderFiles, NestedMissingIncludeNamesLineFileAndDepth)
{
    write("x.vert", "#version 150\n#include y.glsl\n");
    write("y.glsl", "ok\n#include   missing.glsl  \n");

    std::string source = "previous";
    captureLog();
    Status prepared = ShaderPreprocessor::prepareStage(ShaderPreprocessor::Stage::Vertex, "x", {}, source);
    EXPECT_EQ(capturedLog(), "shaderInclude(..) failed \n");
    EXPECT_FALSE(prepared);
    EXPECT_EQ(prepared.reason(), "Failed to include '#include   missing.glsl  ' in y.glsl depth 1");
    EXPECT_EQ(source, "previous");
    // The failed path is registered too, so packing lists what was missing.
    EXPECT_TRUE(registered("y.glsl"));
    EXPECT_TRUE(registered("missing.glsl"));
}

TEST_F(ShaderFiles, MissingShaderFilesReportTheirStage)
{
    std::string vertex = "old vertex", fragment = "old fragment";
    captureLog();
    Status prepared = ShaderPreprocessor::prepareSources("nothere", {}, vertex, fragment);
    EXPECT_EQ(capturedLog(), "Failed to find vertex shader 'nothere.vert'\n");
    EXPECT_FALSE(prepared);
    EXPECT_EQ(prepared.reason(), "Vertex shader 'nothere.vert' not found");
    EXPECT_EQ(vertex, "old vertex");
    EXPECT_EQ(fragment, "old fragment");

    // The vertex file exists: its source is stored before the fragment file fails.
    write("half.vert", "#version 150\nv");
    captureLog();
    prepared = ShaderPreprocessor::prepareSources("half", {}, vertex, fragment);
    EXPECT_EQ(capturedLog(), "Failed to find fragment shader 'half.frag'\n");
    EXPECT_FALSE(prepared);
    EXPECT_EQ(prepared.reason(), "Fragement shader 'half.frag' not found");
    EXPECT_EQ(vertex, "#version 150\nv\n");
    EXPECT_EQ(fragment, "old fragment");
    EXPECT_TRUE(ORVDemosys::shaderIncludes.empty()); // top-level files are declared, not includes
}

TEST_F(ShaderFiles, UnknownResourceModeIsAMissingFile)
{
    write("m.vert", "v");
    ORVIO::init(7);
    std::string source;
    captureLog();
    Status prepared = ShaderPreprocessor::prepareStage(ShaderPreprocessor::Stage::Vertex, "m", {}, source);
    capturedLog();
    EXPECT_EQ(prepared.reason(), "Vertex shader 'm.vert' not found");
}

TEST_F(ShaderFiles, IncludeDepthIsBoundedAt32)
{
    // inc1 .. inc32 nest exactly 32 levels below the top-level file: allowed.
    for (int i = 1; i <= 40; ++i)
        write("inc" + std::to_string(i) + ".glsl", "L" + std::to_string(i) + "\n#include inc" + std::to_string(i + 1) +
                                                       ".glsl");
    write("inc32.glsl", "L32");
    std::string output, error;
    ASSERT_TRUE(expand("#include inc1.glsl", output, error)) << error;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 32);

    // One more level fails on the include line of the file at depth 32.
    write("inc32.glsl", "L32\n#include inc33.glsl");
    output.clear();
    write("deep.vert", "#version 150\n#include inc1.glsl");
    std::string source;
    captureLog();
    Status prepared = ShaderPreprocessor::prepareStage(ShaderPreprocessor::Stage::Vertex, "deep", {}, source);
    EXPECT_EQ(capturedLog(), "shaderInclude(..) failed \n");
    EXPECT_EQ(prepared.reason(), "Include depth limit of 32 exceeded at '#include inc33.glsl' in inc32.glsl depth 32");
    EXPECT_FALSE(registered("inc33.glsl"));
}

TEST_F(ShaderFiles, IncludeCyclesAreReportedWithTheChain)
{
    write("a.glsl", "A\n#include b.glsl");
    write("b.glsl", "B\n#include a.glsl");
    std::string output, error;
    EXPECT_FALSE(expand("#include a.glsl", output, error));
    EXPECT_EQ(error, "Include cycle at '#include a.glsl' in b.glsl depth 2 (a.glsl -> b.glsl -> a.glsl)");

    // The same file under another spelling of its path.
    write("c.glsl", "C\n#include sub/../c.glsl");
    output.clear();
    EXPECT_FALSE(expand("#include ./c.glsl", output, error));
    EXPECT_EQ(error, "Include cycle at '#include sub/../c.glsl' in ./c.glsl depth 1 (./c.glsl -> sub/../c.glsl)");

    // A top-level file that includes itself.
    write("self.vert", "#version 150\n#include self.vert");
    std::string source;
    captureLog();
    Status prepared = ShaderPreprocessor::prepareStage(ShaderPreprocessor::Stage::Vertex, "self", {}, source);
    capturedLog();
    EXPECT_EQ(prepared.reason(), "Include cycle at '#include self.vert' in self.vert depth 0 (self.vert -> self.vert)");
}

TEST_F(ShaderFiles, RepeatedIncludesWithoutCycleExpandEachTime)
{
    write("shared.glsl", "S");
    write("left.glsl", "#include shared.glsl\nLEFT");
    write("right.glsl", "#include shared.glsl\nRIGHT");
    std::string output, error;
    ASSERT_TRUE(expand("#include left.glsl\n#include right.glsl\n#include shared.glsl", output, error)) << error;
    EXPECT_EQ(output, "S\nLEFT\nS\nRIGHT\nS\n");
}

// Every output line maps back to the line of the file it was copied from, through
// defines and nested includes, and compiler logs are rewritten with those places.
TEST_F(ShaderFiles, OutputLinesMapBackToTheirFilesAndLines)
{
    const std::map<std::string, std::string> files = {
        {"basic.frag", "#version 150\n#include common.glsl\nuniform float x;\nvoid main() { broken }\n"},
        {"common.glsl", "// common\r\n#include lib/noise.glsl\nfloat c() { return 1.0; }"},
        {"lib/noise.glsl", "float n;\n"},
    };
    for (const auto& f : files)
        write(f.first, f.second);
    std::string output;
    bool found = false;
    ShaderSourceMap map;
    ASSERT_TRUE(succeeds(ShaderPreprocessor::preprocessFile(output, found, ORVDemosys::shaderDirectory, "basic.frag",
                                                            {"A", "B"}, &map)));
    const Lines out = ShaderPreprocessor::splitLines(output);
    // The text ends with a line end; the empty line after it is no line of the source.
    ASSERT_EQ(map.lineCount() + 1, static_cast<int>(out.size()));
    int defines = 0;
    for (int i = 1; i <= map.lineCount(); ++i) {
        ShaderSourceMap::Origin origin;
        ASSERT_TRUE(map.find(i, origin));
        if (origin.line == 0) {
            EXPECT_EQ(origin.file, "basic.frag");
            ++defines;
            continue;
        }
        const Lines source = ShaderPreprocessor::splitLines(files.at(origin.file));
        ASSERT_LE(origin.line, static_cast<int>(source.size()));
        EXPECT_EQ(out[static_cast<size_t>(i - 1)], source[static_cast<size_t>(origin.line - 1)])
            << "output line " << i << " from " << origin.file << ":" << origin.line;
    }
    EXPECT_EQ(defines, 4); // two defines, each with the empty line after it
    ShaderSourceMap::Origin origin;
    EXPECT_FALSE(map.find(0, origin));
    EXPECT_FALSE(map.find(map.lineCount() + 1, origin));
    EXPECT_EQ(map.getFiles(), (Lines{"basic.frag", "common.glsl", "lib/noise.glsl"}));

    // Output line 9 is common.glsl:3, line 11 basic.frag:4, in each driver's form.
    EXPECT_EQ(map.translateLog("0:11(15): error: syntax error, unexpected '}'\n0:9(7): warning: unused\n"
                               "0:99(1): error: past the end\nno location here"),
              "basic.frag:4: error: syntax error, unexpected '}'\ncommon.glsl:3: warning: unused\n"
              "0:99(1): error: past the end\nno location here");
    EXPECT_EQ(map.translateLog("0(9) : error C0000: syntax error"), "common.glsl:3: error C0000: syntax error");
    EXPECT_EQ(map.translateLog("ERROR: 0:11: 'broken' : undeclared identifier"),
              "basic.frag:4: ERROR: 'broken' : undeclared identifier");
    EXPECT_EQ(map.translateLog("0:2(1): error: in a define"), "basic.frag (inserted #define): error: in a define");

    ShaderSourceMap vertex;
    vertex.add("basic.vert", 1);
    EXPECT_EQ(ShaderSourceMap::translateBuildLog("Error while compiling vertex shader\nShader: basic.vert\n"
                                                 "0:1(1): error: v\n",
                                                 vertex, map),
              "Error while compiling vertex shader\nShader: basic.vert\nbasic.vert:1: error: v\n");
    EXPECT_EQ(ShaderSourceMap::translateBuildLog("Error while compiling fragment shader\n0:9(1): error: f", vertex,
                                                 map),
              "Error while compiling fragment shader\ncommon.glsl:3: error: f");
}

TEST(ShaderPreprocessorMemory, IncludesThatMultiplyAreBounded)
{
    // Each level includes the next twice: 2^20 copies of the last file without a bound.
    std::map<std::string, std::string> files;
    files["mem/top.vert"] = "#version 150\n#include l0.glsl";
    for (int i = 0; i < 20; ++i)
        files["mem/l" + std::to_string(i) + ".glsl"] =
            "#include l" + std::to_string(i + 1) + ".glsl\n#include l" + std::to_string(i + 1) + ".glsl";
    files["mem/l20.glsl"] = "leaf";
    const ShaderPreprocessor::SourceReader read = readFromMemory(files);
    std::string output;
    bool found = false;
    Status expanded = ShaderPreprocessor::preprocessFile(output, found, "mem/", "top.vert", {}, nullptr, read);
    EXPECT_FALSE(expanded);
    EXPECT_TRUE(found);
    EXPECT_EQ(expanded.reason().rfind("Include limit of 256 files exceeded at '#include l", 0), 0u) << expanded.reason();
    ORVDemosys::shaderIncludes.clear();

    // A few levels stay well inside it and expand in full, from memory.
    files["mem/l3.glsl"] = "leaf";
    ASSERT_TRUE(succeeds(ShaderPreprocessor::preprocessFile(output, found, "mem/", "top.vert", {}, nullptr, read)));
    std::string expected = "#version 150\n";
    for (int i = 0; i < 8; ++i)
        expected += "leaf\n";
    EXPECT_EQ(output, expected);
    ORVDemosys::shaderIncludes.clear();
}
