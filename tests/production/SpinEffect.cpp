#include "SpinEffect.h"

#include "FBO.h"
#include "ORVScene.h"
#include "TrackInterpolate.h"

#include <GL/glew.h>

#include <cmath>

void SpinEffect::setup() { addTrack("speed", &speed); }

void SpinEffect::init() { scene = GetScene("hall"); }

void SpinEffect::update(uint32_t timeMs) { scene->update(timeMs); }

void SpinEffect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    const float radians = angle.at(getRangeStartMs(), timeMs) * 3.14159265f / 180.0f;
    ORVCamera::lookAt(&camera, glm::vec3(0.0f, 0.5f, 0.0f),
                      glm::vec3(6.0f * std::sin(radians), 3.5f, 6.0f * std::cos(radians)), glm::vec3(0, 1, 0));
    const float width = target ? static_cast<float>(FBO::getWidth(target)) : 16.0f;
    const float height = target ? static_cast<float>(FBO::getHeight(target)) : 9.0f;
    camera.getProjection().set(45.0f, width / height, 1.0f, 50.0f);

    if (target)
        FBO::bindAndClear(target);
    else
        FBO::bind(nullptr);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    // Null: each object draws through the shader instance the cache gave it.
    scene->draw(&camera, nullptr);
}
