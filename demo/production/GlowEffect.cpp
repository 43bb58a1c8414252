#include "GlowEffect.h"

#include "FBO.h"
#include "FrameProfiler.h"
#include "GlassHallPass.h"
#include "Shader.h"
#include "Texture.h"
#include "TrackInterpolate.h"

#include <GL/glew.h>

void GlowEffect::setup()
{
    // The pre-pass pair is keyed in the sync script but not read by the passes.
    addTracks({{"pre_brightness", &preBrightness}, {"pre_contrast", &preContrast}, {"post_brightness", &postBrightness},
               {"post_contrast", &postContrast}, {"blur_radius", &blurRadius}, {"kernel_amp", &kernelAmp}});
}

void GlowEffect::init()
{
    for (FBO* fbo : {res.glowPre, res.blurX, res.glowX, res.blurY})
        FBO::getColorTexture(fbo, 0)->setFilter(GL_LINEAR);
}

void GlowEffect::blurPass(Shader* shader, FBO* source, FBO* destination, uint32_t t)
{
    GlassHallPass::bindTarget(destination);
    GlassHallPass::bindQuad(shader);
    shader->setTexture("source", 0, FBO::getColorTexture(source, 0));
    shader->setFloat("blur_radius", blurRadius->getValue(t));
    // The radius is in texels of a 512-wide picture whatever the buffers' sizes, so the
    // glow spreads as far over the frame at every size and quality.
    shader->setFloat("texture_size", kernelWidth);
    shader->setFloat("adjustment", kernelAmp->getValue(t));
    shader->setFloat("brightness", postBrightness->getValue(t));
    shader->setFloat("contrast", postContrast->getValue(t));
    GlassHallPass::drawQuad();
}

void GlowEffect::draw(uint32_t t, int32_t, FBO* target)
{
    glDisable(GL_DEPTH_TEST);
    // Where the blur runs below half the picture's size, the picture is shrunk first (a
    // filtered copy at half size is the 2 x 2 mean), so that the first pass's filtered
    // reads leave nothing out; where it runs at half size (small pictures) or full size
    // (Ultra), the first pass reads the picture itself and the copy would cost a pass
    // for nothing.
    FBO* source = res.glowPre;
    if (FBO::getWidth(res.glowX) < FBO::getWidth(res.blurX)) {
        FrameProfiler::Scope timed("shrink");
        GlassHallPass::shrink(res.copyShader, res.glowPre, res.blurX);
        source = res.blurX;
    }
    {
        FrameProfiler::Scope timed("blur");
        blurPass(res.blurXShader, source, res.glowX, t);
        blurPass(res.blurYShader, res.glowX, res.blurY, t);
    }

    GlassHallPass::screenBlend(this, res.screenShader, FBO::getColorTexture(res.blurY, 0),
                               FBO::getColorTexture(res.glowPre, 0), target);
    glEnable(GL_DEPTH_TEST);
}
