// The deferred renderer's material table, the light pass's choice of lights, the
// uniforms it hands each light shader, and the state and bindings it leaves behind.
#include "BuildShader.h"
#include "DataTexturePool.h"
#include "DeferredRenderer.h"
#include "FBO.h"
#include "GLContext.h"
#include "ImageCompare.h"
#include "LogCapture.h"
#include "ORVCamera.h"
#include "ORVDemosys.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVScene.h"
#include "Shader.h"
#include "StandInShaders.h"
#include "Texture.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// A quarter of the light's colour wherever the light's shape covers the screen; the
// other uniforms are only kept alive so that their values can be read back.
const char* const flatFragment = R"(#version 150
uniform vec4 color;
uniform vec2 screensize;
uniform vec2 ProjConst;
uniform vec3 lightPos;
uniform vec3 lightDirection;
uniform float lightRadius;
uniform float FallOff;
uniform float LinearAttenuation;
out vec4 o;
void main()
{
    float keep = screensize.x + ProjConst.x + lightPos.x + lightDirection.x + lightRadius + FallOff
        + LinearAttenuation;
    o = color * 0.25;
    if (keep < -1.0e30)
        o = vec4(1.0);
}
)";

float uniformFloat(const Shader& shader, const char* name, int component = 0)
{
    GLfloat values[16] = {0};
    GLint location = glGetUniformLocation(shader.getProgram(), name);
    EXPECT_GE(location, 0) << name;
    glGetUniformfv(shader.getProgram(), location, values);
    return values[component];
}

ORVLight* addLight(ORVScene& scene, const std::string& name, int kind, Shader* shader, const glm::vec4& colour)
{
    ORVLight* light = new ORVLight();
    light->setName(name);
    light->setKind(kind);
    light->setShader(shader);
    light->setColor(colour.r, colour.g, colour.b, colour.a);
    scene.addLight(name, light);
    return light;
}

class DeferredRendererGL : public testing::Test {
protected:
    void SetUp() override
    {
        gbuffer.reset(new FBO(size, size, true, false, GL_RGBA8));
        gbuffer->addColorAttachment(GL_RGBA8, GL_RGBA);
        lightBuffer.reset(new FBO(size, size, false, false, GL_RGBA8));
        renderer.reset(new DeferredRenderer(gbuffer.get(), nullptr, lightBuffer.get(), nullptr, nullptr));
        directionalShader = buildShader("directional", standInScreenVertex, flatFragment);
        volumeShader = buildShader("volume", standInVolumeVertex, flatFragment);
        spotShader = buildShader("spot", standInVolumeVertex, flatFragment);
        ORVCamera::lookAt(&camera, glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, 10.0f), glm::vec3(0.0f, 1.0f, 0.0f));
        camera.getProjection().set(60.0f, 1.0f, 1.0f, 100.0f);
        glClearColor(0, 0, 0, 0);
    }
    void TearDown() override
    {
        GLContext::restoreDefaults();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // Primitives that the light pass sent down the pipeline, with the light buffer cleared first.
    GLuint lightPrimitives()
    {
        FBO::bindAndClear(lightBuffer.get());
        FBO::bind(nullptr);
        GLuint query = 0;
        glGenQueries(1, &query);
        glBeginQuery(GL_PRIMITIVES_GENERATED, query);
        renderer->drawLights(&camera, &scene, false);
        glEndQuery(GL_PRIMITIVES_GENERATED);
        GLuint count = 0;
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
        glDeleteQueries(1, &query);
        return count;
    }

    RgbaImage lightPixels()
    {
        FBO::bind(lightBuffer.get());
        RgbaImage image = readPixels(0, 0, size, size);
        FBO::bind(nullptr);
        return image;
    }

    static const int size = 64;
    std::unique_ptr<FBO> gbuffer, lightBuffer;
    std::unique_ptr<DeferredRenderer> renderer;
    std::unique_ptr<Shader> directionalShader, volumeShader, spotShader;
    ORVCamera camera{"cam"};
    ORVScene scene;
};

} // namespace

TEST_F(DeferredRendererGL, MaterialTableRowsHoldParametersSecondColourAndClampedExponent)
{
    struct Row {
        const char* name;
        int index;
        float a, b, exponent;
        glm::vec3 second;
    };
    const Row rows[] = {{"half", 0, 0.5f, 1.0f, 0.5f, {0.1f, 0.2f, 1.0f}},
                        {"high", 5, 0.999f, 0.0f, 300.0f, {1.0f, 0.0f, 0.5f}},
                        {"last", 255, 0.25f, 0.75f, 42.9f, {0.3f, 0.6f, 0.9f}},
                        // Outside the table: reported and left out, nothing overwritten.
                        {"beyond", 256, 1.0f, 1.0f, 7.0f, {1.0f, 1.0f, 1.0f}},
                        {"negative", -1, 1.0f, 1.0f, 7.0f, {1.0f, 1.0f, 1.0f}}};
    for (const Row& row : rows) {
        ORVMaterial* material = new ORVMaterial();
        material->setIndex(row.index);
        material->setParameterA(row.a);
        material->setParameterB(row.b);
        material->setExponent(row.exponent);
        material->setSecondColor(row.second.x, row.second.y, row.second.z);
        scene.addMaterial(row.name, material);
    }
    captureLog();
    renderer->uploadMaterials(&scene);
    const std::string out = capturedLog();
    EXPECT_NE(out.find("'beyond' has index 256"), std::string::npos) << out;
    EXPECT_NE(out.find("'negative' has index -1"), std::string::npos) << out;

    Texture* texture = renderer->getMaterialTexture();
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getWidth(), 4);
    EXPECT_EQ(texture->getHeight(), 256);
    EXPECT_EQ(texture->getMinFilter(), GL_NEAREST);
    EXPECT_EQ(texture->getMagFilter(), GL_NEAREST);
    std::vector<uint8_t> table(4096, 0xAB);
    texture->bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, table.data());
    texture->unbind();
    EXPECT_EQ(table, renderer->getMaterialTable());

    auto row = [&](int index) { return std::vector<int>(table.begin() + index * 16, table.begin() + index * 16 + 16); };
    EXPECT_EQ(row(0), (std::vector<int>{127, 255, 255, 255, 25, 51, 255, 1, 1, 1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(row(5), (std::vector<int>{254, 0, 255, 255, 255, 0, 127, 255, 255, 255, 255, 255, 0, 0, 0, 0}));
    EXPECT_EQ(row(255), (std::vector<int>{63, 191, 255, 255, 76, 153, 229, 42, 42, 42, 42, 42, 0, 0, 0, 0}));
    // Every row that no material names stays zero.
    for (int index = 1; index < 255; ++index) {
        if (index != 5) {
            EXPECT_EQ(row(index), std::vector<int>(16, 0)) << "row " << index;
        }
    }
}

TEST(DeferredRendererPool, TheMaterialTextureIsEnteredInTheTexturePool)
{
    ORVDemosys::texturePool = new DataTexturePool();
    {
        FBO light(8, 8, false, false, GL_RGBA8);
        DeferredRenderer renderer(nullptr, nullptr, &light, nullptr, nullptr);
        EXPECT_EQ(ORVDemosys::texturePool->get("GeometryMaterials"), renderer.getMaterialTexture());
        // Entered by alias, not as a file: the packing script lists the pool's files.
        EXPECT_EQ(renderer.getMaterialTexture()->getName(), "");
        EXPECT_TRUE(ORVDemosys::texturePool->fileNamesInOrder().empty());
        EXPECT_EQ(FBO::getColorTexture(&light, 0)->getMinFilter(), GL_NEAREST);
        EXPECT_EQ(renderer.getViewMatrices().size(), 2u);
        EXPECT_EQ(renderer.getCurrentViewIndex(), 1);
        // A second renderer (one per scene) keeps its own texture: the alias still names
        // the first, which the pool frees; the second frees its own (LeakSanitizer sees it).
        DeferredRenderer second(nullptr, nullptr, &light, nullptr, nullptr);
        EXPECT_EQ(ORVDemosys::texturePool->get("GeometryMaterials"), renderer.getMaterialTexture());
        EXPECT_NE(second.getMaterialTexture(), renderer.getMaterialTexture());
    }
    // The pool owns the first and deletes it.
    ORVDemosys::texturePool = nullptr;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(DeferredRendererGL, OnlyEnabledLightsOfTheDrawnKindsWithARadiusAreDrawn)
{
    // One of each drawn kind alone gives the primitives of its shape.
    ORVLight* sun = addLight(scene, "sun", ORVLight::Directional, directionalShader.get(), {1, 0, 0, 1});
    sun->setRadius(0.0f); // the radius does not matter to a directional light
    const GLuint quad = lightPrimitives();
    EXPECT_EQ(quad, 2u);
    sun->setEnabled(false);
    EXPECT_EQ(lightPrimitives(), 0u);
    sun->setEnabled(true);

    ORVLight* bulb = addLight(scene, "bulb", ORVLight::Point, volumeShader.get(), {0, 1, 0, 1});
    bulb->setRadius(2.0f);
    const GLuint cube = lightPrimitives() - quad;
    EXPECT_EQ(cube, 80u) << "the point light's volume is the polyhedron around its sphere";

    ORVLight* lamp = addLight(scene, "lamp", ORVLight::Spot, spotShader.get(), {0, 0, 1, 1});
    lamp->setPosition(0.0f, 0.0f, 5.0f);
    lamp->setPlacement(glm::vec3(0.0f, 0.0f, 5.0f));
    lamp->setRadius(8.0f);
    lamp->setConeAngle(30.0f);
    const GLuint cone = lightPrimitives() - quad - cube;
    EXPECT_GT(cone, 0u);

    // Off, radius 0 or of another kind: nothing more is drawn.
    addLight(scene, "sun off", ORVLight::Directional, directionalShader.get(), {1, 0, 0, 1})->setEnabled(false);
    addLight(scene, "bulb zero", ORVLight::Point, volumeShader.get(), {0, 1, 0, 1})->setRadius(0.0f);
    addLight(scene, "bulb off", ORVLight::Point, volumeShader.get(), {0, 1, 0, 1})->setEnabled(false);
    ORVLight* lampZero = addLight(scene, "lamp zero", ORVLight::Spot, spotShader.get(), {0, 0, 1, 1});
    lampZero->setRadius(0.0f);
    lampZero->setConeAngle(30.0f);
    addLight(scene, "lamp off", ORVLight::Spot, spotShader.get(), {0, 0, 1, 1})->setEnabled(false);
    addLight(scene, "kind 0", 0, directionalShader.get(), {1, 1, 1, 1});
    addLight(scene, "kind 4", 4, directionalShader.get(), {1, 1, 1, 1});
    EXPECT_EQ(lightPrimitives(), quad + cube + cone);

    // Additive: the centre of the screen is inside all three shapes, once each.
    const RgbaImage image = lightPixels();
    const uint8_t* centre = image.at(size / 2, size / 2);
    EXPECT_NEAR(centre[0], 64, 1);
    EXPECT_NEAR(centre[1], 64, 1);
    EXPECT_NEAR(centre[2], 64, 1);
    // A corner is outside both volumes: only the directional light.
    const uint8_t* corner = image.at(1, 1);
    EXPECT_NEAR(corner[0], 64, 1);
    EXPECT_EQ(corner[1], 0);
    EXPECT_EQ(corner[2], 0);
}

TEST_F(DeferredRendererGL, FullScreenLightsShareAPassWhenTheProgramTakesASecondLight)
{
    // A quarter of both lights' colours; the second is black when the pass has one light.
    std::unique_ptr<Shader> pairShader = buildShader("pair", standInScreenVertex, R"(#version 150
uniform vec4 color;
uniform vec4 color2;
uniform vec3 lightDirection;
uniform vec3 lightDirection2;
uniform vec2 screensize;
uniform vec2 ProjConst;
out vec4 o;
void main()
{
    float keep = screensize.x + ProjConst.x + lightDirection.x + lightDirection2.x;
    o = (color + color2) * 0.25;
    if (keep < -1.0e30)
        o = vec4(1.0);
}
)");
    addLight(scene, "sun a", ORVLight::Directional, pairShader.get(), {1, 0, 0, 1});
    addLight(scene, "sun b", ORVLight::Directional, pairShader.get(), {0, 1, 0, 1});
    addLight(scene, "sun c", ORVLight::Directional, pairShader.get(), {0, 0, 1, 1});
    // A light of a one-light program between them keeps its own pass.
    addLight(scene, "sun b2", ORVLight::Directional, directionalShader.get(), {0, 0, 0, 1});
    // Three lights of the pair program: one pass for a and b, one for c (two triangles
    // each), one for the other program's light.
    EXPECT_EQ(lightPrimitives(), 6u);
    const RgbaImage image = lightPixels();
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(image.at(size / 2, size / 2)[c], 64, 1) << "channel " << c;
    // No second light: the program's second colour is black, not the last pass's.
    EXPECT_EQ(uniformFloat(*pairShader, "color2", 1), 0.0f);
}

TEST_F(DeferredRendererGL, LightShadersGetTheirUniforms)
{
    ORVLight* sun = addLight(scene, "sun", ORVLight::Directional, directionalShader.get(), {0.5f, 0.25f, 1, 1});
    // Tilted 90 degrees about z: its downward axis points along +x in the world.
    sun->setTransform(glm::rotate(glm::mat4(1.0f), glm::radians(90.0f), glm::vec3(0, 0, 1)));
    ORVLight* bulb = addLight(scene, "bulb", ORVLight::Point, volumeShader.get(), {0, 1, 0, 1});
    bulb->setRadius(2.5f);
    bulb->setPlacement(glm::vec3(1.0f, 2.0f, 3.0f));
    ORVLight* lamp = addLight(scene, "lamp", ORVLight::Spot, spotShader.get(), {0, 0, 1, 1});
    lamp->setPosition(0.0f, 0.0f, 5.0f);
    lamp->setPlacement(glm::vec3(0.0f, 0.0f, 5.0f));
    lamp->setRadius(8.0f);
    lamp->setConeAngle(60.0f);
    lamp->setLinearAttenuation(0.125f);
    // A camera looking along -x: view space differs from world space.
    ORVCamera::lookAt(&camera, glm::vec3(0.0f), glm::vec3(10.0f, 0.0f, 0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    camera.getProjection().set(60.0f, 1.0f, 2.0f, 50.0f);
    renderer->drawLights(&camera, &scene, false);

    for (Shader* shader : {directionalShader.get(), volumeShader.get(), spotShader.get()}) {
        EXPECT_EQ(uniformFloat(*shader, "screensize", 0), float(size)) << shader->getName();
        EXPECT_EQ(uniformFloat(*shader, "screensize", 1), float(size)) << shader->getName();
        EXPECT_NEAR(uniformFloat(*shader, "ProjConst", 0), 50.0f / 48.0f, 1e-5f) << shader->getName();
        EXPECT_NEAR(uniformFloat(*shader, "ProjConst", 1), 100.0f / -48.0f, 1e-5f) << shader->getName();
    }
    // The camera looks along the world's -x, so the light's +x (towards the camera) is
    // the view's +z.
    EXPECT_NEAR(uniformFloat(*directionalShader, "lightDirection", 0), 0.0f, 1e-5f);
    EXPECT_NEAR(uniformFloat(*directionalShader, "lightDirection", 2), 1.0f, 1e-5f);
    EXPECT_EQ(uniformFloat(*directionalShader, "color", 1), 0.25f);

    const glm::vec3 bulbView(camera.getViewMatrix() * glm::vec4(1.0f, 2.0f, 3.0f, 1.0f));
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(uniformFloat(*volumeShader, "lightPos", i), bulbView[i], 1e-5f);
    EXPECT_EQ(uniformFloat(*volumeShader, "lightRadius"), 2.5f);
    EXPECT_NEAR(uniformFloat(*volumeShader, "lightM", 0), bulb->getLightMatrix()[0][0], 1e-5f);
    EXPECT_NEAR(uniformFloat(*volumeShader, "projM", 5), camera.getProjectionMatrix()[1][1], 1e-5f);

    EXPECT_NEAR(uniformFloat(*spotShader, "FallOff"), std::cos(glm::radians(30.0f)), 1e-5f);
    EXPECT_EQ(uniformFloat(*spotShader, "LinearAttenuation"), 0.125f);
    EXPECT_EQ(uniformFloat(*spotShader, "lightRadius"), 8.0f);
    const glm::vec3 axis = glm::normalize(-glm::vec3(lamp->getLightMatrix()[2]));
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(uniformFloat(*spotShader, "lightDirection", i), axis[i], 1e-5f);
    // The view matrix of the pass is kept at the current index.
    EXPECT_EQ(renderer->getViewMatrices()[1], camera.getViewMatrix());
}

TEST_F(DeferredRendererGL, PassesRestoreStateAndBindOnlyTheirOwnTargets)
{
    addLight(scene, "sun", ORVLight::Directional, directionalShader.get(), {1, 0, 0, 1});
    // A state no light pass leaves behind.
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glCullFace(GL_FRONT);

    FBO other(16, 16, false, false, GL_RGBA8);
    FBO::bind(&other);
    renderer->drawGeometry(&camera, &scene, true);
    renderer->drawLights(&camera, &scene, true);
    GLint drawBinding = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
    EXPECT_EQ(GLuint(drawBinding), FBO::getGlName(&other));
    EXPECT_FALSE(FBO::isDirty(gbuffer.get()));
    EXPECT_FALSE(FBO::isDirty(lightBuffer.get()));

    GLint depthFunc = 0, cullFace = 0;
    GLboolean depthMask = GL_FALSE;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_EQ(cullFace, GL_BACK);
    EXPECT_EQ(depthMask, GL_TRUE);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    // To their own targets: both are marked dirty and the screen is bound afterwards.
    renderer->drawGeometry(&camera, &scene, false);
    EXPECT_TRUE(FBO::isDirty(gbuffer.get()));
    renderer->drawLights(&camera, &scene, false);
    EXPECT_TRUE(FBO::isDirty(lightBuffer.get()));
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
    EXPECT_EQ(drawBinding, 0);
    // The light went into the light buffer, not into the framebuffer bound before.
    EXPECT_NEAR(lightPixels().at(3, 3)[0], 64, 1);
}
