#include "RadialBlurEffect.h"

#include "FBO.h"
#include "FrameProfiler.h"
#include "GlassHallPass.h"
#include "Shader.h"
#include "TrackInterpolate.h"

#include <GL/glew.h>

#include <algorithm>

void RadialBlurEffect::setup()
{
    addTracks({{"num_passes", &numPasses}, {"multiply", &multiply}});
}

void RadialBlurEffect::draw(uint32_t t, int32_t, FBO* target)
{
    glDisable(GL_DEPTH_TEST);
    {
        FrameProfiler::Scope timed("shrink");
        GlassHallPass::shrink(res.copyShader, res.staging, res.blurX);
    }
    // The sharp image is read from staging1 itself, which nothing changes before the
    // last pass: a copy into offscreen0 (2048 x 2048 at High) would cost as much as the
    // rest of the effect and show the same picture.
    // The blur writes every pixel of blurY: no clear first.
    GlassHallPass::bindTarget(res.blurY);
    glDisable(GL_BLEND);

    // An unkeyed or zero pass count would divide by zero: at least one pass.
    const float passes = std::max(1.0f, numPasses->getValue(t));
    Shader* s = res.radialBlurShader;
    GlassHallPass::bindQuad(s);
    s->setVec2("zoomFactor", 1.0f, 1.0f / 60.0f);
    s->setVec2("alpha", 1.0f, 1.0f / passes);
    s->setFloat("multiply", multiply->getValue(t));
    s->setTexture("image", 0, FBO::getColorTexture(res.blurX, 0));
    {
        FrameProfiler::Scope timed("blur");
        GlassHallPass::drawQuad();
    }

    GlassHallPass::screenBlend(this, res.screenShader, FBO::getColorTexture(res.blurY, 0),
                               FBO::getColorTexture(res.staging, 0), target);
    glEnable(GL_DEPTH_TEST);
}
