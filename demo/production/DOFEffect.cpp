#include "DOFEffect.h"

#include "FBO.h"
#include "GlassHallPass.h"
#include "Shader.h"
#include "Texture.h"
#include "TrackInterpolate.h"

#include <GL/glew.h>

void DOFEffect::setup()
{
    addTracks({{"focus_point", &focusPoint}, {"focus_range", &focusRange}});
}

bool DOFEffect::wired() const
{
    return res.original && res.levels[0] && res.levels[1] && res.levels[2] && res.depth && res.shader;
}

void DOFEffect::init()
{
    if (!wired())
        return;
    FBO::getColorTexture(res.original, 0)->setFilter(GL_LINEAR);
    for (FBO* level : res.levels)
        FBO::getColorTexture(level, 0)->setFilter(GL_LINEAR);
}

void DOFEffect::draw(uint32_t t, int32_t, FBO* target)
{
    // Unwired, it has nothing to blur; drawing nothing beats stopping the program.
    if (!wired())
        return;
    // No matrices to save: the passes are full-screen quads in normalised device units.
    glDisable(GL_DEPTH_TEST);
    FBO* previous = res.original;
    for (FBO* level : res.levels) {
        GlassHallPass::bindTarget(level);
        FBO::blitColor(previous, 0, level, 0, GL_LINEAR);
        previous = level;
    }

    GlassHallPass::bindTarget(target);
    Shader* s = res.shader;
    GlassHallPass::bindQuad(s);
    s->setTexture("original", 0, FBO::getColorTexture(res.original, 0));
    s->setTexture("level1", 1, FBO::getColorTexture(res.levels[0], 0));
    s->setTexture("level2", 2, FBO::getColorTexture(res.levels[1], 0));
    s->setTexture("level3", 3, FBO::getColorTexture(res.levels[2], 0));
    s->setTexture("depth_buffer", 4, FBO::getDepthTexture(res.depth));
    s->setFloat("level1_size", static_cast<float>(FBO::getWidth(res.levels[0])));
    s->setFloat("level2_size", static_cast<float>(FBO::getWidth(res.levels[1])));
    s->setFloat("level3_size", static_cast<float>(FBO::getWidth(res.levels[2])));
    s->setFloat("near", 0.5f);
    s->setFloat("far", 4.0f);
    s->setFloat("focus_range", focusRange->getValue(t));
    GlassHallPass::drawQuad();
    glEnable(GL_DEPTH_TEST);
}
