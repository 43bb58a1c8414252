#include "PostProcessEffect.h"

#include "FBO.h"
#include "GlassHallPass.h"
#include "Log.h"
#include "Shader.h"
#include "Texture.h"
#include "TrackInterpolate.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

using ORVDemosys::Log;

void PostProcessEffect::setup()
{
    addTracks({{"aberration", &aberration}, {"brightness", &brightness}, {"contrast", &contrast},
               {"negative", &negative}, {"fade", &fade}, {"fade_r", &fadeR}, {"fade_g", &fadeG}, {"fade_b", &fadeB},
               {"noise_strength", &noiseStrength}, {"vignett_radius", &vignettRadius}, {"distort", &distort},
               // Keyed by the sync script for the frame overlays' placement; no pass reads them.
               {"frame_pos_x", &framePosX}, {"frame_pos_y", &framePosY}, {"frame_width", &frameWidth},
               {"frame_height", &frameHeight}, {"overlay", &overlay}});
}

void PostProcessEffect::init()
{
    noiseOffset = 0.0f;
    distortScroll = 0.0f;
    distortTravel.reset(0.0);
    res.distortNoise->setWrap(GL_REPEAT);
    res.distortNoise->setFilter(GL_NEAREST);
    overlayList.assign(1, nullptr);
    overlayList.insert(overlayList.end(), std::begin(res.overlays), std::end(res.overlays));
    const Status built = variants.build(res.postProcessShader, {"DISTORT", "OVERLAY"});
    if (!built)
        Log::warning() << built.reason() << std::endl;
}

void PostProcessEffect::draw(uint32_t t, int32_t, FBO* target)
{
    glDisable(GL_DEPTH_TEST);
    GlassHallPass::bindTarget(target);

    // The variant of what this frame uses: the distortion's and the overlay's reads cost
    // every pixel whenever the program has them. Negative values show no overlay rather
    // than reading before the list.
    const float distortAmount = distort->getValue(t);
    int index = static_cast<int>(overlay->getValue(t));
    index = std::min(index, static_cast<int>(overlayList.size()) - 1);
    Texture* picture = index > 0 ? overlayList[static_cast<size_t>(index)] : nullptr;
    const unsigned int features = (distortAmount != 0.0f ? distortFeature : 0u) | (picture ? overlayFeature : 0u);
    Shader* s = variants.pick(features);
    GlassHallPass::bindQuad(s);
    s->setTexture("image", 0, FBO::getColorTexture(res.staging, 0));
    s->setTexture("noise", 2, res.colorNoise);
    // The grain drifts and the distortion scrolls with the time of the range so far.
    noiseOffset = 0.00025f * float(t - std::min(t, getRangeStartMs()));
    distortScroll = float(distortTravel.at(getRangeStartMs(), t));
    // The plain program, standing in for a variant that did not build, has every feature:
    // it gets this frame's amounts, off ones included, so none of the last frame's stays.
    const bool plain = s == res.postProcessShader;
    if (plain || (features & distortFeature)) {
        s->setTexture("distortmap", 1, res.distortNoise);
        s->setFloat("distort_amount", distortAmount);
        s->setFloat("distort_scroll", distortScroll);
    }
    s->setFloat("image_size", static_cast<float>(FBO::getWidth(res.staging)));
    s->setFloat("aberration", aberration->getValue(t));
    s->setFloat("brightness", brightness->getValue(t));
    s->setFloat("contrast", contrast->getValue(t));
    s->setFloat("negative", negative->getValue(t));
    s->setFloat("fade", fade->getValue(t));
    s->setVec3("fade_color", fadeR->getValue(t), fadeG->getValue(t), fadeB->getValue(t));
    s->setFloat("vignett_radius", vignettRadius->getValue(t));
    s->setFloat("noise_offset", noiseOffset);
    s->setFloat("noise_strength", noiseStrength->getValue(t));
    // The overlay is blended over the graded picture in the same pass.
    if (plain || (features & overlayFeature)) {
        if (picture)
            s->setTexture("overlay", 3, picture);
        s->setFloat("overlay_on", picture ? 1.0f : 0.0f);
    }
    GlassHallPass::drawQuad();
    glEnable(GL_DEPTH_TEST);
}
