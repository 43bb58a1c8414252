#include "Scene4Effect.h"

#include "DeferredRenderer.h"
#include "FBO.h"
#include "GlassHallSceneNames.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ShaderSaftblander.h"
#include "TrackInterpolate.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace {

const float degrees = 0.017453292f;

} // namespace

void Scene4Effect::setup()
{
    addTracks({{"fade", &fade}, {"rot_y", &rotY}, {"greets", &greets}, {"light_rot", &lightRot},
               {"globalI", &globalI}});
}

void Scene4Effect::init()
{
    initScene();
    compositeShader = GetShader("composite");
    blenders.clear();
    for (int k = 0; k < 2; ++k) {
        blenderSpots[k].clear();
        blenderColours[k].clear();
        blenderRadii[k].clear();
    }
    for (int n = 1; n <= blenderCount; ++n) {
        for (int k = 0; k < 2; ++k) {
            ORVLight* spot = scene->getLightByName(GlassHallSceneNames::scene4BlenderSpot(n, k));
            blenderSpots[k].push_back(spot);
            blenderColours[k].push_back(spot->getColor());
            blenderRadii[k].push_back(spot->getRadius());
        }
        blenders.push_back(scene->getObjectByName(GlassHallSceneNames::scene4Blender(n)));
    }
    if (ORVMaterial* material = blenders.front()->getMaterial())
        material->setParameterA(1.0f);
    blenderShader = dynamic_cast<ShaderSaftblander*>(blenders.front()->getShaderInstance());

    globalPoints.clear();
    for (const std::string& name : GlassHallSceneNames::scene4GlobalPoints())
        globalPoints.push_back(scene->getLightByName(name));
    const char* const pictures[greetCount] = {"greet_zav", "greet_zeb", "greet_zik", "greet_zol", "greet_zum", "greet_zyr"};
    greetSpots.clear();
    const auto greetNames = GlassHallSceneNames::scene4GreetSpots();
    for (int k = 0; k < greetCount; ++k) {
        ORVLight* spot = scene->getLightByName(greetNames[size_t(k)]);
        spot->setSpotTexture(GetTexture(pictures[k]));
        if (res.spotTextureShader)
            spot->setShader(res.spotTextureShader);
        greetSpots.push_back(spot);
    }
    renderer->uploadMaterials(scene);
}

float Scene4Effect::globalRadius(int i, uint32_t timeMs, float g)
{
    return std::max(0.0f, 2.0f * std::sin((20.0f * float(i) + float(timeMs)) / 200.0f) + g);
}

void Scene4Effect::animate(uint32_t timeMs)
{
    const float t = float(timeMs);
    const float g = globalI->getValue(timeMs);
    for (size_t i = 0; i < globalPoints.size(); ++i)
        globalPoints[i]->setRadius(globalRadius(int(i), timeMs, g));

    const bool showGreets = greets->getValue(timeMs) > 0.0f;
    const glm::vec3 greetAngles[greetCount] = {
        {20.0f * std::sin(t / 3200.0f) - 90.0f, 20.0f * std::cos(t / 1600.0f), t / 100.0f},
        {20.0f * std::cos(t / 2400.0f) - 90.0f, 20.0f * std::cos(t / 2700.0f), t / 110.0f},
        {20.0f * std::sin(t / 1600.0f) - 90.0f, 20.0f * std::sin(t / 1600.0f), t / 120.0f},
        {20.0f * std::cos(t / 4000.0f) - 90.0f, 20.0f * std::sin(t / 1200.0f), t / 130.0f},
        {20.0f * std::sin(t / 3600.0f) - 90.0f, 20.0f * std::sin(t / 1200.0f), t / 140.0f},
        {20.0f * std::cos(t / 3200.0f) - 90.0f, 20.0f * std::cos(t / 2400.0f), t / 150.0f},
    };
    for (int k = 0; k < greetCount; ++k) {
        greetSpots[size_t(k)]->setEnabled(showGreets);
        if (showGreets)
            greetSpots[size_t(k)]->setAngles(greetAngles[k].x, greetAngles[k].y, greetAngles[k].z);
    }

    frameCamera.setMatrix(frameCamera.getViewMatrix() *
                          glm::rotate(glm::mat4(1.0f), rotY->getValue(timeMs) * degrees, glm::vec3(0, 1, 0)));

    scene->update(timeMs);
    const float c = lightRot->getValue(timeMs);
    if (blenderShader)
        blenderShader->setScroll(-c / 180.0f, 0.0f);
    // Blender n's lights beat with band 2(n - 1): the 32 blenders play the spectrum, their
    // beams brightening and reaching further with their band, and out while it is silent
    // (which also spares the light pass).
    readSpectrum(timeMs);
    for (int n = 0; n < blenderCount; ++n) {
        const float level = loudness(2 * n);
        const float beat = 0.45f + 1.1f * level;
        for (int k = 0; k < 2; ++k) {
            ORVLight* spot = blenderSpots[k][size_t(n)];
            const glm::vec4& base = blenderColours[k][size_t(n)];
            spot->setColor(base.r * beat, base.g * beat, base.b * beat, base.a);
            spot->setRadius(blenderRadii[k][size_t(n)] * (0.5f + 0.5f * level));
            spot->setEnabled(level > silentBand);
        }
        blenderSpots[0][size_t(n)]->setAngles(0.0f, c, 0.0f);
        blenderSpots[1][size_t(n)]->setAngles(0.0f, 180.0f + c, 0.0f);
    }
}

void Scene4Effect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    beginFrame();
    animate(timeMs);
    renderScene();
    composite(compositeShader, target, 1.0f - fade->getValue(timeMs));
}
