#include "GlassHallPass.h"

#include "FBO.h"
#include "FrameProfiler.h"
#include "Geometry.h"
#include "ORVDemosys.h"
#include "PostProcessEffect.h"
#include "Shader.h"
#include "Texture.h"
#include "TrackManager.h"
#include "VAO.h"

void GlassHallPass::bindTarget(FBO* target)
{
    FBO::bind(target);
    if (target)
        FBO::markDirty(target);
}

void GlassHallPass::bindQuad(Shader* shader)
{
    // Demo::load builds the shared meshes; a test that draws an effect alone may not have.
    Geometry::build();
    Geometry::quad->bind(shader);
}

void GlassHallPass::drawQuad()
{
    Geometry::quad->draw(GL_TRIANGLES);
}

void GlassHallPass::shrink(Shader* copy, FBO* source, FBO* target)
{
    Texture* picture = FBO::getColorTexture(source, 0);
    if (!copy || copy->getProgram() == 0 || !picture || picture->getMinFilter() != GL_LINEAR ||
        picture->getMagFilter() != GL_LINEAR) {
        FBO::blitColor(source, 0, target, 0, GL_LINEAR);
        // A blit does not mark what it drew into; a bind would have.
        FBO::markDirty(target);
        return;
    }
    glDisable(GL_BLEND);
    bindTarget(target);
    bindQuad(copy);
    copy->setTexture("source", 0, picture);
    drawQuad();
}

void GlassHallPass::screenBlend(const Effect* from, Shader* screen, Texture* soft, Texture* sharp, FBO* target)
{
    const TrackManager* timeline = ORVDemosys::tracks;
    auto* grade = timeline && timeline->isDrawingFrame()
                      ? dynamic_cast<PostProcessEffect*>(timeline->nextActiveEffect(from))
                      : nullptr;
    if (grade && grade->takesScreenBlend(target, sharp)) {
        grade->screenBlendOver(screen, soft, sharp);
        return;
    }
    drawScreenBlend(screen, soft, sharp, target);
}

void GlassHallPass::drawScreenBlend(Shader* screen, Texture* soft, Texture* sharp, FBO* target)
{
    bindTarget(target);
    bindQuad(screen);
    screen->setTexture("source0", 0, soft);
    screen->setTexture("source1", 1, sharp);
    FrameProfiler::Scope timed("screen");
    drawQuad();
}
