#include "TestProductionDefinition.h"

#include "BackdropEffect.h"
#include "LitEffect.h"
#include "FBO.h"
#include "ORVDemosys.h"
#include "PanelEffect.h"
#include "ScreenMetrics.h"
#include "SpinEffect.h"
#include "Texture.h"
#include "TimeCode.h"

#include <GL/glew.h>

void TestProductionDefinition::configure(ScreenMetrics* metrics)
{
    metrics->getProjection().setClipPlanes(1.0f, 200.0f);
    ORVDemosys::startTime = TimeCode(0, 0, 0);
    ORVDemosys::endTime = TimeCode(0, 10, 0);
}

void TestProductionDefinition::declareResources()
{
    AddShader(ShaderDeclaration("backdrop", "backdrop", {"USE_TINT"}));
    AddShader(ShaderDeclaration("panel", "panel"));
    AddShader(ShaderDeclaration("geo", "geo"));
    AddShader(ShaderDeclaration("gbuffer", "gbuffer"));
    AddShader(ShaderDeclaration("sun", "sun"));
    AddShader(ShaderDeclaration("bulb", "bulb"));
    AddShader(ShaderDeclaration("compose", "compose"));
    AddObject(ResourceDeclaration("hall", "hall.vbo"));
    // The same scene for the deferred path, with the G-buffer shader on its objects.
    AddObject(ResourceDeclaration("lit_hall", "lit_hall.vbo"));
    AddTexture(TextureDeclaration("backdrop", "backdrop.png", GL_TEXTURE_2D, true));
    // The same file again: loaded once, and this alias is never registered.
    AddTexture(TextureDeclaration("backdrop_again", "backdrop.png", GL_TEXTURE_2D, false));
    AddBinary(ResourceDeclaration("palette", "palette.bin"));
    AddMiscFile(ResourceDeclaration("notes", "notes.txt"));
    AddVideo(ResourceDeclaration("clip", "clip.ivf"));
    AddFBO("scene_fbo", new FBO(128, 128, true, false, GL_RGBA8));
    // The deferred renderer's G-buffer (colour, normals, a depth texture) and light
    // buffer, and the lit image.
    FBO* gbuffer = new FBO(128, 128, true, false, GL_RGBA8);
    gbuffer->addColorAttachment(GL_RGBA8, GL_RGBA);
    for (Texture* t : {FBO::getColorTexture(gbuffer, 0), FBO::getColorTexture(gbuffer, 1), FBO::getDepthTexture(gbuffer)})
        t->setFilter(GL_NEAREST);
    AddFBO("gbuffer", gbuffer);
    AddFBO("light_buffer", new FBO(128, 128, false, false, GL_RGBA8));
    AddFBO("lit_fbo", new FBO(128, 128, false, false, GL_RGBA8));
}

void TestProductionDefinition::declareEffects()
{
    AddEffect("BackdropEffect", new BackdropEffect());
    AddEffect("SpinEffect", new SpinEffect());
    AddEffect("PanelEffect", new PanelEffect());
    AddEffect("LitEffect", new LitEffect());
}

void TestProductionDefinition::createEffectInstances()
{
    CreateEffectInstance("BackdropEffect", "backdrop", true);
    CreateEffectInstance("SpinEffect", "spin", true);
    CreateEffectInstance("LitEffect", "lit", true);
    CreateEffectInstance("PanelEffect", "panel", true);
    // Initialised with the others, but never on the timeline.
    CreateEffectInstance("SpinEffect", "spin_idle", false);
}
