#include "WarpspeedEffect.h"

#include "GlassHallPass.h"
#include "Shader.h"
#include "Texture.h"
#include "TrackInterpolate.h"

#include <GL/glew.h>

#include <algorithm>

void WarpspeedEffect::setup()
{
    addTracks({{"move", &move}, {"intensity", &intensity}, {"speedlayer_alpha", &speedlayerAlpha},
               {"accelerate", &accelerate}});
}

void WarpspeedEffect::init()
{
    res.texture->setWrap(GL_REPEAT);
    res.texture2->setWrap(GL_REPEAT);
}

void WarpspeedEffect::draw(uint32_t t, int32_t, FBO* target)
{
    // A background: it neither tests nor writes depth, so scenes drawn after it cover it.
    glDisable(GL_DEPTH_TEST);
    GlassHallPass::bindTarget(target);
    Shader* s = res.shader;
    GlassHallPass::bindQuad(s);
    s->setTexture("tex", 0, res.texture);
    s->setTexture("tex2", 1, res.texture2);
    s->setFloat("scroll", move->getValue(t));
    s->setFloat("intensity", intensity->getValue(t));
    // The tunnel turns a thousandth of a radian per ms of its range.
    s->setFloat("zangle", 0.001f * float(t - std::min(t, getRangeStartMs())));
    s->setFloat("speedlayer_alpha", speedlayerAlpha->getValue(t));
    s->setFloat("accelerate", accelerate->getValue(t));
    GlassHallPass::drawQuad();
    glEnable(GL_DEPTH_TEST);
}
