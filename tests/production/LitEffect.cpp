#include "LitEffect.h"

#include "DeferredRenderer.h"
#include "FBO.h"
#include "Geometry.h"
#include "ORVLight.h"
#include "ORVScene.h"
#include "Shader.h"
#include "TrackInterpolate.h"
#include "VAO.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>

LitEffect::LitEffect() : camera("lit_camera") {}

// The renderer's material texture belongs to the texture pool.
LitEffect::~LitEffect() = default;

void LitEffect::setup() { addTrack("orbit", &orbit); }

void LitEffect::init()
{
    scene = GetScene("lit_hall");
    compose = GetShader("compose");
    renderer.reset(new DeferredRenderer(GetFBO("gbuffer"), nullptr, GetFBO("light_buffer"), nullptr, nullptr));

    // The scene owns its lights.
    ORVLight* sun = new ORVLight();
    sun->setName("sun");
    sun->setKind(ORVLight::Directional);
    sun->setShader(GetShader("sun"));
    sun->setColor(0.85f, 0.75f, 0.55f, 1.0f);
    // Down and towards -x, so the box's and the pyramid's faces get different light.
    sun->setTransform(glm::rotate(glm::mat4(1.0f), glm::radians(35.0f), glm::vec3(0.3f, 0.0f, 1.0f)));
    scene->addLight("sun", sun);

    bulb = new ORVLight();
    bulb->setName("bulb");
    bulb->setKind(ORVLight::Point);
    bulb->setShader(GetShader("bulb"));
    bulb->setColor(0.2f, 0.6f, 1.0f, 1.0f);
    bulb->setRadius(3.5f);
    scene->addLight("bulb", bulb);

    ORVCamera::lookAt(&camera, glm::vec3(0.0f, 0.3f, 0.0f), glm::vec3(0.0f, 5.0f, 6.5f), glm::vec3(0, 1, 0));
}

void LitEffect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    const float radians = orbit->getValue(timeMs) * static_cast<float>(timeMs) / 1000.0f * 3.14159265f / 180.0f;
    bulb->setPlacement(glm::vec3(2.2f * std::sin(radians), 0.8f, 2.2f * std::cos(radians)));
    FBO* gbuffer = renderer->getGeometryBuffer();
    camera.getProjection().set(50.0f, float(FBO::getWidth(gbuffer)) / float(FBO::getHeight(gbuffer)), 1.0f, 30.0f);

    // Neither pass clears: the FBO pool clears both buffers after every frame.
    scene->update(timeMs);
    renderer->uploadMaterials(scene);
    renderer->drawGeometry(&camera, scene, false);
    renderer->drawLights(&camera, scene, false);

    if (target)
        FBO::bindAndClear(target);
    else
        FBO::bind(nullptr);
    glDisable(GL_DEPTH_TEST);
    compose->bind();
    compose->setTexture("diffuseBuffer", 0, FBO::getColorTexture(gbuffer, 0));
    compose->setTexture("normalBuffer", 1, FBO::getColorTexture(gbuffer, 1));
    compose->setTexture("lightBuffer", 2, FBO::getColorTexture(renderer->getLightBuffer(), 0));
    Geometry::build();
    Geometry::quad->generateVAOCombo(compose);
    Geometry::quad->draw();
    glEnable(GL_DEPTH_TEST);
}
