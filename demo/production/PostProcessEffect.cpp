#include "PostProcessEffect.h"

#include "FBO.h"
#include "FrameProfiler.h"
#include "GlassHallPass.h"
#include "Log.h"
#include "ORVDemosys.h"
#include "ScreenMetrics.h"
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
    overlayTiles.clear();
    for (Texture* picture : overlayList) {
        overlayTiles.emplace_back(new OverlayTiles());
        overlayTiles.back()->build(picture);
    }
    const Status built = variants.build(res.postProcessShader, {"DISTORT", "ALIGNED", "SCREEN"});
    if (!built)
        Log::warning() << built.reason() << std::endl;
    // The grade draws at the window's size (the offline renderer's frame size).
    const ScreenMetrics* screen = ORVDemosys::screenMetrics;
    buildGrain(screen ? screen->getWidth() : int(FBO::getWidth(res.staging)),
               screen ? screen->getHeight() : int(FBO::getHeight(res.staging)));
}

void PostProcessEffect::buildGrain(int pictureWidth, int pictureHeight)
{
    grain = res.colorNoise;
    fineGrain.reset();
    if (!res.colorNoise || !res.copyShader || res.copyShader->getProgram() == 0)
        return;
    // The grade's grain coordinates: 3.2 repeats of the noise across, 1.8 down.
    const float across = float(pictureWidth) / 3.2f, down = float(pictureHeight) / 1.8f;
    const int noiseWidth = res.colorNoise->getWidth(), noiseHeight = res.colorNoise->getHeight();
    if (noiseWidth <= 0 || noiseHeight <= 0 || (across <= float(noiseWidth) && down <= float(noiseHeight)))
        return;
    int scale = 2;
    while (scale < 16 && (float(noiseWidth * scale) < across || float(noiseHeight * scale) < down))
        scale *= 2;
    std::unique_ptr<FBO> target(new FBO(unsigned(noiseWidth * scale), unsigned(noiseHeight * scale), false, false,
                                        GL_RGBA8));
    if (!FBO::isComplete(target.get())) {
        Log::warning() << "PostProcessEffect: no fine grain (" << FBO::getStatusText(target.get())
                       << "); the grain is read filtered" << std::endl;
        return;
    }
    const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    FBO::bind(target.get());
    GlassHallPass::bindQuad(res.copyShader);
    // The noise as the grade reads it: its own wrap and filters, at each fine texel's centre.
    res.copyShader->setTexture("source", 0, res.colorNoise);
    GlassHallPass::drawQuad();
    FBO::bindScreen();
    if (depthTest)
        glEnable(GL_DEPTH_TEST);
    Texture* fine = FBO::getColorTexture(target.get(), 0);
    fine->setFilter(GL_NEAREST);
    fine->setWrap(GL_REPEAT);
    fineGrain = std::move(target);
    grain = fine;
}

PostProcessEffect::GradeAffine PostProcessEffect::gradeAffine(float contrast, float brightness, float negative,
                                                             float fade, const glm::vec3& fadeColour,
                                                             float noiseStrength)
{
    const float n = std::min(std::max(negative, 0.0f), 1.0f);
    const float f = std::min(std::max(fade, 0.0f), 1.0f);
    // (c - 0.5)(1 + contrast) + 0.5 + brightness = c g + o
    const float g = 1.0f + contrast;
    const float o = brightness - 0.5f * contrast;
    // mix(x, 1 - x, n) = x (1 - 2n) + n, then mix(x, F, f) = x (1 - f) + F f
    GradeAffine affine;
    affine.gain = g * (1.0f - 2.0f * n) * (1.0f - f);
    affine.offset = glm::vec3((o * (1.0f - 2.0f * n) + n) * (1.0f - f)) + fadeColour * f;
    affine.offset -= glm::vec3(0.5f * noiseStrength);
    return affine;
}

bool PostProcessEffect::takesScreenBlend(const FBO* target, const Texture* sharp) const
{
    return target && target == res.staging && sharp && coversTarget() &&
           sharp->getWidth() == int(FBO::getWidth(res.staging)) &&
           sharp->getHeight() == int(FBO::getHeight(res.staging));
}

void PostProcessEffect::screenBlendOver(Shader* screen, Texture* soft, Texture* sharp)
{
    blend.screen = screen;
    blend.soft = soft;
    blend.sharp = sharp;
}

bool PostProcessEffect::splitSoft(Texture* soft, float split)
{
    if (!res.splitShader || res.splitShader->getProgram() == 0 || !res.softSplit || !soft || !res.staging ||
        FBO::getWidth(res.softSplit) != FBO::getWidth(res.staging) ||
        soft->getHeight() != int(FBO::getHeight(res.softSplit)))
        return false;
    FrameProfiler::Scope timed("split");
    GlassHallPass::bindTarget(res.softSplit);
    GlassHallPass::bindQuad(res.splitShader);
    res.splitShader->setTexture("source", 0, soft);
    // The grade moves red split texels of its picture to the right and blue to the left;
    // in texture coordinates that is as far in the soft picture.
    res.splitShader->setFloat("shift", split / float(FBO::getWidth(res.staging)));
    GlassHallPass::drawQuad();
    return true;
}

bool PostProcessEffect::coversTarget() const
{
    return res.postProcessShader && res.postProcessShader->getProgram() != 0 && res.staging;
}

size_t PostProcessEffect::overlayAt(uint32_t t) const
{
    // Negative values show no overlay rather than reading before the list.
    const int index = std::min(static_cast<int>(overlay->getValue(t)), static_cast<int>(overlayList.size()) - 1);
    return index > 0 && overlayList[size_t(index)] && res.textureShader ? size_t(index) : 0;
}

void PostProcessEffect::update(uint32_t t)
{
    const size_t index = overlayAt(t);
    shown = index > 0 && coversTarget() ? overlayTiles[index]->getShownArea() : ScreenArea();
}

ScreenArea PostProcessEffect::shownArea() const
{
    // What the passes before the grade read around a pixel, up and down: the blurs'
    // shrink (2 x 2 pixels), their results read back filtered from a quarter of the
    // picture's size or half of it (one texel: 2 to 4 pixels) and the radial blur's
    // streaks, which run towards the centre, inside the shown area. 3 % of the screen
    // covers it with room to spare at every size (checked frame for frame with the
    // clipping off: glasshall_check --purity).
    const float readMargin = 0.03f;
    return shown.isWhole() ? shown : shown.grown(readMargin);
}

void PostProcessEffect::draw(uint32_t t, int32_t, FBO* target)
{
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);

    // The variant of what this frame uses: the distortion's read costs every pixel
    // whenever the program has it, and filtered reads cost more than fetches.
    const float distortAmount = distort->getValue(t);
    const float split = aberration->getValue(t);
    const ScreenMetrics* screen = ORVDemosys::screenMetrics;
    const int targetWidth = target ? int(FBO::getWidth(target)) : screen ? screen->getViewportWidth() : 0;
    const int targetHeight = target ? int(FBO::getHeight(target)) : screen ? screen->getViewportHeight() : 0;
    const bool aligned = distortAmount == 0.0f && std::floor(split) == split && std::fabs(split) < 4096.0f &&
                         targetWidth == int(FBO::getWidth(res.staging)) &&
                         targetHeight == int(FBO::getHeight(res.staging));
    bool screened = blend.soft && blend.sharp;
    const unsigned int features = (distortAmount != 0.0f ? distortFeature : 0u) | (aligned ? alignedFeature : 0u);
    Shader* s = variants.pick(features | (screened ? screenFeature : 0u));
    // Read aligned, the soft picture is pulled apart first and read once a pixel.
    const bool splitRead = screened && aligned && s != res.postProcessShader;
    if (screened && (s == res.postProcessShader || (splitRead && !splitSoft(blend.soft, split)))) {
        // The plain program stands in for a variant that did not build and blends
        // nothing; an aligned variant reads the soft picture pulled apart or not at all:
        // the blend is drawn into staging first, as without the hand-over.
        GlassHallPass::drawScreenBlend(blend.screen, blend.soft, blend.sharp, res.staging);
        s = variants.pick(features);
        screened = false;
    }
    // The grade reads each pixel's own row: under the overlay's opaque bars, which its
    // overlay pass paints over, there is nothing to grade.
    const size_t index = overlayAt(t);
    if (index > 0 && !target)
        FBO::setShownArea(overlayTiles[index]->getShownArea());
    GlassHallPass::bindTarget(target);
    GlassHallPass::bindQuad(s);
    s->setTexture("image", 0, screened ? blend.sharp : FBO::getColorTexture(res.staging, 0));
    if (screened)
        s->setTexture("soft", 3, splitRead ? FBO::getColorTexture(res.softSplit, 0) : blend.soft);
    blend = {};
    s->setTexture("noise", 2, grain ? grain : res.colorNoise);
    // The grain drifts and the distortion scrolls with the time of the range so far.
    noiseOffset = 0.00025f * float(t - std::min(t, getRangeStartMs()));
    distortScroll = float(distortTravel.at(getRangeStartMs(), t));
    // The plain program, standing in for a variant that did not build, has the
    // distortion: it gets this frame's amount, 0 included, so none of the last frame's
    // stays.
    const bool plain = s == res.postProcessShader;
    if (plain || (features & distortFeature)) {
        s->setTexture("distortmap", 1, res.distortNoise);
        s->setFloat("distort_amount", distortAmount);
        s->setFloat("distort_scroll", distortScroll);
    }
    if (plain || !(features & alignedFeature))
        s->setFloat("image_size", static_cast<float>(FBO::getWidth(res.staging)));
    s->setFloat("aberration", split);
    const float strength = noiseStrength->getValue(t);
    const GradeAffine affine =
        gradeAffine(contrast->getValue(t), brightness->getValue(t), negative->getValue(t), fade->getValue(t),
                    glm::vec3(fadeR->getValue(t), fadeG->getValue(t), fadeB->getValue(t)), strength);
    s->setFloat("grade_gain", affine.gain);
    s->setVec3("grade_offset", affine.offset.x, affine.offset.y, affine.offset.z);
    s->setFloat("vignett_radius", vignettRadius->getValue(t));
    s->setFloat("noise_offset", noiseOffset);
    s->setFloat("noise_strength", strength);
    {
        FrameProfiler::Scope timed("grade");
        GlassHallPass::drawQuad();
        FBO::showAll();
    }
    {
        FrameProfiler::Scope timed("overlay");
        drawOverlay(t);
    }
    glEnable(GL_DEPTH_TEST);
}

void PostProcessEffect::drawOverlay(uint32_t t)
{
    const size_t index = overlayAt(t);
    if (index == 0)
        return;
    // Over the graded picture by the overlay's alpha. The target's alpha, opaque where
    // the grade drew, stays so, and turns opaque where the overlay is: under its opaque
    // bars the grade drew nothing.
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    res.textureShader->bind();
    res.textureShader->setTexture("image", 0, overlayList[index]);
    overlayTiles[index]->draw(res.textureShader);
    glDisable(GL_BLEND);
}
