#include "Scene1Effect.h"

#include "DeferredRenderer.h"
#include "FBO.h"
#include "Geometry.h"
#include "GlassHallPass.h"
#include "GlassHallSceneNames.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVDemosys.h"
#include "ORVScene.h"
#include "Shader.h"
#include "VAO.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cmath>

namespace {

const float degrees = 0.017453292f;

// The spots' swing at time a (ms) for spot k.
glm::vec3 spotAngles(double a, int k)
{
    const float n = float(k + 1);
    const float t = float(a);
    return glm::vec3(10.0f * std::sin((t + 100.0f * n) / 400.0f), 0.0f, 45.0f * std::sin((t + 1000.0f * n) / 400.0f));
}

glm::mat4 rotationXYZ(const glm::vec3& angles)
{
    // An angle of exactly 0 adds no rotation at all.
    glm::mat4 m(1.0f);
    if (angles.x != 0.0f)
        m = glm::rotate(m, angles.x * degrees, glm::vec3(1, 0, 0));
    if (angles.y != 0.0f)
        m = glm::rotate(m, angles.y * degrees, glm::vec3(0, 1, 0));
    if (angles.z != 0.0f)
        m = glm::rotate(m, angles.z * degrees, glm::vec3(0, 0, 1));
    return m;
}

} // namespace

Scene1Effect::Scene1Effect() = default;
Scene1Effect::~Scene1Effect() = default;

void Scene1Effect::init()
{
    initScene();
    compositeShader = GetShader("composite");
    for (float& level : levels)
        level = 0.0f;
    history.clear();
    diskTurns.reset(DiskTurns{glm::mat4(1.0f), glm::mat4(1.0f), glm::mat4(1.0f)});
    const auto ballNames = GlassHallSceneNames::scene1Balls();
    const auto diskNames = GlassHallSceneNames::scene1Disks();
    const auto pointNames = GlassHallSceneNames::scene1Points();
    const auto spotNames = GlassHallSceneNames::scene1Spots();
    for (int k = 0; k < 3; ++k) {
        balls[k] = scene->getObjectByName(ballNames[size_t(k)]);
        disks[k] = scene->getObjectByName(diskNames[size_t(k)]);
        diskPlacements[k] = disks[k]->getLocalMatrix();
        points[k] = scene->getLightByName(pointNames[size_t(k)]);
        spots[k] = scene->getLightByName(spotNames[size_t(k)]);
        spots[k]->setLinearAttenuation(1.75f);
        if (ORVMaterial* material = balls[k]->getMaterial()) {
            material->setDiffuseColor(1.0f, 1.0f, 1.0f);
            material->setParameterA(1.0f);
            material->setParameterB(0.0f);
        }
    }
    spriteQuad.reset(Geometry::createQuad("Geometry::Quad", 0.5f));
}

void Scene1Effect::turnDisks(DiskTurns& turns, double stepTimeMs)
{
    for (int k = 0; k < 3; ++k)
        turns[size_t(k)] = turns[size_t(k)] * rotationXYZ(spotAngles(stepTimeMs, k));
}

void Scene1Effect::updateLevels(uint32_t timeMs)
{
    // A level jumps up with its band and sinks by levelDecay a step: at each step the
    // highest of the recent sums, less what it has sunk since.
    history.update(ORVDemosys::timer, timeMs);
    // Bins 21, 43 and 63 lie between the bands.
    const int first[3] = {0, 22, 44};
    const int last[3] = {20, 42, 62};
    for (int k = 0; k < 3; ++k) {
        float level = 0.0f;
        for (int age = 0; age < history.getDepth(); ++age) {
            const float* values = history.getStep(age);
            float sum = 0.0f;
            for (int i = first[k]; i <= last[k]; ++i)
                sum += values[i];
            level = std::max(level, sum - levelDecay * float(age));
        }
        levels[k] = level;
    }
}

void Scene1Effect::animate(uint32_t timeMs)
{
    const DiskTurns& turns = diskTurns.at(getRangeStartMs(), timeMs);
    for (int k = 0; k < 3; ++k) {
        if (ORVMaterial* material = balls[k]->getMaterial())
            material->setParameterA(levels[k]);
        points[k]->setRadius(10.0f * levels[k] + 0.001f);
        const glm::vec3 angles = spotAngles(timeMs, k);
        spots[k]->setAngles(angles.x, angles.y, angles.z);
        disks[k]->setLocalMatrix(diskPlacements[k] * turns[size_t(k)]);
    }
    scene->update(timeMs);
}

void Scene1Effect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    beginFrame();
    updateLevels(timeMs);
    animate(timeMs);
    renderScene();
    composite(compositeShader, target, 1.0f);
    drawSprites(target);
}

void Scene1Effect::drawSprites(FBO* target)
{
    Shader* shader = res.lightSpriteShader;
    if (!shader)
        return;
    GlassHallPass::bindTarget(target);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    shader->bind();
    spriteQuad->generateVAOCombo(shader);
    shader->setTexture("image", 0, res.lightSprite);
    shader->setMatrix4("ProjM", glm::value_ptr(frameCamera.getProjectionMatrix()));
    const glm::mat4& view = frameCamera.getViewMatrix();
    for (int k = 0; k < 3; ++k) {
        // The ball's place in view space with no rotation: the sprite faces the camera.
        glm::mat4 modelView(1.0f);
        modelView[3] = view * glm::vec4(balls[k]->getWorldPosition(), 1.0f);
        shader->setMatrix4("ModelViewM", glm::value_ptr(modelView));
        shader->setFloat("alpha", points[k]->getRadius() / 6.0f);
        spriteQuad->draw();
    }
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
}
