#include "ScenePreview.h"

#include "DeferredRenderer.h"
#include "FBO.h"
#include "Geometry.h"
#include "ORVCamera.h"
#include "ORVLight.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "Shader.h"
#include "ShaderGeoColor.h"
#include "ShaderGeoTexture.h"
#include "StandInShaders.h"
#include "ORVMaterial.h"
#include "Texture.h"
#include "VAO.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

const std::string geometryFragment = std::string(standInGBufferOutputs) + R"(void main()
{
    diffuse = vec4(color, MaterialIndex / 255.0);
    normalOut = vec4(normalize(normal), 1.0);
}
)";

const char* const texturedVertex = R"(#version 150
in vec3 in_Position;
in vec3 in_Normal;
in vec2 in_UV0;
uniform mat4 projM;
uniform mat4 cameraM;
uniform mat4 modelM;
uniform mat3 normalM;
out vec3 normal;
out vec2 uv;
void main()
{
    normal = normalM * in_Normal;
    uv = in_UV0;
    gl_Position = projM * cameraM * modelM * vec4(in_Position, 1.0);
}
)";

const std::string texturedFragment = std::string(standInGBufferOutputs) + R"(uniform sampler2D texture0;
in vec2 uv;
void main()
{
    diffuse = vec4(color * texture(texture0, uv).rgb, MaterialIndex / 255.0);
    normalOut = vec4(normalize(normal), 1.0);
}
)";

// The G-buffer at this pixel as view-space position and normal, and Blinn-Phong with the
// material table's second colour and exponent.
const std::string lightCommon = std::string(standInLightInputs) + R"(
vec4 normalSample;
// Reads the normal buffer once for both questions.
bool hasGeometry()
{
    normalSample = texture(normalBuffer, screenUV());
    return normalSample.a > 0.5;
}
vec3 viewNormal() { return normalize(normalSample.xyz); }
)" + standInViewPosition + R"(
vec3 shade(vec3 n, vec3 l, vec3 position)
{
    int index = int(texture(diffuseBuffer, screenUV()).a * 255.0 + 0.5);
    vec3 specular = texelFetch(materialBuffer, ivec2(1, index), 0).rgb;
    float exponent = texelFetch(materialBuffer, ivec2(2, index), 0).r * 255.0;
    vec3 h = normalize(l + normalize(-position));
    float d = max(dot(n, l), 0.0);
    return vec3(d) + specular * (d > 0.0 ? pow(max(dot(n, h), 0.0), exponent) : 0.0);
}
)";

const char* const directionalBody = R"(
uniform vec3 lightDirection;
void main()
{
    if (!hasGeometry()) { light = vec4(0.0); return; }
    vec3 p = viewPosition(mat4(1.0));
    light = vec4(color.rgb * shade(viewNormal(), -normalize(lightDirection), p) * 0.5, 1.0);
}
)";

const char* const pointBody = R"(
void main()
{
    if (!hasGeometry()) { light = vec4(0.0); return; }
    vec3 p = viewPosition(projM);
    vec3 toLight = lightPos - p;
    float d = length(toLight);
    float attenuation = clamp(1.0 - d / lightRadius, 0.0, 1.0);
    light = vec4(color.rgb * attenuation * attenuation * shade(viewNormal(), toLight / d, p) * 1.5, 1.0);
}
)";

const char* const spotBody = R"(
uniform vec3 lightDirection;
uniform float FallOff;
uniform float LinearAttenuation;
void main()
{
    if (!hasGeometry()) { light = vec4(0.0); return; }
    vec3 p = viewPosition(projM);
    vec3 toLight = lightPos - p;
    float d = length(toLight);
    float cone = smoothstep(FallOff, mix(FallOff, 1.0, 0.3), dot(-toLight / d, lightDirection));
    float attenuation = clamp(1.0 - LinearAttenuation * d / lightRadius, 0.0, 1.0);
    light = vec4(color.rgb * cone * attenuation * shade(viewNormal(), toLight / d, p) * 1.5, 1.0);
}
)";

const char* const compositeFragment = R"(#version 150
uniform sampler2D diffuseBuffer;
uniform sampler2D normalBuffer;
uniform sampler2D lightBuffer;
uniform vec2 screensize;
out vec4 result;
void main()
{
    vec2 uv = gl_FragCoord.xy / screensize;
    if (texture(normalBuffer, uv).a < 0.5) { result = vec4(0.1, 0.0, 0.1, 1.0); return; }
    vec3 colour = texture(diffuseBuffer, uv).rgb;
    result = vec4(colour * (vec3(0.12) + texture(lightBuffer, uv).rgb), 1.0);
}
)";

const char* const twoReadsFragment = R"(#version 150
uniform sampler2D first;
uniform sampler2D second;
uniform vec2 screensize;
out vec4 result;
void main()
{
    vec2 uv = gl_FragCoord.xy / screensize;
    result = texture(first, uv) * 0.5 + texture(second, uv) * 0.5;
}
)";

std::unique_ptr<Shader> build(const char* name, const std::string& vertex, const std::string& fragment,
                              std::string& error)
{
    std::unique_ptr<Shader> shader(new Shader(name));
    shader->setVertexCode(vertex);
    shader->setFragmentCode(fragment);
    if (!shader->build()) {
        error += std::string(name) + ": " + shader->getErrorLog() + "\n";
        return nullptr;
    }
    return shader;
}

double milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

ScenePreview::ScenePreview(int width, int height) : width(width), height(height)
{
    geometry = build("preview geometry", standInGeometryVertex, geometryFragment, error);
    texturedGeometry = build("preview textured geometry", texturedVertex, texturedFragment, error);
    pointLight = build("preview point", standInVolumeVertex, lightCommon + standInLocalLight + pointBody, error);
    spotLight = build("preview spot", standInVolumeVertex, lightCommon + standInLocalLight + spotBody, error);
    directionalLight = build("preview directional", standInScreenVertex, lightCommon + directionalBody, error);
    composite = build("preview composite", standInScreenVertex, compositeFragment, error);
    if (!error.empty())
        return;
    instance.reset(new ShaderGeoColor(geometry.get()));
    texturedInstance.reset(new ShaderGeoTexture(texturedGeometry.get()));
    // Colour, a float normal (the stand-in programs store it as it is), 24-bit depth.
    gbuffer.reset(new FBO(width, height, true, false, GL_RGBA8));
    gbuffer->addColorAttachment(GL_RGBA16F, GL_RGBA);
    lightBuffer.reset(new FBO(width, height, false, false, GL_RGBA8));
    output.reset(new FBO(width, height, false, false, GL_RGBA8));
    for (Texture* t : {FBO::getColorTexture(gbuffer.get(), 0), FBO::getColorTexture(gbuffer.get(), 1),
                       FBO::getDepthTexture(gbuffer.get())})
        t->setFilter(GL_NEAREST);
    renderer.reset(new DeferredRenderer(gbuffer.get(), nullptr, lightBuffer.get(), nullptr, nullptr));
    ready = FBO::isComplete(gbuffer.get()) && FBO::isComplete(lightBuffer.get()) && FBO::isComplete(output.get());
    if (!ready)
        error = "incomplete framebuffer: " + FBO::getStatusText(gbuffer.get());
}

ScenePreview::~ScenePreview()
{
    if (query)
        glDeleteQueries(1, &query);
    renderer.reset();
    FBO::bind(nullptr);
}

void ScenePreview::prepare(ORVScene* scene, const std::string& textureDirectory)
{
    for (ORVObject* obj : scene->getObjectList()) {
        if (!obj->getMesh())
            continue;
        obj->setShaderInstance(instance.get());
        ORVMaterial* material = obj->getMaterial();
        if (textureDirectory.empty() || !material || material->getTextureName().empty() ||
            !obj->getMesh()->hasMappedArray("in_UV0"))
            continue;
        const std::string& name = material->getTextureName();
        if (!textures.count(name)) {
            RgbaImage image;
            if (!readPng(textureDirectory + "/" + name, image))
                continue;
            // readPng gives rows bottom first, as GL wants them.
            Texture* texture =
                new Texture(image.width, image.height, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels.data());
            texture->setWrap(GL_REPEAT, GL_REPEAT);
            textures[name].reset(texture);
        }
        material->setTexture(textures[name].get());
        obj->setShaderInstance(texturedInstance.get());
    }
    for (const auto& entry : scene->getLights()) {
        ORVLight* light = entry.second;
        light->setEnabled(true);
        switch (light->getKind()) {
        case 1:
            light->setShader(spotLight.get());
            light->setColor(1.0f, 0.95f, 0.85f, 1.0f);
            break;
        case 2:
            light->setShader(directionalLight.get());
            light->setColor(0.6f, 0.65f, 0.8f, 1.0f);
            break;
        case 3:
            light->setShader(pointLight.get());
            light->setColor(1.0f, 0.9f, 0.75f, 1.0f);
            break;
        default:
            break;
        }
    }
}

void ScenePreview::draw(ORVScene* scene, const glm::vec3& eye, const glm::vec3& target)
{
    ORVCamera camera("preview");
    ORVCamera::lookAt(&camera, target, eye, glm::vec3(0.0f, 1.0f, 0.0f));
    camera.getProjection().set(60.0f, float(width) / float(height), 1.0f, 200.0f);

    glClearColor(0, 0, 0, 0);
    FBO::bindAndClear(gbuffer.get());
    FBO::bindAndClear(lightBuffer.get());
    FBO::bind(nullptr);
    const auto start = std::chrono::steady_clock::now();
    scene->update(0);
    renderer->uploadMaterials(scene);
    renderer->drawGeometry(&camera, scene, false);
    if (timing) {
        glFinish();
        geometryTime = milliseconds(std::chrono::steady_clock::now() - start);
    }
    // The light pass draws without depth testing, so every sample of every volume's
    // back faces (and of every directional quad) is shaded: counted here.
    if (!query)
        glGenQueries(1, &query);
    glBeginQuery(GL_SAMPLES_PASSED, query);
    renderer->drawLights(&camera, scene, false);
    glEndQuery(GL_SAMPLES_PASSED);
    GLuint samples = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &samples);
    lightFragments = double(samples) / double(size_t(width) * height);

    FBO::bindAndClear(output.get());
    glDisable(GL_DEPTH_TEST);
    composite->bind();
    composite->setTexture("diffuseBuffer", 0, FBO::getColorTexture(gbuffer.get(), 0));
    composite->setTexture("normalBuffer", 1, FBO::getColorTexture(gbuffer.get(), 1));
    composite->setTexture("lightBuffer", 2, FBO::getColorTexture(lightBuffer.get(), 0));
    composite->setVec2("screensize", float(width), float(height));
    Geometry::build();
    Geometry::quad->generateVAOCombo(composite.get());
    Geometry::quad->draw();
    glEnable(GL_DEPTH_TEST);
}

RgbaImage ScenePreview::render(ORVScene* scene, const glm::vec3& eye, const glm::vec3& target)
{
    draw(scene, eye, target);
    FBO::bind(output.get());
    RgbaImage image = readPixels(0, 0, width, height);
    // Coverage: the composite marks empty pixels with its background colour.
    size_t covered = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = image.at(x, y);
            covered += !(p[0] == 26 && p[1] == 0 && p[2] == 26);
        }
    coverage = double(covered) / double(size_t(width) * height);
    FBO::bind(nullptr);
    return image;
}

double ScenePreview::timeFrame(ORVScene* scene, const glm::vec3& eye, const glm::vec3& target, int repeats)
{
    draw(scene, eye, target); // warms the driver's caches for these programs
    glFinish();
    double best = 1e30, bestGeometry = 1e30;
    timing = true;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        draw(scene, eye, target);
        glFinish();
        best = std::min(best, milliseconds(std::chrono::steady_clock::now() - start));
        bestGeometry = std::min(bestGeometry, geometryTime);
    }
    timing = false;
    geometryTime = bestGeometry;
    FBO::bind(nullptr);
    return best;
}

double ScenePreview::timeFullScreenPass(int repeats)
{
    if (!twoReads) {
        std::string buildError;
        twoReads = build("two reads", standInScreenVertex, twoReadsFragment, buildError);
        if (!twoReads)
            return -1.0;
    }
    Shader* pass = twoReads.get();
    Geometry::build();
    auto once = [&] {
        FBO::bind(output.get());
        glDisable(GL_DEPTH_TEST);
        pass->bind();
        pass->setTexture("first", 0, FBO::getColorTexture(gbuffer.get(), 0));
        pass->setTexture("second", 1, FBO::getColorTexture(lightBuffer.get(), 0));
        pass->setVec2("screensize", float(width), float(height));
        Geometry::quad->generateVAOCombo(pass);
        Geometry::quad->draw();
        glEnable(GL_DEPTH_TEST);
    };
    once();
    glFinish();
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        once();
        glFinish();
        best = std::min(best, milliseconds(std::chrono::steady_clock::now() - start));
    }
    FBO::bind(nullptr);
    return best;
}

std::vector<PreviewScene> glassHallPreviewScenes()
{
    return {
        {"Scene1.vbo",
         {{{0, 6, 17}, {0, 3.8f, 0}}, {{-15, 10, 14}, {0, 3, -2}}, {{4.5f, 5.8f, 4.5f}, {0, 4.6f, 0}},
          {{0, 1.6f, 10}, {0, 5, -24}}}},
        {"Scene2Alternativ.vbo",
         {{{0, 26, 44}, {0, 0, 0}}, {{0, 4, 31}, {0, 1.5f, 0}}, {{20, 7, 20}, {-5, 1, -5}}, {{0, 60, 12}, {0, 0, 0}}}},
        {"Scene4.vbo",
         {{{0, 5, 14}, {0, 2, -10}}, {{-30, 8, 0}, {10, 2, 0}}, {{-9, 3.5f, -5}, {-13, 2, -10}},
          {{0, 10.5f, 6}, {0, 0, 0}}}},
        {"Scene5+.vbo",
         {{{0, 6, 11}, {0, 4.5f, 0}}, {{8, 2, 8}, {0, 6, 0}}, {{-10, 10, -10}, {2, 2, 2}}, {{0, 3, 5.5f}, {0, 4, 0}}}},
        {"Scene6.vbo",
         {{{0, 3.5f, 13}, {0, 2.5f, 0}}, {{-9, 4.5f, 9}, {0, 2.5f, 0}}, {{0, 1.5f, 6}, {0, 4, 0}}, {{9, 2, -9}, {0, 1, 0}}}},
    };
}

void arrangeSphereRings(ORVScene* scene)
{
    if (!scene->objectExists("Sphere"))
        return;
    ORVObject* sphere = scene->getObjectByName("Sphere");
    int count = 15, number = 0;
    for (int ring = 0; ring < 8; ++ring) {
        const float radius = 5.0f + 3.0f * float(ring);
        for (int k = 0; k < count; ++k) {
            ORVObject* copy = scene->cloneObject(sphere, "Sphere_" + std::to_string(number++), nullptr);
            const float a = 2.0f * 3.14159265f * float(k) / float(count);
            copy->setWorldPosition(std::sin(a) * radius, 0.0f, std::cos(a) * radius);
            copy->setMatrix(copy->getWorldMatrix());
        }
        count = int(float(count) * 1.25f);
    }
    // Kept by the scene (which deletes it) but hidden: the copies stand in for it.
    sphere->setVisible(false);
    scene->setup();
}
