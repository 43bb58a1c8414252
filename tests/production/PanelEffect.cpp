#include "PanelEffect.h"

#include "FBO.h"
#include "ORVDemosys.h"
#include "QuadRenderer.h"
#include "ResourceDefinition.h"
#include "Shader.h"
#include "Video.h"

#include <GL/glew.h>

namespace {
int frameLimit = 0;
}

void PanelEffect::quitAfterFrames(int n) { frameLimit = n; }

void PanelEffect::init()
{
    shader = GetShader("panel");
    video = ResourceDefinition::GetVideo("clip");
    scene = GetFBO("scene_fbo");
    lit = GetFBO("lit_fbo");
}

void PanelEffect::draw(uint32_t timeMs, int32_t, FBO* target)
{
    FBO::bind(target);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    QuadRenderer::drawWithShader(video->showTime(static_cast<float>(timeMs) / 1000.0f), shader, -0.95f, 0.6f, 0.6f,
                                 1.2f);
    QuadRenderer::drawAt(FBO::getColorTexture(scene, 0), -0.3f, 0.6f, 0.6f, 1.2f);
    QuadRenderer::drawAt(FBO::getColorTexture(lit, 0), 0.35f, 0.6f, 0.6f, 1.2f);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    if (frameLimit > 0 && ++frames >= frameLimit)
        ORVDemosys::setQuitRequested(true);
}
