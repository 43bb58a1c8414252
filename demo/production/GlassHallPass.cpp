#include "GlassHallPass.h"

#include "FBO.h"
#include "Geometry.h"
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
