#include "CameraLensEffect.h"

#include "ORVDemosys.h"
#include "ScreenMetrics.h"
#include "TrackInterpolate.h"

CameraLensEffect::CameraLensEffect() : camera("GlassHallCam") {}

void CameraLensEffect::setup()
{
    addTracks({{"x", &x}, {"y", &y}, {"z", &z}, {"look_x", &lookX}, {"look_y", &lookY}, {"look_z", &lookZ},
               {"tilt", &tilt}});
}

void CameraLensEffect::init()
{
    // A fresh camera, seeing through the screen's projection (near 1, far 200).
    camera = ORVCamera("GlassHallCam");
    if (ORVDemosys::screenMetrics)
        camera.getProjection() = ORVDemosys::screenMetrics->getProjection();
}

void CameraLensEffect::update(uint32_t timeMs)
{
    const glm::vec3 eye(x->getValue(timeMs), y->getValue(timeMs), z->getValue(timeMs));
    glm::vec3 target(lookX->getValue(timeMs), lookY->getValue(timeMs), lookZ->getValue(timeMs));
    // Eye on the target (tracks not keyed yet) has no direction: look down -z instead
    // of filling the view with NaNs.
    if (glm::length(target - eye) < 1e-4f)
        target = eye + glm::vec3(0.0f, 0.0f, -1.0f);
    camera.setPosition(eye);
    ORVCamera::lookAtRoll(&camera, target, eye, tilt->getValue(timeMs));
}

void CameraLensEffect::draw(uint32_t, int32_t, FBO*) {}
