#include "LogCapture.h"
#include "ORVDemosys.h"
#include "ORVIO.h"
#include "Shader.h"
#include "ShaderPreprocessor.h"
#include "ShaderSourceMap.h"
#include "TempDir.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>

// The GL driver's own compile log, mapped back: an error in an included file is reported
// at that file's line.
TEST(ShaderSourceMapTest, CompilerErrorsNameTheIncludedFileAndLine)
{
    TempDir dir(true);
    ORVIO::init(ORVIO::ModeFiles);
    dir.write("resources/shaders/lib/common.glsl", "// shared\nfloat shade(float x)\n{\n    return x * ;\n}\n");
    dir.write("resources/shaders/broken.frag",
              "#version 150\n#include lib/common.glsl\nout vec4 c;\nvoid main() { c = vec4(shade(1.0)); }\n");
    std::string source;
    bool found = false;
    ShaderSourceMap map;
    ASSERT_TRUE(succeeds(ShaderPreprocessor::preprocessFile(source, found, ORVDemosys::shaderDirectory, "broken.frag",
                                                            {"QUALITY_HIGH"}, &map)));

    Shader shader("broken");
    shader.setVertexCode("#version 150\nin vec3 in_Position;\nvoid main() { gl_Position = vec4(in_Position, 1.0); }\n");
    shader.setFragmentCode(source);
    captureLog();
    EXPECT_FALSE(shader.build());
    capturedLog();
    ShaderSourceMap vertex;
    const std::string log = ShaderSourceMap::translateBuildLog(shader.getErrorLog(), vertex, map);
    EXPECT_NE(log.find("\nlib/common.glsl:4: "), std::string::npos) << shader.getErrorLog() << "\n->\n" << log;
    ORVDemosys::shaderIncludes.clear();
}
