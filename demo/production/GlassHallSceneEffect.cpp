#include "GlassHallSceneEffect.h"

#include "CameraLensEffect.h"
#include "DeferredRenderer.h"
#include "FBO.h"
#include "FrameProfiler.h"
#include "GlassHallPass.h"
#include "ORVDemosys.h"
#include "ORVScene.h"
#include "Shader.h"
#include "Timer.h"
#include "TrackManager.h"
#include "VAO.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

GlassHallSceneEffect::GlassHallSceneEffect()
    : frameCamera("GlassHallSceneCam"), restCamera("GlassHallSceneCam"), spectrum(spectrumBands, 0.0f)
{
}

GlassHallSceneEffect::~GlassHallSceneEffect() = default;

void GlassHallSceneEffect::adopt(DeferredRenderer* sceneRenderer, ORVScene* sceneToDraw)
{
    renderer.reset(sceneRenderer);
    scene = sceneToDraw;
}

void GlassHallSceneEffect::initScene()
{
    lens = dynamic_cast<CameraLensEffect*>(GetEffect("cameralens_effect"));
    std::fill(spectrum.begin(), spectrum.end(), 0.0f);
}

ORVCamera* GlassHallSceneEffect::beginFrame()
{
    // In the timeline's frame, the camera effect's placement only while it runs this
    // frame: otherwise it is where some earlier frame left it, and the picture would
    // depend on that frame. Drawn alone (a tool, a test), the camera as it stands.
    const TrackManager* timeline = ORVDemosys::tracks;
    const bool placed =
        lens && !(timeline && timeline->isDrawingFrame() && timeline->findActiveEffect("cameralens_effect") != lens);
    frameCamera = placed ? *lens->getCamera() : restCamera;
    return &frameCamera;
}

void GlassHallSceneEffect::readSpectrum(uint32_t timeMs)
{
    if (ORVDemosys::timer)
        ORVDemosys::timer->getSpectrumAt(timeMs, 3, spectrumBands, spectrum.data());
    else
        std::fill(spectrum.begin(), spectrum.end(), 0.0f);
    // A NaN from the sound layer must not travel into light radii and matrices.
    for (float& v : spectrum)
        if (!std::isfinite(v) || v < 0.0f)
            v = 0.0f;
}

float GlassHallSceneEffect::bandLevel(int first, int last) const { return bandMean(spectrum.data(), first, last); }

float GlassHallSceneEffect::bandMean(const float* values, int first, int last)
{
    first = std::max(0, first);
    last = std::min(spectrumBands - 1, last);
    if (last < first)
        return 0.0f;
    float sum = 0.0f;
    for (int i = first; i <= last; ++i)
        sum += values[i];
    return sum / float(last - first + 1);
}

float GlassHallSceneEffect::loudness(int band) const
{
    if (band < 0 || band >= spectrumBands)
        return 0.0f;
    const float lifted = spectrum[size_t(band)] * (1.0f + 0.25f * float(band));
    // -60 dB of full scale and below is silence, -20 dB and above full.
    return std::min(1.0f, std::max(0.0f, (std::log10(std::max(lifted, 1e-6f)) + 3.0f) / 2.0f));
}

void GlassHallSceneEffect::renderScene()
{
    FBO* gbuffer = renderer->getGeometryBuffer();
    FBO* lightBuffer = renderer->getLightBuffer();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glDepthMask(GL_TRUE);
    // Left out where the frame's end already cleared them and nothing drew since. The
    // G-buffer's clear comes with its bind and goes with the geometry drawn next; a light
    // buffer that is owed its clear (FBO::setClearOnBind) gets it with the light pass,
    // and binding it here would make the G-buffer's clear a pass of its own.
    FBO::bindAndClearIfUsed(gbuffer);
    if (!FBO::isClean(lightBuffer))
        FBO::bindAndClearIfUsed(lightBuffer);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    renderer->uploadMaterials(scene);
    // The effect's own geometry first (scene 2's rings stand in front of most of its
    // floor): the scene's pixels behind it then fail the depth test before they are
    // shaded (scene 2: 2 to 3 ms a frame at 1280 x 720). The frames are the same.
    FBO::bind(gbuffer);
    FBO::markDirty(gbuffer);
    drawOwnGeometry();
    renderer->drawGeometry(&frameCamera, scene, false);
    renderer->drawLights(&frameCamera, scene, false);
}

void GlassHallSceneEffect::composite(Shader* shader, FBO* target, float fade)
{
    FBO* lightBuffer = renderer->getLightBuffer();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    FrameProfiler::Scope timed("composite");
    if (fade == 1.0f && target && FBO::getWidth(target) == FBO::getWidth(lightBuffer) &&
        FBO::getHeight(target) == FBO::getHeight(lightBuffer)) {
        FBO::blitColor(lightBuffer, 0, target, 0, GL_NEAREST);
        FBO::markDirty(target);
        return;
    }
    GlassHallPass::bindTarget(target);
    GlassHallPass::bindQuad(shader);
    shader->setTexture("lightMap", 0, FBO::getColorTexture(lightBuffer, 0));
    shader->setFloat("fade", fade);
    GlassHallPass::drawQuad();
}

void GlassHallSceneEffect::drawMesh(VAO* mesh, Shader* shader)
{
    if (!mesh || !shader)
        return;
    mesh->generateVAOCombo(shader);
    mesh->draw();
}
