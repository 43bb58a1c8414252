#include "Scene6Effect.h"

#include "CameraLensEffect.h"
#include "CubeMapRenderTarget.h"
#include "DeferredRenderer.h"
#include "FBO.h"
#include "Geometry.h"
#include "GlassHallSceneNames.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "Shader.h"
#include "Texture.h"
#include "TrackInterpolate.h"
#include "VAO.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cmath>

namespace {

const float degrees = 0.017453292f;

uint32_t earlier(uint32_t timeMs, uint32_t delay) { return timeMs > delay ? timeMs - delay : 0u; }

bool hasKeys(const TrackInterpolate* track) { return track->getKeyCount() != 0; }

} // namespace

Scene6Effect::Scene6Effect() = default;
Scene6Effect::~Scene6Effect() = default;

void Scene6Effect::setup()
{
    addTracks({{"cam_x", &camX}, {"cam_y", &camY}, {"cam_z", &camZ}, {"bounce_radius", &bounceRadius},
               {"bounce_frame", &bounceFrame}, {"intensity", &intensity}, {"global", &global}});
}

float Scene6Effect::valueOr(TrackInterpolate* track, uint32_t timeMs, float fallback)
{
    return hasKeys(track) ? track->getValue(timeMs) : fallback;
}

void Scene6Effect::init()
{
    initScene();
    faceProjection.set(90.0f, 1.0f, 1.0f, 1000.0f);
    sceneCamera = scene->GetCamera("Camera");
    sceneView = sceneCamera->getViewMatrix();
    const auto ballNames = GlassHallSceneNames::scene6Balls();
    for (int i = 0; i < 3; ++i) {
        balls[i] = scene->getObjectByName(ballNames[size_t(i)]);
        ballMatrices[i] = balls[i]->getLocalMatrix();
    }
    lamp = scene->getLightByName("Lamp");
    lampColour = lamp->getColor();
    // The lamp's reach covers the room: the geometry lights itself with it as it is drawn
    // (the "_lamp" geometry programs), which costs far less than a light pass reading
    // the whole G-buffer back, and the light pass leaves it out.
    lamp->setEnabled(false);
    lampPrograms.clear();
    for (const char* name : {"geometry_color_lamp", "geometry_texture_lamp", "geometry_normalmap_lamp"})
        lampPrograms.push_back(GetShader(name));

    cubeTarget.reset(new CubeMapRenderTarget(cubeMapSize));
    cubeTarget->addColorCubeMap(GL_RGBA8, GL_RGBA);
    cubeTarget->addDepthBuffer();
    lamp->setCubeMap(cubeTarget->getCubeMap());

    globalPoints.clear();
    globalRadii.clear();
    globalColours.clear();
    for (const std::string& name : GlassHallSceneNames::scene6GlobalPoints()) {
        ORVLight* light = scene->getLightByName(name);
        globalPoints.push_back(light);
        globalRadii.push_back(light->getRadius());
        globalColours.push_back(light->getColor());
    }
    windowMesh.reset(Geometry::createCube("Cube", 1.0f));
    renderCubeMap();
}

void Scene6Effect::renderCubeMap()
{
    // The shade seen from the lamp: a dim warm glow with rings of coloured windows, in
    // the lamp's own axes (the light pass turns the lookup by the lamp's object matrix).
    static const glm::vec3 directions[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    static const glm::vec3 ups[6] = {{0, -1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {0, -1, 0}, {0, -1, 0}};
    static const glm::vec4 colours[3] = {{1.0f, 0.92f, 0.75f, 1.0f}, {1.0f, 0.25f, 0.2f, 1.0f}, {0.3f, 0.7f, 1.0f, 1.0f}};
    Shader* shader = res.colorShader;
    GLboolean cull = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    for (int face = 0; face < 6; ++face) {
        cubeTarget->bindFace(face);
        glClearColor(0.22f, 0.17f, 0.12f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        shader->bind();
        shader->setMatrix4("ProjM", glm::value_ptr(faceProjection.getMatrix()));
        const glm::mat4 view = glm::lookAt(glm::vec3(0.0f), directions[face], ups[face]);
        // Seven rings of windows from the bottom of the shade to the top.
        for (int ring = 0; ring < 7; ++ring) {
            const float latitude = (-67.5f + 22.5f * float(ring)) * degrees;
            const int count = std::max(4, int(16.0f * std::cos(latitude)));
            for (int k = 0; k < count; ++k) {
                const float longitude = (360.0f * float(k) / float(count) + 11.0f * float(ring)) * degrees;
                const glm::vec3 at(std::cos(latitude) * std::cos(longitude), std::sin(latitude),
                                   std::cos(latitude) * std::sin(longitude));
                glm::mat4 model = glm::translate(glm::mat4(1.0f), at * 6.0f);
                model = glm::rotate(model, longitude, glm::vec3(0, 1, 0));
                model = glm::scale(model, glm::vec3(0.45f, 0.7f, 0.45f));
                shader->setMatrix4("ModelM", glm::value_ptr(view * model));
                shader->setVec4("color", colours[(ring + k) % 3]);
                windowMesh->generateVAOCombo(shader);
                windowMesh->draw();
            }
        }
        cubeTarget->unbind();
    }
    if (cull)
        glEnable(GL_CULL_FACE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void Scene6Effect::animate(uint32_t timeMs)
{
    const float t = float(timeMs);
    // The camera.
    if (hasKeys(camX) || hasKeys(camY) || hasKeys(camZ)) {
        const glm::vec3 eye(camX->getValue(timeMs), camY->getValue(timeMs), camZ->getValue(timeMs));
        glm::vec3 target = lamp->getPlacement();
        target.y *= 0.5f;
        if (glm::length(target - eye) > 1e-3f)
            ORVCamera::lookAt(sceneCamera, target, eye, glm::vec3(0, 1, 0));
    } else {
        sceneCamera->setMatrix(sceneView);
    }
    if (lens)
        sceneCamera->getProjection() = lens->getCamera()->getProjection();
    frameCamera = *sceneCamera;

    readSpectrum(timeMs);
    const float bass = bandLevel(0, 5);
    // The balls bounce one after the other and glow with their third of the spectrum.
    for (int i = 0; i < 3; ++i) {
        const uint32_t at = earlier(timeMs, uint32_t(150 * i));
        const float h = bounceRadius->getValue(at) * std::fabs(std::sin(bounceFrame->getValue(at) * degrees));
        balls[i]->setLocalMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, h, 0.0f)) * ballMatrices[i]);
        if (ORVMaterial* material = balls[i]->getMaterial())
            material->setParameterA(0.15f + 0.85f * loudness(i * 21 + 6));
    }

    // The lamp: its intensity track (full while unkeyed), lifted by the bass; the shade
    // turns slowly. The object matrix carries view-space directions into the shade's axes.
    const float power = std::max(0.0f, valueOr(intensity, timeMs, 1.0f)) * (0.85f + std::min(bass * 4.0f, 0.6f));
    lamp->setColor(lampColour.r * power, lampColour.g * power, lampColour.b * power, lampColour.a);
    const glm::mat4 spin = glm::rotate(glm::mat4(1.0f), t * 0.012f * degrees, glm::vec3(0, 1, 0));
    glm::mat4 viewRotation(glm::mat3(frameCamera.getViewMatrix()));
    lamp->setObjectMatrix(glm::transpose(spin) * glm::transpose(viewRotation));

    // The room's lights: the global track (full while unkeyed), each flickering with its band.
    const float g = std::max(0.0f, valueOr(global, timeMs, 1.0f));
    for (size_t i = 0; i < globalPoints.size(); ++i) {
        const float band = loudness(int(4 + 7 * i) % spectrumBands);
        globalPoints[i]->setRadius(globalRadii[i] * g * (0.8f + 0.35f * band));
        const glm::vec4& c = globalColours[i];
        const float k = 0.7f + 0.6f * band;
        globalPoints[i]->setColor(c.r * k, c.g * k, c.b * k, c.a);
    }
    scene->update(timeMs);
}

void Scene6Effect::setLampUniforms()
{
    // What the light pass would set for the lamp, once a frame into each program that
    // lights with it (the uniforms stay with the program); the shade on a unit of its own.
    const glm::mat4 view = frameCamera.getViewMatrix();
    const glm::mat4 projectionMatrix = frameCamera.getProjectionMatrix();
    const Projection& projection = frameCamera.getProjection();
    const float zNear = projection.getZNear(), zFar = projection.getZFar();
    const glm::vec4 lampProjection(projectionMatrix[0][0], projectionMatrix[1][1], zFar / (zFar - zNear),
                                   zFar * zNear / (zNear - zFar));
    FBO* lightBuffer = renderer->getLightBuffer();
    const glm::vec3 position(view * glm::vec4(lamp->getPlacement(), 1.0f));
    for (Shader* program : lampPrograms) {
        program->bind();
        program->setVec3("lampPosition", position);
        program->setFloat("lampRadius", lamp->getRadius());
        program->setVec4("lampColour", lamp->getColor());
        program->setCubeMap("lampShade", lampShadeUnit, cubeTarget->getCubeMap()->getGlName());
        program->setMatrix4("lampTurn", glm::value_ptr(lamp->getObjectMatrix()));
        program->setVec4("lampProjection", lampProjection);
        program->setVec2("lampScreen", float(FBO::getWidth(lightBuffer)), float(FBO::getHeight(lightBuffer)));
    }
}

void Scene6Effect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    animate(timeMs);
    setLampUniforms();
    renderScene();
    composite(res.composite, target, 1.0f);
}
