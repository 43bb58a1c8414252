#include "Scene5Effect.h"

#include "DeferredRenderer.h"
#include "FBO.h"
#include "FrameProfiler.h"
#include "Geometry.h"
#include "GlassHallPass.h"
#include "GlassHallSceneNames.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVDemosys.h"
#include "ORVScene.h"
#include "Shader.h"
#include "ShaderGeoVolumenter1.h"
#include "ShaderGeoVolumenter2.h"
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

// Bins of each bar-meter band: wider towards the highs, as the ear hears them.
const int bandEdges[Scene5Effect::meterBands + 1] = {0, 1, 2, 4, 7, 12, 20, 34, 64};

// A spectrum magnitude as a meter level 0..1 (quiet parts still show).
float meterLevel(float magnitude) { return std::min(1.0f, std::sqrt(std::max(magnitude, 0.0f)) * 2.5f); }

uint8_t toByte(float v) { return uint8_t(std::min(255.0f, std::max(0.0f, v * 255.0f))); }

} // namespace

Scene5Effect::Scene5Effect() = default;
Scene5Effect::~Scene5Effect() = default;

void Scene5Effect::setup()
{
    addTracks({{"wobble", &wobble}, {"bulge_radius", &bulgeRadius}, {"rot_y", &rotY}});
}

void Scene5Effect::init()
{
    initScene();
    spriteShader = GetShader("lightsprite");

    if (!scene->materialExists("VolumeterGenMat")) {
        ORVMaterial* material = new ORVMaterial();
        material->setName("VolumeterGenMat");
        material->setDiffuseColor(1.0f, 1.0f, 1.0f);
        material->setSecondColor(1.0f, 1.0f, 1.0f);
        material->setParameterA(1.0f);
        material->setParameterB(1.0f);
        material->setIndex(255);
        scene->addMaterial("VolumeterGenMat", material);
    }
    meterMaterial = scene->getMaterialByName("VolumeterGenMat");

    meterPixels.assign(size_t(historyWidth) * 4, 0);
    historyPixels.assign(size_t(historyWidth) * historyLength * 4, 0);
    for (float& level : meterLevels)
        level = 0.0f;
    meterHistory.clear();
    waterfall.clear();
    waterfallShown = -1;
    meterTexture.reset(new Texture(historyWidth, 1, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, meterPixels.data()));
    meterTexture->setFilter(GL_NEAREST);
    meterTexture->setWrap(GL_CLAMP_TO_EDGE);
    historyTexture.reset(
        new Texture(historyWidth, historyLength, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, historyPixels.data()));
    historyTexture->setFilter(GL_LINEAR);
    historyTexture->setWrap(GL_CLAMP_TO_EDGE);

    const glm::vec3 background = scene->getMaterialByName("Material")->getDiffuseColor();
    if (res.dotLight)
        res.dotLight->setWrap(GL_REPEAT);
    floorMeters.reset(new ShaderGeoVolumenter1(GetShader("volumeter1"), glm::vec4(background, 1.0f), res.dotLight,
                                               meterTexture.get(), glm::vec2(8.0f, 16.0f)));
    wallMeters.reset(new ShaderGeoVolumenter2(GetShader("volumeter2"), glm::vec4(0.35f, 0.75f, 1.0f, 1.0f),
                                              historyTexture.get(), glm::vec2(1.0f, 1.0f)));
    // The meters glow in their own material row.
    for (const std::string& name : GlassHallSceneNames::scene5Floors()) {
        ORVObject* object = scene->getObjectByName(name);
        object->setShaderInstance(floorMeters.get());
        object->setMaterial(meterMaterial);
    }
    for (const std::string& name : GlassHallSceneNames::scene5Walls()) {
        ORVObject* object = scene->getObjectByName(name);
        object->setShaderInstance(wallMeters.get());
        object->setMaterial(meterMaterial);
    }

    cylinder = scene->getObjectByName("CylinderReal");
    cylinderMatrix = cylinder->getLocalMatrix();
    // The glass is drawn over the lit room, never into the G-buffer.
    cylinder->setVisible(false);
    ceilingLight = scene->getLightByName("TLFLight");
    ceilingRadius = ceilingLight->getRadius();
    dynamicLights.clear();
    dynamicPlacements.clear();
    dynamicRadii.clear();
    for (const std::string& name : GlassHallSceneNames::scene5DynPoints()) {
        ORVLight* light = scene->getLightByName(name);
        dynamicLights.push_back(light);
        dynamicPlacements.push_back(light->getPlacement());
        dynamicRadii.push_back(light->getRadius());
    }
    for (glm::vec2& scroll : noiseScroll)
        scroll = glm::vec2(0.0f);
    spriteQuad.reset(Geometry::createQuad("Geometry::Quad", 0.5f));
    lightCore.reset(Geometry::createCube("Cube", 1.0f));
}

void Scene5Effect::updateMeters(uint32_t timeMs)
{
    readSpectrum(timeMs);
    // Bars jump up with the music and sink at meterFallPerMs: at each step the highest
    // of the recent levels, less what it has sunk since.
    meterHistory.update(ORVDemosys::timer, timeMs);
    const float fallPerStep = 1000.0f / float(buildUpStepsPerSecond) * meterFallPerMs;
    for (int b = 0; b < meterBands; ++b) {
        float shown = 0.0f;
        for (int age = 0; age < meterHistory.getDepth(); ++age) {
            const float* values = meterHistory.getStep(age);
            const float level = meterLevel(bandMean(values, bandEdges[b], bandEdges[b + 1] - 1) * (1.0f + 0.35f * float(b)));
            shown = std::max(shown, level - fallPerStep * float(age));
        }
        meterLevels[b] = shown;
        for (int x = b * historyWidth / meterBands; x < (b + 1) * historyWidth / meterBands; ++x)
            meterPixels[size_t(x) * 4] = toByte(meterLevels[b]);
    }
    meterTexture->upload(meterPixels.data());

    // The waterfall: row r is the spectrum r steps of historyRowMs before the newest
    // step at or before the time.
    waterfall.update(ORVDemosys::timer, timeMs);
    if (waterfall.getNewestStep() == waterfallShown)
        return;
    waterfallShown = waterfall.getNewestStep();
    for (int r = 0; r < historyLength; ++r) {
        const float* values = waterfall.getStep(r);
        uint8_t* row = historyPixels.data() + size_t(r) * historyWidth * 4;
        for (int x = 0; x < historyWidth; ++x) {
            const uint8_t v = toByte(meterLevel(values[x] * (1.0f + 0.1f * float(x))));
            row[x * 4] = v;
            row[x * 4 + 1] = v;
            row[x * 4 + 2] = v;
            row[x * 4 + 3] = 255;
        }
    }
    historyTexture->upload(historyPixels.data());
}

void Scene5Effect::animate(uint32_t timeMs)
{
    const float t = float(timeMs);
    frameCamera.setMatrix(frameCamera.getViewMatrix() *
                          glm::rotate(glm::mat4(1.0f), rotY->getValue(timeMs) * degrees, glm::vec3(0, 1, 0)));

    // The glass turns slowly about its own axis.
    cylinder->setLocalMatrix(cylinderMatrix * glm::rotate(glm::mat4(1.0f), t * 0.02f * degrees, glm::vec3(0, 1, 0)));
    const glm::vec3 centre(cylinderMatrix[3]);

    const float bass = bandLevel(0, 3);
    ceilingLight->setRadius(ceilingRadius * (0.75f + std::min(meterLevel(bass) * 0.5f, 0.5f)));
    // Three lights circle the glass at their own heights, speeds and directions, each
    // growing with its third of the spectrum.
    for (size_t i = 0; i < dynamicLights.size(); ++i) {
        const glm::vec3 offset = dynamicPlacements[i] - centre;
        const float distance = std::max(2.0f, std::sqrt(offset.x * offset.x + offset.z * offset.z));
        const float start = std::atan2(offset.z, offset.x);
        const float speed = (i % 2 == 0 ? 1.0f : -1.0f) * (0.0006f + 0.0002f * float(i));
        const float angle = start + t * speed;
        const float height = offset.y + 0.6f * std::sin(t / (700.0f + 150.0f * float(i)));
        const glm::vec3 position = centre + glm::vec3(std::cos(angle) * distance, height, std::sin(angle) * distance);
        ORVLight* light = dynamicLights[i];
        light->setPlacement(position);
        light->setPosition(position.x, position.y, position.z);
        const int first = int(i) * 21;
        light->setRadius(dynamicRadii[i] * (0.7f + std::min(meterLevel(bandLevel(first, first + 20)) * 0.6f, 0.6f)));
    }
    scene->update(timeMs);
}

void Scene5Effect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    glEnable(GL_DEPTH_TEST);
    beginFrame();
    updateMeters(timeMs);
    animate(timeMs);
    renderScene();
    // The room straight into the target; the glass reads it from the light buffer.
    composite(res.composite, target, 1.0f);

    // The glass's noise drifts with the time the scene has run.
    const float e = float(timeMs - std::min(timeMs, getRangeStartMs()));
    noiseScroll[0] = glm::vec2(0.00002f * e, -0.0001f * e);
    noiseScroll[1] = glm::vec2(0.00014f * e, -0.00008f * e);
    noiseScroll[2] = glm::vec2(-0.00004f * e, 0.00006f * e);
    const float bulge = bulgeRadius->getValue(timeMs) * std::sin(wobble->getValue(timeMs));
    drawCylinder(target, bulge);
    drawLights(target);

}

void Scene5Effect::drawCylinder(FBO* target, float bulge)
{
    FrameProfiler::Scope timed("glass");
    GlassHallPass::bindTarget(target);
    Texture* room = FBO::getColorTexture(renderer->getLightBuffer(), 0);
    // The glass bends its view of the room smoothly; every other reader of the light
    // buffer fetches its texels, which neither filter nor wrap affects.
    room->setWrap(GL_REPEAT);
    room->setFilter(GL_LINEAR);

    // The room's depth, so what stands before the glass hides it.
    const bool depth = target && target->hasDepthBuffer();
    if (depth) {
        FBO::blitDepth(renderer->getGeometryBuffer(), target);
        GlassHallPass::bindTarget(target);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    GLint viewport[4] = {0, 0, 1, 1};
    glGetIntegerv(GL_VIEWPORT, viewport);

    Shader* shader = res.refractShader;
    shader->bind();
    const glm::mat4 modelView = frameCamera.getViewMatrix() * cylinder->getWorldMatrix();
    shader->setMatrix4("ProjM", glm::value_ptr(frameCamera.getProjectionMatrix()));
    shader->setMatrix4("ModelM", glm::value_ptr(modelView));
    shader->setTexture("texture0", 0, room);
    shader->setTexture("noise", 1, res.smoothNoise);
    shader->setVec2("screen", float(viewport[2]), float(viewport[3]));
    shader->setVec2("noise_scroll0", noiseScroll[0].x, noiseScroll[0].y);
    shader->setVec2("noise_scroll1", noiseScroll[1].x, noiseScroll[1].y);
    shader->setVec2("noise_scroll2", noiseScroll[2].x, noiseScroll[2].y);
    shader->setFloat("bulge", bulge);
    drawMesh(cylinder->getMesh(), shader);
}

void Scene5Effect::drawLights(FBO* target)
{
    FrameProfiler::Scope timed("light cores");
    GlassHallPass::bindTarget(target);
    const glm::mat4& view = frameCamera.getViewMatrix();
    const glm::mat4& projection = frameCamera.getProjectionMatrix();

    // A small bright core at each circling light, hidden by what stands before it.
    Shader* colour = res.colorShader;
    colour->bind();
    colour->setMatrix4("ProjM", glm::value_ptr(projection));
    for (ORVLight* light : dynamicLights) {
        const glm::mat4 model = glm::scale(glm::translate(glm::mat4(1.0f), light->getPlacement()), glm::vec3(0.08f));
        colour->setMatrix4("ModelM", glm::value_ptr(view * model));
        const glm::vec4& c = light->getColor();
        colour->setVec4("color", 0.6f + 0.4f * c.r, 0.6f + 0.4f * c.g, 0.6f + 0.4f * c.b, 1.0f);
        drawMesh(lightCore.get(), colour);
    }

    // Their glow over everything.
    if (!spriteShader)
        return;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    spriteShader->bind();
    spriteQuad->generateVAOCombo(spriteShader);
    spriteShader->setTexture("image", 0, res.lightSprite);
    spriteShader->setMatrix4("ProjM", glm::value_ptr(projection));
    for (size_t i = 0; i < dynamicLights.size(); ++i) {
        glm::mat4 modelView(1.0f);
        modelView[3] = view * glm::vec4(dynamicLights[i]->getPlacement(), 1.0f);
        spriteShader->setMatrix4("ModelViewM", glm::value_ptr(modelView));
        spriteShader->setFloat("alpha", 0.35f + 0.4f * std::min(dynamicLights[i]->getRadius() / std::max(dynamicRadii[i], 0.001f) - 0.7f, 0.6f));
        spriteQuad->draw();
    }
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
}
