// Shader instances set the uniforms a scene object calls for; the shader cache owns
// instances by name and its lookups stop the program on anything missing.
#include "BuildShader.h"
#include "DataFBOPool.h"
#include "DataObjectPool.h"
#include "DataShaderPool.h"
#include "DataTexturePool.h"
#include "DeathTest.h"
#include "FBO.h"
#include "LogCapture.h"
#include "ORVCamera.h"
#include "ORVDemosys.h"
#include "ORVMaterial.h"
#include "ORVScene.h"
#include "Shader.h"
#include "ShaderCache.h"
#include "ShaderGeoColor.h"
#include "ShaderGeoTexture.h"
#include "StandInShaders.h"
#include "Texture.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Every uniform the instances set stays active: the fragment stage reads them all.
const char* const textureFragment = R"(#version 150
uniform sampler2D texture0;
uniform sampler2D NormalMap;
uniform float MaterialIndex;
uniform vec3 color;
in vec3 normal;
out vec4 o;
void main()
{
    o = texture(texture0, vec2(0.5)) + texture(NormalMap, vec2(0.5)) + vec4(color * (MaterialIndex + 1.0) + normal, 1.0);
}
)";

std::unique_ptr<Shader> geometryShader()
{
    return buildShader("geometry", standInGeometryVertex, textureFragment);
}

glm::mat4 uniformMatrix4(Shader& shader, const char* name)
{
    glm::mat4 m(0.0f);
    glGetUniformfv(shader.getProgram(), glGetUniformLocation(shader.getProgram(), name), glm::value_ptr(m));
    return m;
}

void expectNear(const glm::mat4& a, const glm::mat4& b)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(a[c][r], b[c][r], 1e-5f) << "column " << c << " row " << r;
}

GLuint boundTexture(int unit)
{
    GLint name = 0;
    glActiveTexture(GL_TEXTURE0 + GLenum(unit));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    glActiveTexture(GL_TEXTURE0);
    return GLuint(name);
}

struct Deleted : ShaderInstance {
    explicit Deleted(int* counter) : ShaderInstance(nullptr), counter(counter) {}
    ~Deleted() override { ++*counter; }
    int* counter;
};

// Pools for the cache's lookups, removed again after each test.
class ShaderCachePools : public testing::Test {
protected:
    void SetUp() override
    {
        ORVDemosys::shaderPool = new DataShaderPool();
        ORVDemosys::texturePool = new DataTexturePool();
        ORVDemosys::sceneDataPool = new DataObjectPool();
        ORVDemosys::fboPool = new DataFBOPool();
    }
    void TearDown() override
    {
        ORVDemosys::shaderPool = nullptr;
        ORVDemosys::texturePool = nullptr;
        ORVDemosys::sceneDataPool = nullptr;
        ORVDemosys::fboPool = nullptr;
    }
};

} // namespace

TEST(ShaderGeoColor, SetsTheMatricesNormalMatrixIndexAndColour)
{
    std::unique_ptr<Shader> shader = geometryShader();
    ORVCamera camera("cam");
    ORVCamera::lookAt(&camera, glm::vec3(0.0f), glm::vec3(3.0f, 4.0f, 5.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    camera.getProjection().set(60.0f, 1.0f, 0.5f, 50.0f);
    // A non-uniform scale: the normal matrix differs from the model-view's 3x3.
    const glm::mat4 model = glm::scale(glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)), 0.7f,
                                                   glm::vec3(0, 1, 0)),
                                       glm::vec3(2.0f, 0.5f, 1.0f));
    ORVMaterial material;
    material.setIndex(7);
    // Untextured drawing takes the diffuse colour; the other colour is the textured one.
    material.setDiffuseColor(0.25f, 0.5f, 0.75f);
    material.setColor(0.9f, 0.9f, 0.9f);

    ShaderGeoColor instance(shader.get());
    instance.bind(&camera, model, nullptr, &material);

    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(GLuint(program), shader->getProgram());
    expectNear(uniformMatrix4(*shader, "projM"), camera.getProjectionMatrix());
    expectNear(uniformMatrix4(*shader, "cameraM"), camera.getViewMatrix());
    expectNear(uniformMatrix4(*shader, "modelM"), model);

    glm::mat3 normal(0.0f);
    glGetUniformfv(shader->getProgram(), glGetUniformLocation(shader->getProgram(), "normalM"),
                   glm::value_ptr(normal));
    // The normal matrix keeps normals perpendicular to transformed surface directions.
    const glm::mat3 modelView(camera.getViewMatrix() * model);
    const glm::vec3 tangent(0.0f, 1.0f, 1.0f), surfaceNormal(0.0f, 1.0f, -1.0f);
    EXPECT_NEAR(glm::dot(modelView * tangent, normal * surfaceNormal), 0.0f, 1e-4f);
    const glm::mat3 expected = glm::transpose(glm::inverse(modelView));
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(normal[c][r], expected[c][r], 1e-4f);

    GLfloat index = 0, colour[3] = {0, 0, 0};
    glGetUniformfv(shader->getProgram(), glGetUniformLocation(shader->getProgram(), "MaterialIndex"), &index);
    glGetUniformfv(shader->getProgram(), glGetUniformLocation(shader->getProgram(), "color"), colour);
    EXPECT_EQ(index, 7.0f);
    EXPECT_EQ(colour[0], 0.25f);
    EXPECT_EQ(colour[1], 0.5f);
    EXPECT_EQ(colour[2], 0.75f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A program that writes the ambient light with the geometry gets the material's A and
// B as the material table holds them (the composite used to read them there); one that
// does not declare them is not told about them, not even in the log.
TEST(ShaderGeoColor, GivesMaterialLightAsTheTableStoresItWhereTheProgramTakesIt)
{
    std::string fragment = textureFragment;
    fragment.replace(fragment.find("uniform vec3 color;"), 0, "uniform vec2 MaterialLight;\n");
    fragment.replace(fragment.find("normal, 1.0);"), 0, "vec3(MaterialLight, 0.0) + ");
    std::unique_ptr<Shader> lit = buildShader("lit", standInGeometryVertex, fragment.c_str());
    ORVCamera camera("cam");
    ORVMaterial material;
    material.setParameterA(0.5f);
    material.setParameterB(0.3f);
    ShaderGeoColor instance(lit.get());
    instance.bind(&camera, glm::mat4(1.0f), nullptr, &material);
    GLfloat light[2] = {-1, -1};
    const GLint at = glGetUniformLocation(lit->getProgram(), "MaterialLight");
    glGetUniformfv(lit->getProgram(), at, light);
    EXPECT_EQ(light[0], 127.0f / 255.0f); // int(255 x 0.5)
    EXPECT_EQ(light[1], 76.0f / 255.0f);
    instance.bind(&camera, glm::mat4(1.0f), nullptr, nullptr);
    glGetUniformfv(lit->getProgram(), at, light);
    EXPECT_EQ(light[0], 0.0f);
    EXPECT_EQ(light[1], 0.0f);

    std::unique_ptr<Shader> plain = geometryShader();
    ShaderGeoColor plainInstance(plain.get());
    captureLog();
    plainInstance.bind(&camera, glm::mat4(1.0f), nullptr, &material);
    EXPECT_EQ(capturedLog().find("MaterialLight"), std::string::npos);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(ShaderGeoTexture, BindsTheNormalMapOnlyWhenTheMaterialHasOne)
{
    std::unique_ptr<Shader> shader = geometryShader();
    const uint8_t texel[4] = {10, 20, 30, 255};
    Texture colourTexture(1, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    Texture normalMap(1, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    Texture other(1, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    ORVCamera camera("cam");
    ORVMaterial material;
    material.setTexture(&colourTexture);
    material.setColor(0.5f, 0.25f, 1.0f);
    material.setDiffuseColor(0.1f, 0.1f, 0.1f);

    // Something else on unit 1 beforehand: without a normal map it stays there.
    glActiveTexture(GL_TEXTURE1);
    other.bind();
    glActiveTexture(GL_TEXTURE0);
    ShaderGeoTexture instance(shader.get());
    instance.bind(&camera, glm::mat4(1.0f), nullptr, &material);
    // Textured drawing is tinted by the material's colour, not its diffuse colour.
    GLfloat colour[3] = {0, 0, 0};
    glGetUniformfv(shader->getProgram(), glGetUniformLocation(shader->getProgram(), "color"), colour);
    EXPECT_EQ(colour[0], 0.5f);
    EXPECT_EQ(colour[2], 1.0f);
    EXPECT_EQ(boundTexture(0), colourTexture.getGlName());
    EXPECT_EQ(boundTexture(1), other.getGlName());
    EXPECT_EQ(shader->getTextureSlot(0), &colourTexture);
    EXPECT_EQ(shader->getTextureSlot(1), nullptr);

    material.setNormalMap(&normalMap);
    instance.bind(&camera, glm::mat4(1.0f), nullptr, &material);
    EXPECT_EQ(boundTexture(0), colourTexture.getGlName());
    EXPECT_EQ(boundTexture(1), normalMap.getGlName());
    GLint sampler = -1;
    glGetUniformiv(shader->getProgram(), glGetUniformLocation(shader->getProgram(), "NormalMap"), &sampler);
    EXPECT_EQ(sampler, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(ShaderGeoColor, AShaderWithoutMaterialIndexStillBindsAndReportsIt)
{
    std::unique_ptr<Shader> shader = buildShader(
        "noindex", "#version 150\nin vec3 in_Position;\nuniform mat4 projM;\nuniform mat4 cameraM;\n"
                   "uniform mat4 modelM;\nvoid main() { gl_Position = projM * cameraM * modelM * "
                   "vec4(in_Position, 1.0); }\n",
        "#version 150\nuniform vec3 color;\nout vec4 o;\nvoid main() { o = vec4(color, 1.0); }\n");
    ORVCamera camera("cam");
    ORVMaterial material;
    material.setDiffuseColor(1.0f, 0.0f, 0.0f);
    ShaderGeoColor instance(shader.get());
    captureLog();
    instance.bind(&camera, glm::mat4(1.0f), nullptr, &material);
    instance.bind(&camera, glm::mat4(1.0f), nullptr, &material);
    const std::string out = capturedLog();
    size_t count = 0;
    for (size_t at = out.find("MaterialIndex"); at != std::string::npos; at = out.find("MaterialIndex", at + 1))
        ++count;
    // Reported on the first bind only.
    EXPECT_EQ(count, 1u) << out;
    GLfloat colour[3] = {0, 0, 0};
    glGetUniformfv(shader->getProgram(), glGetUniformLocation(shader->getProgram(), "color"), colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderCachePools, InstancesAreFoundByNameAndDeletedWithTheCache)
{
    int deleted = 0;
    {
        ShaderCache cache;
        cache.createInstances();
        EXPECT_TRUE(cache.getInstances().empty());
        Deleted* a = new Deleted(&deleted);
        Deleted* b = new Deleted(&deleted);
        cache.addShaderInstance("a", a);
        cache.addShaderInstance("b", b);
        EXPECT_TRUE(cache.hasShaderInstance("a"));
        EXPECT_FALSE(cache.hasShaderInstance("c"));
        EXPECT_EQ(cache.getShaderInstance("a"), a);
        EXPECT_EQ(cache.getShaderInstance("b"), b);
        EXPECT_EQ(deleted, 0);
    }
    EXPECT_EQ(deleted, 2);
}

TEST_F(ShaderCachePools, PoolLookupsReturnWhatThePoolsHold)
{
    Shader* shader = new Shader("s");
    ORVDemosys::shaderPool->add("s", shader);
    Texture* texture = new Texture(1, 1, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE);
    ORVDemosys::texturePool->add("t", texture);
    FBO* fbo = new FBO(4, 4);
    ORVDemosys::fboPool->add("f", fbo);
    ORVScene* first = new ORVScene();
    ORVScene* second = new ORVScene();
    ORVDemosys::sceneDataPool->add("b", second);
    ORVDemosys::sceneDataPool->add("a", first);
    ShaderCache cache;
    EXPECT_EQ(cache.GetShader("s"), shader);
    EXPECT_EQ(cache.GetTexture("t"), texture);
    EXPECT_EQ(cache.GetFBO("f"), fbo);
    EXPECT_EQ(cache.GetScene("b"), second);
    EXPECT_EQ(cache.sceneCount(), 2);
    // Pool order is name order.
    EXPECT_EQ(cache.GetScene(0), first);
    EXPECT_EQ(cache.GetScene(1), second);
}

using ShaderCacheDeathTest = ShaderCachePools;

TEST_F(ShaderCacheDeathTest, MissingOrDuplicateEntriesStopTheProgram)
{
    ShaderCache cache;
    cache.addShaderInstance("one", new ShaderInstance(nullptr));
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.addShaderInstance("one", new ShaderInstance(nullptr))),
                 "demo/demosys/ShaderCache:[0-9]+: void ShaderCache::addShaderInstance\\(std::string, "
                 "ShaderInstance\\*\\): Assertion `0' failed\\.");
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.getShaderInstance("two")),
                 "ShaderInstance\\* ShaderCache::getShaderInstance\\(std::string\\): Assertion `0' failed\\.");
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.GetShader("none")),
                 "Shader\\* ShaderCache::GetShader\\(std::string\\): Assertion `shader != __null' failed\\.");
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.GetTexture("none")),
                 "Texture\\* ShaderCache::GetTexture\\(std::string\\): Assertion `tex!=__null' failed\\.");
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.GetScene(std::string("none"))),
                 "ORVScene\\* ShaderCache::GetScene\\(std::string\\): Assertion `scene != __null' failed\\.");
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.GetFBO("none")),
                 "FBO\\* ShaderCache::GetFBO\\(std::string\\): Assertion `fbo != __null' failed\\.");
}

TEST_F(ShaderCacheDeathTest, SceneIndicesOutsideThePoolStopTheProgram)
{
    ORVDemosys::sceneDataPool->add("a", new ORVScene());
    // A replacement counts as an add but is no second entry: index 1 must still fail.
    ORVScene* replacement = new ORVScene();
    delete ORVDemosys::sceneDataPool->get("a");
    ORVDemosys::sceneDataPool->add("a", replacement);
    ShaderCache cache;
    EXPECT_EQ(cache.GetScene(0), replacement);
    const char* expected =
        "ORVScene\\* ShaderCache::GetScene\\(int\\): Assertion `i >= 0 && i < "
        "ORVDemosys::sceneDataPool->size\\(\\)' failed\\.";
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.GetScene(-1)), expected);
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.GetScene(1)), expected);
    ORVDemosys::sceneDataPool = nullptr;
    EXPECT_EQ(cache.sceneCount(), 0);
    EXPECT_DEATH(STDOUT_TO_STDERR(cache.GetScene(0)), expected);
}
