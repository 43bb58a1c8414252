#include "BackdropEffect.h"

#include "Binary.h"
#include "FBO.h"
#include "QuadRenderer.h"
#include "Shader.h"
#include "TrackInterpolate.h"

#include <GL/glew.h>

#include <algorithm>
#include <vector>

void BackdropEffect::setup() { addTrack("fade", &fade); }

void BackdropEffect::init()
{
    shader = GetShader("backdrop");
    texture = GetTexture("backdrop");
    // One byte per channel; a shorter file keeps the neutral tint.
    Binary* palette = GetBinary("palette");
    std::vector<float> values = palette->floats(0, 3);
    if (values.size() == 3)
        std::copy(values.begin(), values.end(), tint);
}

void BackdropEffect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    FBO::bind(target);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    shader->bind();
    shader->setVec3("tint", tint[0], tint[1], tint[2]);
    shader->setFloat("fade", fade->getValue(timeMs));
    QuadRenderer::drawWithShader(texture, shader);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
}
