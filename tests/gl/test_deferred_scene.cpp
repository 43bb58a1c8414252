// The whole deferred path on a small scene: an object file written with the tools'
// writer, read back, drawn into the G-buffer, lit by one light of each kind (red
// directional, green point, blue spot) and composed into an image. Each light must
// reach exactly the surfaces it faces and is in range of, and the image must match
// the committed reference.
#include "BuildShader.h"
#include "DeferredRenderer.h"
#include "FBO.h"
#include "GLContext.h"
#include "Geometry.h"
#include "ImageCompare.h"
#include "ORVCamera.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ObjectReader.h"
#include "ResourceFile.h"
#include "Shader.h"
#include "ShaderGeoColor.h"
#include "StandInShaders.h"
#include "Texture.h"
#include "VAO.h"
#include "VboWriter.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

namespace {

const int size = 128;

// Triangles with one normal per corner; each triangle is wound counter-clockwise seen
// from the side its normals point to.
struct Triangles {
    std::vector<glm::vec3> positions, normals;
    void add(glm::vec3 a, glm::vec3 b, glm::vec3 c, const glm::vec3& na, const glm::vec3& nb, const glm::vec3& nc)
    {
        const glm::vec3 face = glm::cross(b - a, c - a);
        if (glm::length(face) < 1e-7f)
            return;
        if (glm::dot(face, na + nb + nc) < 0.0f) {
            positions.insert(positions.end(), {a, c, b});
            normals.insert(normals.end(), {na, nc, nb});
        } else {
            positions.insert(positions.end(), {a, b, c});
            normals.insert(normals.end(), {na, nb, nc});
        }
    }
    VboWriter::Mesh mesh(uint32_t id, const std::string& name) const
    {
        std::vector<uint32_t> corners;
        for (uint32_t i = 0; i < positions.size(); ++i)
            corners.push_back(i);
        return VboWriter::cornerMesh(id, name, positions, normals, {}, corners);
    }
};

Triangles floorMesh(float half)
{
    Triangles t;
    const glm::vec3 up(0, 1, 0);
    t.add({-half, 0, -half}, {half, 0, -half}, {half, 0, half}, up, up, up);
    t.add({-half, 0, -half}, {half, 0, half}, {-half, 0, half}, up, up, up);
    return t;
}

// A box of half-extent h around the origin.
Triangles boxMesh(float h)
{
    Triangles t;
    for (int axis = 0; axis < 3; ++axis)
        for (float sign : {-1.0f, 1.0f}) {
            glm::vec3 n(0.0f), u(0.0f), v(0.0f);
            n[axis] = sign;
            u[(axis + 1) % 3] = h;
            v[(axis + 2) % 3] = h;
            const glm::vec3 c = n * h;
            t.add(c - u - v, c + u - v, c + u + v, n, n, n);
            t.add(c - u - v, c + u + v, c - u + v, n, n, n);
        }
    return t;
}

Triangles sphereMesh(float r, int rings, int segments)
{
    Triangles t;
    const float pi = 3.14159265f;
    auto point = [&](int i, int j) {
        const float theta = pi * float(i) / float(rings), phi = 2.0f * pi * float(j) / float(segments);
        return glm::vec3(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi));
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            const glm::vec3 a = point(i, j), b = point(i + 1, j), c = point(i + 1, j + 1), d = point(i, j + 1);
            t.add(a * r, b * r, c * r, a, b, c);
            t.add(a * r, c * r, d * r, a, c, d);
        }
    return t;
}

glm::mat4 at(float x, float y, float z) { return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)); }

std::vector<uint8_t> writeScene()
{
    VboWriter writer;
    writer.addMesh(floorMesh(6.0f).mesh(1, "floor"));
    writer.addMesh(boxMesh(0.5f).mesh(2, "box"));
    writer.addMesh(sphereMesh(0.6f, 12, 20).mesh(3, "sphere"));
    VboWriter::Material floor, box, ball;
    floor.id = 0;
    floor.name = "floor";
    floor.secondColor = glm::vec3(0.8f);
    box.id = 1;
    box.name = "box";
    box.secondColor = glm::vec3(1.0f);
    ball.id = 2;
    ball.name = "ball";
    ball.secondColor = glm::vec3(0.9f);
    writer.addMaterial(floor);
    writer.addMaterial(box);
    writer.addMaterial(ball);
    writer.addMeshNode(1, 1, -1, "floor", glm::mat4(1.0f), 0);
    writer.addMeshNode(2, 2, -1, "box near bulb", at(-3.0f, 0.5f, -0.5f), 1);
    writer.addMeshNode(3, 2, -1, "box back", at(0.0f, 0.5f, -3.0f), 1);
    writer.addMeshNode(4, 3, -1, "ball under lamp", at(3.0f, 0.6f, -0.5f), 2);
    writer.addMeshNode(5, 3, -1, "ball front", at(0.0f, 0.6f, 2.5f), 2);

    VboWriter::Light sun, bulb, lamp;
    sun.id = 1;
    sun.kind = 2;
    sun.radius = 0.0f; // a directional light is drawn whatever its radius
    bulb.id = 2;
    bulb.kind = 3;
    bulb.radius = 3.0f;
    lamp.id = 3;
    lamp.kind = 1;
    lamp.radius = 8.0f;
    lamp.coneAngle = 40.0f;
    writer.addLight(sun);
    writer.addLight(bulb);
    writer.addLight(lamp);
    // The sun shines straight down; the lamp hangs above and points down (its cone
    // opens along its -z, turned to -y).
    writer.addLightNode(10, 1, "sun", glm::mat4(1.0f));
    writer.addLightNode(11, 2, "bulb", at(-3.0f, 1.2f, 1.5f));
    writer.addLightNode(12, 3, "lamp",
                        at(3.0f, 5.0f, 0.0f) * glm::rotate(glm::mat4(1.0f), glm::radians(-90.0f), glm::vec3(1, 0, 0)));
    return writer.bytes();
}

// Colour with the material index in alpha; the view-space normal, alpha 1 where there
// is geometry.
const std::string geometryFragment = std::string(standInGBufferOutputs) + R"(void main()
{
    diffuse = vec4(color, MaterialIndex / 255.0);
    normalOut = vec4(normalize(normal) * 0.5 + 0.5, 1.0);
}
)";

// What the light shaders share: the G-buffer at this pixel, as a view-space position
// and normal.
const std::string lightCommon = std::string(standInLightInputs) + R"(
bool hasGeometry() { return texture(normalBuffer, screenUV()).a > 0.5; }
vec3 viewNormal() { return normalize(texture(normalBuffer, screenUV()).xyz * 2.0 - 1.0); }
)" + standInViewPosition;

const char* const directionalBody = R"(
uniform vec3 lightDirection;
void main()
{
    if (!hasGeometry()) { light = vec4(0.0); return; }
    light = color * max(dot(viewNormal(), -normalize(lightDirection)), 0.0);
}
)";

const char* const pointBody = R"(
void main()
{
    if (!hasGeometry()) { light = vec4(0.0); return; }
    vec3 toLight = lightPos - viewPosition(projM);
    float d = length(toLight);
    float attenuation = clamp(1.0 - d / lightRadius, 0.0, 1.0);
    light = color * attenuation * max(dot(viewNormal(), toLight / d), 0.0) * 1.5;
}
)";

const char* const spotBody = R"(
uniform vec3 lightDirection;
uniform float FallOff;
uniform float LinearAttenuation;
void main()
{
    if (!hasGeometry()) { light = vec4(0.0); return; }
    vec3 toLight = lightPos - viewPosition(projM);
    float d = length(toLight);
    float cone = smoothstep(FallOff, FallOff + 0.01, dot(-toLight / d, lightDirection));
    float attenuation = clamp(1.0 - LinearAttenuation * d / lightRadius, 0.0, 1.0);
    light = color * cone * attenuation * max(dot(viewNormal(), toLight / d), 0.0) * 2.0;
}
)";

// Surface colour times the material's second colour (from the table) times ambient
// plus the accumulated light.
const char* const composeFragment = R"(#version 150
uniform sampler2D diffuseBuffer;
uniform sampler2D normalBuffer;
uniform sampler2D lightBuffer;
uniform sampler2D materialBuffer;
uniform vec2 screensize;
out vec4 result;
void main()
{
    vec2 uv = gl_FragCoord.xy / screensize;
    if (texture(normalBuffer, uv).a < 0.5) { result = vec4(0.0, 0.0, 0.0, 1.0); return; }
    vec4 diffuse = texture(diffuseBuffer, uv);
    int index = int(diffuse.a * 255.0 + 0.5);
    vec3 tint = texelFetch(materialBuffer, ivec2(1, index), 0).rgb;
    result = vec4(diffuse.rgb * tint * (vec3(0.15) + texture(lightBuffer, uv).rgb), 1.0);
}
)";

} // namespace

class DeferredScene : public testing::Test {
protected:
    void SetUp() override
    {
        ResourceFile file("deferred_scene.vbo", writeScene());
        ObjectReader reader("deferred_scene.vbo");
        reader.setTrace(false);
        reader.setLog(log);
        Status read = reader.read(file, scene);
        ASSERT_TRUE(read) << read.reason();
        ASSERT_EQ(scene->getLights().size(), 3u);

        geometryShader = buildShader("gbuffer", standInGeometryVertex, geometryFragment);
        sunShader = buildShader("sun", standInScreenVertex, lightCommon + directionalBody);
        bulbShader = buildShader("bulb", standInVolumeVertex, lightCommon + standInLocalLight + pointBody);
        lampShader = buildShader("lamp", standInVolumeVertex, lightCommon + standInLocalLight + spotBody);
        composeShader = buildShader("compose", standInScreenVertex, composeFragment);
        instance.reset(new ShaderGeoColor(geometryShader.get()));
        for (ORVObject* obj : scene->getObjectList())
            scene->ApplyShaderInstance(obj->getName(), instance.get());

        scene->getLightByName("sun")->setShader(sunShader.get());
        scene->getLightByName("sun")->setColor(0.9f, 0.0f, 0.0f, 1.0f);
        scene->getLightByName("bulb")->setShader(bulbShader.get());
        scene->getLightByName("bulb")->setColor(0.0f, 1.0f, 0.0f, 1.0f);
        scene->getLightByName("lamp")->setShader(lampShader.get());
        scene->getLightByName("lamp")->setColor(0.0f, 0.0f, 1.0f, 1.0f);
        scene->getLightByName("lamp")->setLinearAttenuation(1.0f);

        ORVCamera::lookAt(&camera, glm::vec3(0.0f), glm::vec3(0.0f, 9.0f, 9.0f), glm::vec3(0.0f, 1.0f, 0.0f));
        camera.getProjection().set(50.0f, 1.0f, 1.0f, 40.0f);

        gbuffer.reset(new FBO(size, size, true, false, GL_RGBA8));
        gbuffer->addColorAttachment(GL_RGBA8, GL_RGBA);
        lightBuffer.reset(new FBO(size, size, false, false, GL_RGBA8));
        output.reset(new FBO(size, size, false, false, GL_RGBA8));
        for (Texture* t : {FBO::getColorTexture(gbuffer.get(), 0), FBO::getColorTexture(gbuffer.get(), 1),
                           FBO::getDepthTexture(gbuffer.get())})
            t->setFilter(GL_NEAREST);
        renderer.reset(new DeferredRenderer(gbuffer.get(), nullptr, lightBuffer.get(), nullptr, nullptr));
    }
    void TearDown() override
    {
        renderer.reset();
        scene.reset();
        GLContext::restoreDefaults();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // One frame as a scene effect draws it, composed into the output buffer.
    RgbaImage render()
    {
        glClearColor(0, 0, 0, 0);
        FBO::bindAndClear(gbuffer.get());
        FBO::bindAndClear(lightBuffer.get());
        FBO::bind(nullptr);
        scene->update(0);
        renderer->uploadMaterials(scene.get());
        renderer->drawGeometry(&camera, scene.get(), false);
        renderer->drawLights(&camera, scene.get(), false);

        FBO::bindAndClear(output.get());
        glDisable(GL_DEPTH_TEST);
        composeShader->bind();
        composeShader->setTexture("diffuseBuffer", 0, FBO::getColorTexture(gbuffer.get(), 0));
        composeShader->setTexture("normalBuffer", 1, FBO::getColorTexture(gbuffer.get(), 1));
        composeShader->setTexture("lightBuffer", 2, FBO::getColorTexture(lightBuffer.get(), 0));
        composeShader->setTexture("materialBuffer", 3, renderer->getMaterialTexture());
        composeShader->setVec2("screensize", float(size), float(size));
        Geometry::build();
        Geometry::quad->generateVAOCombo(composeShader.get());
        Geometry::quad->draw();
        glEnable(GL_DEPTH_TEST);
        RgbaImage image = readPixels(0, 0, size, size);
        FBO::bind(nullptr);
        return image;
    }

    // The pixel a world point lands on.
    const uint8_t* pixel(const RgbaImage& image, const glm::vec3& world) const
    {
        const glm::vec4 clip = camera.getProjectionMatrix() * camera.getViewMatrix() * glm::vec4(world, 1.0f);
        const int x = int((clip.x / clip.w * 0.5f + 0.5f) * size);
        const int y = int((clip.y / clip.w * 0.5f + 0.5f) * size);
        EXPECT_TRUE(x >= 0 && x < size && y >= 0 && y < size) << world.x << "," << world.y << "," << world.z;
        return image.at(std::min(std::max(x, 0), size - 1), std::min(std::max(y, 0), size - 1));
    }

    std::ostringstream log;
    std::unique_ptr<ORVScene> scene;
    std::unique_ptr<Shader> geometryShader, sunShader, bulbShader, lampShader, composeShader;
    std::unique_ptr<ShaderGeoColor> instance;
    ORVCamera camera{"cam"};
    std::unique_ptr<FBO> gbuffer, lightBuffer, output;
    std::unique_ptr<DeferredRenderer> renderer;
};

TEST_F(DeferredScene, EachLightLightsWhatItReachesAndNothingElse)
{
    const RgbaImage image = render();
    // Ambient alone on the floor: 0.8 x 0.15 of 255.
    const int ambient = int(0.8f * 0.15f * 255.0f);
    auto expectChannel = [&](const glm::vec3& world, int channel, bool lit, const char* what) {
        const uint8_t* p = pixel(image, world);
        if (lit)
            EXPECT_GT(int(p[channel]), ambient + 60) << what << " channel " << channel;
        else
            EXPECT_LE(int(p[channel]), ambient + 8) << what << " channel " << channel;
    };
    enum { R, G, B };
    // Open floor away from the bulb and the lamp: the sun only.
    expectChannel({4.0f, 0.0f, 3.0f}, R, true, "open floor");
    expectChannel({4.0f, 0.0f, 3.0f}, G, false, "open floor");
    expectChannel({4.0f, 0.0f, 3.0f}, B, false, "open floor");
    expectChannel({-5.0f, 0.0f, -5.0f}, G, false, "floor behind, beyond the bulb's radius");
    // Under the bulb: green; beyond its radius none.
    expectChannel({-3.0f, 0.0f, 2.0f}, G, true, "floor under the bulb");
    expectChannel({-3.0f, 0.0f, 2.0f}, B, false, "floor under the bulb");
    expectChannel({1.5f, 0.0f, 1.5f}, G, false, "floor beyond the bulb's radius");
    // The front face of the box near the bulb faces it; the sun does not reach it.
    expectChannel({-3.0f, 0.5f, 0.01f}, G, true, "box front facing the bulb");
    expectChannel({-3.0f, 0.5f, 0.01f}, R, false, "box front under the sun");
    // Inside the lamp's circle (radius 5 tan 20 = 1.8 around (3, 0, 0)): blue; outside none.
    expectChannel({3.0f, 0.0f, 1.0f}, B, true, "floor in the lamp's cone");
    expectChannel({3.0f, 1.2f, -0.5f}, B, true, "top of the ball under the lamp");
    expectChannel({3.0f, 0.0f, 2.6f}, B, false, "floor outside the lamp's cone");
    expectChannel({5.2f, 0.0f, 0.0f}, B, false, "floor beside the lamp's cone");
    expectChannel({0.0f, 0.6f, 3.1f}, B, false, "ball at the front");
    // The back box: lit on top by the sun, its front (vertical) face by nothing.
    expectChannel({0.0f, 1.0f, -3.0f}, R, true, "top of the back box");
    expectChannel({0.0f, 0.5f, -2.49f}, R, false, "front of the back box");
    expectChannel({0.0f, 0.5f, -2.49f}, G, false, "front of the back box");
    expectChannel({0.0f, 0.5f, -2.49f}, B, false, "front of the back box");

    std::string report;
    EXPECT_TRUE(matchesReference(image, std::string(DEMOSYS_SOURCE_DIR) + "/tests/data/reference/deferred_scene.png",
                                 "deferred_scene", 1.5, 35.0, report))
        << report;
}

TEST_F(DeferredScene, ALightThatIsOffAddsNothing)
{
    const RgbaImage all = render();
    scene->getLightByName("bulb")->setEnabled(false);
    const RgbaImage withoutBulb = render();
    const glm::vec3 underBulb(-3.0f, 0.0f, 2.0f), open(4.0f, 0.0f, 3.0f), inCone(3.0f, 0.0f, 1.0f);
    EXPECT_LT(int(pixel(withoutBulb, underBulb)[1]) + 50, int(pixel(all, underBulb)[1]));
    // Everything else is as before.
    for (const glm::vec3& p : {open, inCone})
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(pixel(withoutBulb, p)[c], pixel(all, p)[c]);
}
