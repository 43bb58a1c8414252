#include "GradientEffect.h"

#include <demosys/FBO.h>
#include <demosys/QuadRenderer.h>
#include <demosys/Shader.h>
#include <demosys/TrackInterpolate.h>

#include <GL/glew.h>

// The curves the sync script keys: "effect gradient ... curve mix".
void GradientEffect::setup() { addTrack("mix", &mix); }

// Resources are looked up once everything is loaded; a missing alias stops the program.
void GradientEffect::init() { shader = GetShader("gradient"); }

void GradientEffect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    // Everything drawn is a function of timeMs: the same time gives the same picture,
    // in the preview, in a capture and on every machine.
    FBO::bind(target);
    glDisable(GL_DEPTH_TEST);
    shader->bind();
    shader->setFloat("mix_amount", mix->getValue(timeMs));
    shader->setFloat("time", float(timeMs) / 1000.0f);
    // The engine's full-screen quad: in_Position and in_UV0, placed by pos and scale.
    QuadRenderer::drawWithShader(nullptr, shader);
    glEnable(GL_DEPTH_TEST);
}
