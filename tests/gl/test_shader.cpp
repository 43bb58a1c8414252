#include "GLContext.h"
#include "ImageCompare.h"
#include "LogCapture.h"
#include "ORVIO.h"
#include "RenderState.h"
#include "Shader.h"
#include "ShaderDeclaration.h"
#include "ShaderVariants.h"
#include "StatusCheck.h"
#include "TempDir.h"
#include "Texture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <memory>


namespace {

// A full-screen triangle from gl_VertexID alone, so no vertex array layout is needed.
const char* fullScreenVertex = "#version 150\n"
                               "void main() {\n"
                               "  vec2 p = vec2((gl_VertexID & 1) * 4 - 1, (gl_VertexID & 2) * 2 - 1);\n"
                               "  gl_Position = vec4(p, 0.0, 1.0);\n"
                               "}\n";

const char* colorFragment = "#version 150\n"
                            "uniform vec4 color;\n"
                            "uniform float unusedFactor;\n"
                            "uniform sampler2D tex;\n"
                            "uniform float aVeryLongUniformNameThatGoesOnAndOn;\n"
                            "uniform float weights[3];\n"
                            "out vec4 fragColor;\n"
                            "void main() {\n"
                            "  fragColor = color * texture(tex, vec2(0.5)) * aVeryLongUniformNameThatGoesOnAndOn\n"
                            "              * (weights[0] + weights[2]);\n"
                            "}\n";

std::unique_ptr<Shader> makeShader(const std::string& name, const std::string& vertex, const std::string& fragment)
{
    auto shader = std::make_unique<Shader>(name);
    shader->setVertexCode(vertex);
    shader->setFragmentCode(fragment);
    return shader;
}

} // namespace

TEST(Shader, BuildFailuresReportTheirTexts)
{
    // The version must be on the first line, even when line 2 has it.
    auto late = makeShader("late", std::string("// header comment\n") + fullScreenVertex, colorFragment);
    captureLog();
    EXPECT_FALSE(late->build());
    const std::string versionMessage = "Failed to read GLSL shader version\n"
                                       "The first line in the shader must contain a lower case #version definiton\n"
                                       "shader : late\n";
    EXPECT_EQ(late->getErrorLog(), versionMessage);
    EXPECT_EQ(capturedLog(), versionMessage + "\n");
    EXPECT_EQ(late->getGlslVersion(), 0u);
    EXPECT_EQ(late->getProgram(), 0u);

    // The log grows across attempts: version failure, then a vertex compile error.
    late->setVertexCode("#version 150 core\nvoid main() { gl_Position = undefinedThing; }\n");
    captureLog();
    EXPECT_FALSE(late->build());
    capturedLog();
    EXPECT_EQ(late->getGlslVersion(), 150u);
    std::string log = late->getErrorLog();
    EXPECT_EQ(log.find(versionMessage), 0u);
    const std::string vertexHead = "Error while compiling vertex shader\nShader: late.vert\n";
    ASSERT_NE(log.find(vertexHead), std::string::npos);
    EXPECT_GT(log.size(), versionMessage.size() + vertexHead.size()) << "the driver's log follows";

    auto fragment = makeShader("frag", fullScreenVertex, "#version 150\nout vec4 c;\nvoid main() { c = nope; }\n");
    captureLog();
    EXPECT_FALSE(fragment->build());
    capturedLog();
    EXPECT_EQ(fragment->getErrorLog().find("Error while compiling fragment shader\nShader: frag.frag\n"), 0u);

    // A function declared but defined nowhere only fails at link time; the link text
    // replaces the log.
    auto link = makeShader("pair", fullScreenVertex,
                           "#version 150\nvec4 shade();\nout vec4 c;\nvoid main() { c = shade(); }\n");
    captureLog();
    EXPECT_FALSE(link->build());
    std::string out = capturedLog();
    EXPECT_EQ(link->getErrorLog().find("Error while linking shader pair\nShader: pair\n"), 0u);
    EXPECT_NE(out.find("Error while linking shader pair"), std::string::npos);
}

TEST(Shader, DiscoversUniformsAndReportsEachMissingOneOnce)
{
    auto shader = makeShader("uniforms", fullScreenVertex, colorFragment);
    captureLog();
    ASSERT_TRUE(shader->build()) << shader->getErrorLog();
    std::string out = capturedLog();
    EXPECT_EQ(out.find("Shader uniforms\n"), 0u);
    EXPECT_NE(out.find("-> Uniform : color\n"), std::string::npos);

    const auto& uniforms = shader->getUniforms();
    ASSERT_EQ(uniforms.count("color"), 1u);
    EXPECT_EQ(uniforms.at("color").type, GLenum(GL_FLOAT_VEC4));
    EXPECT_EQ(uniforms.at("color").location, glGetUniformLocation(shader->getProgram(), "color"));
    EXPECT_EQ(uniforms.count("unusedFactor"), 0u) << "optimised away";
    // Names longer than 31 characters are found under their whole name.
    EXPECT_GE(shader->uniformLocation("aVeryLongUniformNameThatGoesOnAndOn"), 0);
    // Arrays answer to their plain name as well as to GL's "[0]" form.
    EXPECT_GE(shader->uniformLocation("weights"), 0);
    EXPECT_EQ(shader->uniformLocation("weights"), shader->uniformLocation("weights[0]"));

    // A setter runs every frame: a name the program lacks is reported once, whichever
    // setter asks; another name, another program or a rebuild reports again.
    auto other = makeShader("other", fullScreenVertex, colorFragment);
    captureLog();
    ASSERT_TRUE(other->build());
    capturedLog();
    shader->bind();
    captureLog();
    shader->setFloat("unusedFactor", 1.0f);
    shader->setFloat("unusedFactor", 2.0f);
    shader->setVec3("unusedFactor", glm::vec3(1.0f));
    EXPECT_EQ(shader->uniformLocation("unusedFactor"), -1);
    shader->setFloat("missingToo", 1.0f);
    shader->setFloat("missingToo", 1.0f);
    other->bind();
    other->setFloat("unusedFactor", 1.0f);
    other->setFloat("unusedFactor", 1.0f);
    EXPECT_EQ(capturedLog(), "ERROR: Shader uniforms : Uniform variable 'unusedFactor' not found!\n"
                                   "ERROR: Shader uniforms : Uniform variable 'missingToo' not found!\n"
                                   "ERROR: Shader other : Uniform variable 'unusedFactor' not found!\n");
    captureLog();
    ASSERT_TRUE(shader->build());
    capturedLog();
    shader->bind();
    captureLog();
    shader->setFloat("unusedFactor", 1.0f);
    shader->setFloat("unusedFactor", 1.0f);
    EXPECT_EQ(capturedLog(), "ERROR: Shader uniforms : Uniform variable 'unusedFactor' not found!\n");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Shader, AttributesInLocationOrderWithoutBuiltins)
{
    const char* vertex = "#version 150\n"
                         "#extension GL_ARB_explicit_attrib_location : require\n"
                         "layout(location = 5) in vec2 mid;\n"
                         "layout(location = 0) in vec4 zeta;\n"
                         "layout(location = 2) in vec3 alpha;\n"
                         "void main() {\n"
                         "  gl_Position = zeta + vec4(alpha, mid.x) * float(gl_InstanceID + gl_VertexID);\n"
                         "}\n";
    auto shader = makeShader("attributes", vertex, "#version 150\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n");
    captureLog();
    ASSERT_TRUE(shader->build()) << shader->getErrorLog();
    capturedLog();

    const auto& list = shader->getAttributeList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "zeta");
    EXPECT_EQ(list[0].location, 0);
    EXPECT_EQ(list[1].name, "alpha");
    EXPECT_EQ(list[1].location, 2);
    EXPECT_EQ(list[1].type, GLenum(GL_FLOAT_VEC3));
    EXPECT_EQ(list[2].name, "mid");
    EXPECT_EQ(list[2].location, 5);
    EXPECT_EQ(shader->getAttributeKey(), "zetaalphamid");
    EXPECT_EQ(shader->getAttributes().count("gl_InstanceID"), 0u);
    EXPECT_EQ(shader->getAttributes().count("gl_VertexID"), 0u);
}

TEST(Shader, BindCacheAndTextureSlots)
{
    auto a = makeShader("a", fullScreenVertex, colorFragment);
    auto b = makeShader("b", fullScreenVertex, colorFragment);
    captureLog();
    ASSERT_TRUE(a->build());
    ASSERT_TRUE(b->build());
    capturedLog();
    uint8_t white[4] = {255, 255, 255, 255};
    Texture texture(1, 1, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, white);

    a->bind();
    uint64_t switches = RenderState::getProgramSwitches();
    a->bind();
    EXPECT_EQ(RenderState::getProgramSwitches(), switches);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(GLuint(current), a->getProgram());

    ASSERT_EQ(a->getTextureSlotCount(), 8);
    a->setTexture("tex", 2, &texture);
    EXPECT_EQ(a->getTextureSlot(2), &texture);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0) << "unit 0 is made active again";
    glActiveTexture(GL_TEXTURE2);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture.getGlName());
    glActiveTexture(GL_TEXTURE0);
    GLint sampler = -1;
    glGetUniformiv(a->getProgram(), a->uniformLocation("tex"), &sampler);
    EXPECT_EQ(sampler, 2);

    // Units outside the tracked slots are refused instead of written past the slots.
    captureLog();
    a->setTexture("tex", 8, &texture);
    a->setTexture("tex", -1, &texture);
    EXPECT_NE(capturedLog().find("out of range"), std::string::npos);
    a->setTexture0("tex", nullptr);
    EXPECT_EQ(a->getTextureSlot(0), nullptr);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);

    b->bind();
    EXPECT_EQ(RenderState::getProgramSwitches(), switches + 1);
    a->bind();
    EXPECT_EQ(a->getTextureSlot(2), nullptr) << "a switch empties the slots of the shader bound";

    // Destroying the current program leaves neither it current nor its name cached.
    a.reset();
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    EXPECT_EQ(RenderState::getCurrentProgram(), 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Shader, RendersWithUniformsAndTextureUnits)
{
    auto shader = makeShader("render", fullScreenVertex, colorFragment);
    captureLog();
    ASSERT_TRUE(shader->build());
    capturedLog();
    uint8_t texel[4] = {255, 128, 255, 255};
    Texture texture(1, 1, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, texel);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    RenderState::invalidateFramebuffer();
    glViewport(0, 0, 256, 256);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    shader->bind();
    shader->setVec4("color", glm::vec4(1.0f, 1.0f, 0.5f, 1.0f));
    shader->setFloat("aVeryLongUniformNameThatGoesOnAndOn", 1.0f);
    float weights[3] = {0.25f, 9.0f, 0.75f};
    glUniform1fv(shader->uniformLocation("weights"), 3, weights);
    shader->setTexture("tex", 3, &texture);
    GLContext::drawWithoutArrays(3);

    RgbaImage image = readPixels(128, 128, 1, 1);
    EXPECT_NEAR(image.at(0, 0)[0], 255, 1);
    EXPECT_NEAR(image.at(0, 0)[1], 128, 1);
    EXPECT_NEAR(image.at(0, 0)[2], 128, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Shader, TypeSizesAndDescription)
{
    EXPECT_EQ(Shader::typeByteSize(GL_FLOAT), 4);
    EXPECT_EQ(Shader::typeByteSize(GL_FLOAT_VEC3), 12);
    EXPECT_EQ(Shader::typeByteSize(GL_FLOAT_MAT3), 36);
    EXPECT_EQ(Shader::typeByteSize(GL_FLOAT_MAT4), 64);
    EXPECT_EQ(Shader::typeByteSize(GL_FLOAT_MAT2x4), 32);
    EXPECT_EQ(Shader::typeByteSize(GL_DOUBLE_MAT3), 72);
    EXPECT_EQ(Shader::typeByteSize(GL_SAMPLER_2D_SHADOW), 4);
    EXPECT_EQ(Shader::typeByteSize(GL_UNSIGNED_INT_SAMPLER_2D_MULTISAMPLE_ARRAY), 4);
    EXPECT_EQ(Shader::typeByteSize(GL_TEXTURE_2D), 0);

    auto shader = makeShader("describe", fullScreenVertex, colorFragment);
    captureLog();
    ASSERT_TRUE(shader->build());
    capturedLog();
    EXPECT_EQ(shader->describe(), "Shader(vshader size = " + std::to_string(std::string(fullScreenVertex).size()) +
                                      ", fragshader size = " + std::to_string(std::string(colorFragment).size()) +
                                      ", pref=" + std::to_string(shader->getProgram()) +
                                      ", vref=" + std::to_string(shader->getVertexShader()) +
                                      ", fref=" + std::to_string(shader->getFragmentShader()) + ")");
}

TEST(Shader, PrepareFromResourceTree)
{
    TempDir dir(true);
    ORVIO::init(ORVIO::ModeFiles);
    dir.write("resources/shaders/fx/tint.vert", fullScreenVertex);
    dir.write("resources/shaders/fx/tint.frag", "#version 150\n#include common.glsl\nout vec4 c;\n"
                                                "void main() { c = TINT; }\n");
    dir.write("resources/shaders/common.glsl", "#ifdef RED\n#define TINT vec4(1.0, 0.0, 0.0, 1.0)\n#endif\n");
    dir.write("resources/shaders/broken.vert", fullScreenVertex);
    dir.write("resources/shaders/broken.frag", "#version 150\nvoid main() { syntax error }\n");
    dir.write("resources/shaders/half.vert", fullScreenVertex);

    Shader tint("fx/tint::tint");
    captureLog();
    ASSERT_TRUE(succeeds(Shader::prepare(tint, ShaderDeclaration("tint", "fx/tint", {"RED"}))));
    capturedLog();
    EXPECT_NE(tint.getFragmentCode().find("#define RED\n"), std::string::npos);
    EXPECT_NE(tint.getFragmentCode().find("#define TINT"), std::string::npos) << "include expanded";

    RenderState::invalidateFramebuffer();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, 256, 256);
    glClear(GL_COLOR_BUFFER_BIT);
    tint.bind();
    GLContext::drawWithoutArrays(3);
    RgbaImage image = readPixels(10, 10, 1, 1);
    EXPECT_EQ(image.at(0, 0)[0], 255);
    EXPECT_EQ(image.at(0, 0)[1], 0);

    // Build failure: the shader's log is the reason.
    Shader broken("broken::broken");
    captureLog();
    Status built = Shader::prepare(broken, ShaderDeclaration("broken", "broken"));
    std::string out = capturedLog();
    EXPECT_FALSE(built);
    EXPECT_EQ(built.reason(), broken.getErrorLog());
    EXPECT_NE(out.find("Shader::prepare().. failed : " + broken.getErrorLog() + "\n"), std::string::npos);

    // A missing fragment file: its message, and the vertex source already stored.
    Shader half("half::half");
    captureLog();
    Status read = Shader::prepare(half, ShaderDeclaration("half", "half"));
    EXPECT_EQ(capturedLog(), "Failed to find fragment shader 'half.frag'\n");
    EXPECT_EQ(read.reason(), "Fragement shader 'half.frag' not found");
    EXPECT_FALSE(read);
    EXPECT_EQ(half.getVertexCode(), std::string(fullScreenVertex) + "\n");
}

TEST(Shader, AFailedRebuildKeepsTheLastGoodProgram)
{
    TempDir dir(true);
    ORVIO::init(ORVIO::ModeFiles);
    const std::string fragment = "#version 150\nuniform vec4 color;\nout vec4 c;\nvoid main() { c = color; }\n";
    dir.write("resources/shaders/live.vert", fullScreenVertex);
    dir.write("resources/shaders/live.frag", fragment);
    const ShaderDeclaration declaration("live", "live");
    Shader live("live::live");
    captureLog();
    ASSERT_TRUE(succeeds(Shader::prepare(live, declaration)));
    capturedLog();
    const GLuint program = live.getProgram();
    const GLint colorLocation = live.uniformLocation("color");

    // The reload path with a typo, then with a pair that compiles but does not link.
    dir.write("resources/shaders/live.frag", "#version 150\nuniform vec4 color;\nout vec4 c;\nvoid main() { c = color }\n");
    captureLog();
    Status typo = Shader::prepare(live, declaration);
    capturedLog();
    EXPECT_FALSE(typo);
    EXPECT_NE(typo.reason().find("Error while compiling fragment shader\nShader: live::live.frag\n"),
              std::string::npos);
    dir.write("resources/shaders/live.frag", "#version 150\nvec4 shade();\nout vec4 c;\nvoid main() { c = shade(); }\n");
    captureLog();
    Status unlinked = Shader::prepare(live, declaration);
    capturedLog();
    EXPECT_EQ(unlinked.reason().find("Error while linking shader pair\nShader: live::live\n"), 0u);

    // The working program, its uniforms and attributes all stay.
    EXPECT_EQ(live.getProgram(), program);
    EXPECT_TRUE(glIsProgram(program));
    ASSERT_EQ(live.getUniforms().count("color"), 1u);
    EXPECT_EQ(live.uniformLocation("color"), colorLocation);

    // Bound and cached is the old program, and it draws.
    RenderState::invalidateFramebuffer();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, 256, 256);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(0);
    RenderState::releaseProgram(RenderState::getCurrentProgram());
    live.bind();
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(GLuint(current), program);
    EXPECT_EQ(RenderState::getCurrentProgram(), program);
    live.setVec4("color", glm::vec4(0.0f, 1.0f, 0.0f, 1.0f));
    GLContext::drawWithoutArrays(3);
    RgbaImage image = readPixels(128, 128, 1, 1);
    EXPECT_EQ(image.at(0, 0)[0], 0);
    EXPECT_EQ(image.at(0, 0)[1], 255);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // A rebuild that succeeds replaces it.
    dir.write("resources/shaders/live.frag", fragment);
    captureLog();
    EXPECT_TRUE(succeeds(Shader::prepare(live, declaration)));
    capturedLog();
    EXPECT_NE(live.getProgram(), program);
    EXPECT_FALSE(glIsProgram(program));
}

TEST(ShaderVariants, EachVariantDrawsItsFeaturesAndFollowsARebuiltBase)
{
    // RED and BLUE each set a channel; the plain program has both; BROKEN does not compile.
    auto fragment = [](const char* green) {
        return std::string("#version 150\n#ifndef SHADER_VARIANT\n#define RED\n#define BLUE\n#endif\n"
                           "out vec4 c;\nvoid main() {\n  c = vec4(0.0, ") +
               green + ", 0.0, 1.0);\n#ifdef RED\n  c.r = 1.0;\n#endif\n#ifdef BLUE\n  c.b = 1.0;\n#endif\n"
                       "#ifdef BROKEN\n  c = ;\n#endif\n}\n";
    };
    auto base = makeShader("variants", fullScreenVertex, fragment("0.0"));
    ShaderVariants variants;
    captureLog();
    ASSERT_TRUE(base->build());
    capturedLog();
    captureLog();
    ASSERT_TRUE(succeeds(variants.build(base.get(), {"RED", "BLUE"})));
    EXPECT_EQ(capturedLog(), "") << "the variants would repeat the base program's lines";

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    RenderState::invalidateFramebuffer();
    glViewport(0, 0, 64, 64);
    auto drawn = [](Shader* shader) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        shader->bind();
        GLContext::drawWithoutArrays(3);
        RgbaImage image = readPixels(32, 32, 1, 1);
        return std::vector<int>{image.at(0, 0)[0], image.at(0, 0)[1], image.at(0, 0)[2]};
    };
    EXPECT_EQ(drawn(base.get()), (std::vector<int>{255, 0, 255}));
    for (unsigned int mask = 0; mask < 4; ++mask) {
        Shader* variant = variants.pick(mask);
        ASSERT_NE(variant, base.get());
        EXPECT_EQ(drawn(variant), (std::vector<int>{mask & 1 ? 255 : 0, 0, mask & 2 ? 255 : 0})) << mask;
    }
    EXPECT_EQ(variants.pick(5), variants.pick(1)) << "bits beyond the features are ignored";

    // An edited base: the variants follow it on the next pick.
    base->setFragmentCode(fragment("1.0"));
    captureLog();
    ASSERT_TRUE(base->build());
    EXPECT_EQ(drawn(variants.pick(1)), (std::vector<int>{255, 255, 0}));
    capturedLog();

    // A variant that fails to build leaves the plain program in its place.
    ShaderVariants broken;
    captureLog();
    const Status brokenBuild = broken.build(base.get(), {"RED", "BROKEN"});
    capturedLog();
    EXPECT_FALSE(brokenBuild);
    EXPECT_NE(brokenBuild.reason().find("variants#2, variants#3"), std::string::npos) << brokenBuild.reason();
    EXPECT_NE(broken.pick(1), base.get());
    EXPECT_EQ(broken.pick(2), base.get());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
