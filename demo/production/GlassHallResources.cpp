#include "GlassHallResources.h"

#include "CameraLensEffect.h"
#include "DeferredRenderer.h"
#include "FBO.h"
#include "GlowEffect.h"
#include "ORVDemosys.h"
#include "PostProcessEffect.h"
#include "RadialBlurEffect.h"
#include "Scene1Effect.h"
#include "Scene2Effect.h"
#include "Scene3Effect.h"
#include "Scene4Effect.h"
#include "Scene5Effect.h"
#include "Scene6Effect.h"
#include "ScreenMetrics.h"
#include "Texture.h"
#include "TimeCode.h"
#include "TitleEffect.h"
#include "WarpspeedEffect.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

namespace {

// The production's pictures and GLSL programs, loaded in this order.
struct Picture {
    const char* alias;
    const char* file;
    bool mipmapped;
};
const Picture pictures[] = {
    {"color_noise", "Noise.png", false},
    {"overlay0", "OverlayWide.png", false},
    {"overlay1", "OverlayTall.png", false},
    {"overlay2", "OverlayWhiteLeftBorder.png", false},
    {"overlay3", "OverlayRedSideBorders.png", false},
    {"overlay4", "OverlayWhiteBottomBorder.png", false},
    {"glasshall1", "GlassHallFrame1.png", true},
    {"glasshall2", "GlassHallFrame2.png", true},
    {"glasshall3", "GlassHallFrame3.png", true},
    {"glasshall4", "GlassHallFrame4.png", true},
    {"glasshall5", "GlassHallFrame5.png", true},
    {"orvlogo", "OrvaneLogo.png", true},
    {"vesk", "Vesk.png", true},
    {"quil", "Quil.png", true},
    {"ozzo", "Ozzo.png", true},
    {"pramble", "Pramble.png", true},
    {"surrent", "Surrent.png", true},
    {"light_sprite", "LightSprite.png", false},
    {"Concrete2048NormalMap.png", "Concrete2048NormalMap.png", true},
    {"asphaltNormalMap.png", "asphaltNormalMap.png", true},
    {"FloorTileNormals.png", "FloorTileNormals.png", true},
    {"dotlight", "dot.png", false},
    {"distort_noise", "DistortNoise.png", false},
    {"warpspeed_texture", "WarpspeedTexture.png", true},
    {"warpspeed_texture2", "WarpspeedTexture2.png", true},
    {"smooth_noise", "SmoothNoise.png", true},
    {"greet_zav", "ZAV.png", true},
    {"greet_zeb", "ZEB.png", true},
    {"greet_zik", "ZIK.png", true},
    {"greet_zol", "ZOL.png", true},
    {"greet_zum", "ZUM.png", true},
    {"greet_zyr", "ZYR.png", true},
};
struct Program {
    const char* alias;
    const char* file;
    const char* define;
    const char* define2 = nullptr;
};
const Program programs[] = {
    {"texture", "texture", nullptr},
    {"lightsprite", "lightsprite", nullptr},
    {"titleshader", "titleshader", nullptr},
    {"titlelogoshader", "titlelogoshader", nullptr},
    {"b_n_c_shader", "BrightnessContrast", nullptr},
    {"blur_x", "Gaussian_x", nullptr},
    {"blur_y", "Gaussian_y", nullptr},
    {"copy", "Copy", nullptr},
    {"soft_split", "Copy", "SPLIT"},
    {"screen", "Screen", nullptr},
    {"post_process_shader", "PostProcess", nullptr},
    {"radialblur", "radialblur", nullptr},
    {"color_shader", "Color", nullptr},
    {"composite", "deferred_composite", nullptr},
    {"composite_fog", "deferred_composite", "FOG"},
    {"dummy", "deferred_dummy", nullptr},
    {"geometry_color", "deferred_geometry", "COLOR"},
    {"geometry_texture", "deferred_geometry", "TEXTURE"},
    {"geometry_normalmap", "deferred_geometry", "NORMALMAP"},
    // Scene 6's geometry lights itself with the lamp as it is drawn (Scene6Effect).
    {"geometry_color_lamp", "deferred_geometry", "COLOR", "FORWARD_LAMP"},
    {"geometry_texture_lamp", "deferred_geometry", "TEXTURE", "FORWARD_LAMP"},
    {"geometry_normalmap_lamp", "deferred_geometry", "NORMALMAP", "FORWARD_LAMP"},
    {"deferred_pointlight", "deferred_light", "POINT_LIGHT"},
    {"deferred_conelight", "deferred_light", "CONE_LIGHT"},
    {"deferred_directonallight", "deferred_light", "DIRECTIONAL_LIGHT"},
    {"deferred_pointcube", "deferred_light_cube", nullptr},
    {"geometry_scene2floor", "geometry_scene2floor", nullptr},
    {"warpspeed_shader", "Warpspeed", nullptr},
    {"reflect_mask", "scene2_reflectmask", nullptr},
    {"geometry_texture_scroll", "geometry_texture_scroll", nullptr},
    {"deferred_light_spot_texture", "deferred_light_spot_texture", nullptr},
    {"refract", "refract", nullptr},
    {"volumeter1", "geometry_volumeter1", nullptr},
    {"volumeter2", "geometry_volumeter2", nullptr},
};
} // namespace

void GlassHallResources::configure(ScreenMetrics* metrics)
{
    // The dialog's size and window mode stay as chosen.
    metrics->getProjection().setClipPlanes(1.0f, 200.0f);
    ORVDemosys::startTime = TimeCode("00:00:00");
    ORVDemosys::endTime = TimeCode("03:51:00");
}

void GlassHallResources::declareResources()
{
    SetMusic("orvane-glass_hall.mp3");

    AddObject(ResourceDeclaration("scene1", "Scene1.vbo"));
    AddObject(ResourceDeclaration("scene2", "Scene2Alternativ.vbo"));
    AddObject(ResourceDeclaration("scene4", "Scene4.vbo"));
    AddObject(ResourceDeclaration("scene5", "Scene5+.vbo"));
    AddObject(ResourceDeclaration("scene6", "Scene6.vbo"));

    for (const Picture& p : pictures) {
        const int target = std::string(p.alias) == "distort_noise" ? GL_TEXTURE_1D : GL_TEXTURE_2D;
        AddTexture(TextureDeclaration(p.alias, p.file, target, p.mipmapped));
    }

    for (const Program& p : programs) {
        std::vector<std::string> defines;
        for (const char* define : {p.define, p.define2})
            if (define)
                defines.push_back(define);
        AddShader(ShaderDeclaration(p.alias, p.file, defines));
    }

    const ScreenMetrics* screen = ORVDemosys::screenMetrics;
    declareFramebuffers(screen ? screen->getWidth() : 0, screen ? screen->getHeight() : 0,
                        screen ? screen->getQuality() : 2);
}

float GlassHallResources::renderScale(int quality)
{
    // Low and Medium draw the scenes and the image effects at a half and three quarters
    // of the screen's size (a quarter and about half the pixels), and the grade scales
    // the picture up to the screen; High and Ultra draw at the screen's size.
    static const float scales[4] = {0.5f, 0.75f, 1.0f, 1.0f};
    return quality >= 0 && quality <= 3 ? scales[quality] : 1.0f;
}

bool GlassHallResources::qualitySize(const std::string& alias, int quality, int screenWidth, int screenHeight,
                                     int& width, int& height)
{
    if (quality < 0 || quality > 3)
        return false;
    const float scale = renderScale(quality);
    auto scaled = [scale](int side) { return std::max(1, int(std::lround(float(side) * scale))); };
    if (alias == "offscreen0" || alias == "offscreen1" || alias == "staging0" || alias == "staging1" ||
        alias == "glow_pre") {
        width = scaled(screenWidth);
        height = scaled(screenHeight);
        return true;
    }
    // The blurs' results are soft, and each pass costs its buffer's size: the picture is
    // first shrunk into blurx at half its size (a filtered read at each of its texels'
    // centres is the exact mean of 2 x 2 pixels, so nothing thin falls between the
    // reads), and blurred smaller still: the glow's first pass into glow_x, its second
    // into blury, the radial blur's streaks into blury. Their kernels scale with the
    // picture (the glow's is 8 texels of a 512-wide picture), so the blur needs about
    // blurWidth texels across whatever the screen: a quarter of the picture, but not below
    // blurWidth nor above half. At 1280 x 720 that took the glow 14 -> 9 ms and the
    // radial blur 17 -> 9 against half size, with frames 40-53 dB from those and alike
    // to the eye; small pictures blur at half size as before. Ultra blurs at full size.
    if (alias == "blurx" || alias == "blury" || alias == "glow_x" || alias == "soft_split") {
        const int w = scaled(screenWidth), h = scaled(screenHeight);
        if (quality == 3) {
            width = w;
            height = h;
        } else if (alias == "blurx") {
            width = std::max(1, w / 2);
            height = std::max(1, h / 2);
        } else {
            width = std::max(1, std::min(w / 2, std::max(blurWidth, w / 4)));
            height = width == w / 2   ? h / 2
                     : width == w / 4 ? h / 4
                                      : int(std::lround(float(h) * float(width) / float(w)));
            height = std::max(1, height);
        }
        // The grade's soft picture pulled apart: as wide as the picture, so that the
        // grade reads it at its texels' centres across, and as tall as blury.
        if (alias == "soft_split")
            width = w;
        return true;
    }
    return false;
}

void GlassHallResources::declareFramebuffers(int width, int height, int quality)
{
    const float scale = renderScale(quality);
    const unsigned int w = static_cast<unsigned int>(std::max(1, int(std::lround(float(width) * scale))));
    const unsigned int h = static_cast<unsigned int>(std::max(1, int(std::lround(float(height) * scale))));
    FBO* gbuffer = new FBO(w, h);
    gbuffer->addColorAttachment(GL_RGBA8, GL_RGBA);
    gbuffer->addColorAttachment(GL_RGBA8, GL_RGBA);
    // A float depth: the light and fog passes read it back, and llvmpipe reads a 32-bit
    // float far faster than it unpacks 24-bit depth (scene 2's fogged composite 6.4 -> 5.2
    // ms at 1280 x 720); the same four bytes a pixel, and a finer depth.
    gbuffer->addDepthAttachment(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT);
    AddFBO("gbuffer", gbuffer);
    // The light buffers test against the G-buffer's own depth, not a copy of it.
    FBO* lightBuffer = nullptr;
    for (const char* name : {"lightBuffer", "lightBuffer2"}) {
        FBO* light = new FBO(w, h);
        light->addColorAttachment(GL_RGBA, GL_RGBA);
        light->attachDepthTexture(FBO::getDepthTexture(gbuffer));
        AddFBO(name, light);
        if (!lightBuffer)
            lightBuffer = light;
    }
    // The G-buffer's third attachment is the light buffer: the geometry pass writes each
    // surface's ambient light and glow there, the lights add theirs, and the scene's
    // picture is finished without a composite pass reading the G-buffer again.
    gbuffer->addColorTexture(FBO::getColorTexture(lightBuffer, 0));
    // Each frame's clear waits for the buffer's next bind and goes with the drawing
    // there instead of a pass of its own at the frame's end (on llvmpipe the tiles are
    // then cleared while in cache); a read before that bind is cleared first.
    // Every framebuffer here holds a picture of the whole screen: drawing into it is
    // clipped to what the frame shows (PostProcessEffect::shownArea).
    for (const char* name : {"gbuffer", "lightBuffer", "lightBuffer2"}) {
        GetFBO(name)->setClearOnBind(true);
        GetFBO(name)->setFollowsScreen(true);
    }

    static const struct {
        const char* alias;
        bool depth;
    } targets[] = {{"offscreen0", true}, {"offscreen1", true}, {"staging0", true}, {"staging1", true},
                   {"glow_pre", false}, {"blurx", false},    {"blury", false},   {"glow_x", false},
                   {"soft_split", false}};
    for (const auto& target : targets) {
        int fw = 0, fh = 0;
        if (!qualitySize(target.alias, quality, width, height, fw, fh))
            continue;
        FBO* fbo = new FBO(static_cast<unsigned int>(fw), static_cast<unsigned int>(fh), false, false, GL_RGBA);
        // The G-buffer's depth format: scene 5 copies the G-buffer's depth into its
        // target, and a depth copy between two formats is refused.
        if (target.depth)
            fbo->addDepthAttachment(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT);
        AddFBO(target.alias, fbo);
        fbo->setClearOnBind(true);
        fbo->setFollowsScreen(true);
    }
}

void GlassHallResources::declareEffects()
{
    AddEffect("CameraLensEffect", new CameraLensEffect());
    AddEffect("PostProcessEffect", new PostProcessEffect());
    AddEffect("GlowEffect", new GlowEffect());
    AddEffect("RadialBlurEffect", new RadialBlurEffect());
    AddEffect("Scene1Effect", new Scene1Effect());
    AddEffect("Scene2Effect", new Scene2Effect());
    AddEffect("Scene3Effect", new Scene3Effect());
    AddEffect("Scene4Effect", new Scene4Effect());
    AddEffect("Scene5Effect", new Scene5Effect());
    AddEffect("Scene6Effect", new Scene6Effect());
    AddEffect("TitleEffect", new TitleEffect());
    AddEffect("WarpspeedEffect", new WarpspeedEffect());
}

namespace {

// Each scene effect draws through a renderer of its own over the shared G-buffer and
// light buffer.
DeferredRenderer* newRenderer(const char* lightBuffer = "lightBuffer")
{
    return new DeferredRenderer(ResourceDefinition::GetFBO("gbuffer"), nullptr, ResourceDefinition::GetFBO(lightBuffer),
                                nullptr, ResourceDefinition::GetShader("dummy"));
}

// Makes the instance alias of className and hands it its resources.
template <class E>
void wire(const char* className, const char* alias, const typename E::Resources& resources)
{
    static_cast<E*>(ResourceDefinition::CreateEffectInstance(className, alias, true))->setResources(resources);
}

} // namespace

void GlassHallResources::createSceneEffects()
{
    wire<Scene1Effect>("Scene1Effect", "scene_1_effect",
                       {{newRenderer(), GetScene("scene1")}, GetTexture("light_sprite"), GetShader("lightsprite")});
    // Scene 2's lights go into lightBuffer2, a buffer of their own: its mirror images read
    // them alone and add to the ambient light in lightBuffer.
    wire<Scene2Effect>("Scene2Effect", "scene_2_effect",
                       {{newRenderer("lightBuffer2"), GetScene("scene2")}, GetShader("reflect_mask"),
                        GetShader("composite_fog"), GetFBO("lightBuffer")});
    wire<Scene4Effect>("Scene4Effect", "scene_4_effect",
                       {{newRenderer(), GetScene("scene4")}, GetShader("deferred_light_spot_texture")});
    wire<Scene5Effect>("Scene5Effect", "scene_5_effect",
                       {{newRenderer(), GetScene("scene5")}, GetShader("color_shader"), GetShader("refract"),
                        GetShader("composite"), GetTexture("dotlight"), GetTexture("light_sprite"),
                        GetTexture("smooth_noise")});
    wire<Scene6Effect>("Scene6Effect", "scene_6_effect",
                       {{newRenderer(), GetScene("scene6")}, GetShader("color_shader"), GetShader("composite")});
}

void GlassHallResources::filterPictures(int quality)
{
    // Filtering between two mip levels makes llvmpipe filter twice for every read; one
    // level (the nearer) takes about 30 % off the normal-mapped geometry and leaves frames
    // over 40 dB from trilinear ones. Ultra keeps trilinear filtering.
    const GLint minFilter = quality >= 3 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST;
    for (const Picture& p : pictures)
        if (p.mipmapped)
            GetTexture(p.alias)->setFilter(minFilter, GL_LINEAR);
}

void GlassHallResources::createEffectInstances()
{
    const ScreenMetrics* screen = ORVDemosys::screenMetrics;
    filterPictures(screen ? screen->getQuality() : 2);
    CreateEffectInstance("CameraLensEffect", "cameralens_effect", true);
    wire<PostProcessEffect>("PostProcessEffect", "postprocess_effect",
                            {{GetTexture("overlay0"), GetTexture("overlay1"), GetTexture("overlay2"),
                              GetTexture("overlay3"), GetTexture("overlay4")},
                             GetTexture("color_noise"),
                             GetTexture("distort_noise"),
                             GetShader("post_process_shader"),
                             GetShader("texture"),
                             GetFBO("staging0"),
                             GetShader("copy"),
                             GetShader("soft_split"),
                             GetFBO("soft_split")});
    wire<GlowEffect>("GlowEffect", "glow_effect",
                     {GetFBO("blurx"), GetFBO("blury"), GetFBO("glow_pre"), GetShader("blur_x"), GetShader("blur_y"),
                      GetShader("screen"), GetShader("b_n_c_shader"), GetFBO("glow_x"), GetShader("copy")});
    wire<RadialBlurEffect>("RadialBlurEffect", "radial_blur_effect",
                           {GetFBO("staging1"), GetFBO("offscreen0"), GetFBO("blurx"), GetFBO("blury"),
                            GetShader("radialblur"), GetShader("screen"), GetShader("copy")});

    createSceneEffects();

    wire<TitleEffect>("TitleEffect", "title_effect",
                      {GetShader("titleshader"),
                       GetShader("titlelogoshader"),
                       {GetTexture("glasshall1"), GetTexture("glasshall2"), GetTexture("glasshall3"),
                        GetTexture("glasshall4"), GetTexture("glasshall5")},
                       GetTexture("orvlogo"),
                       {GetTexture("vesk"), GetTexture("quil"), GetTexture("ozzo"), GetTexture("pramble"),
                        GetTexture("surrent")},
                       GetFBO("staging0")});
    wire<WarpspeedEffect>("WarpspeedEffect", "warpspeed_effect",
                          {GetShader("warpspeed_shader"), GetTexture("warpspeed_texture"),
                           GetTexture("warpspeed_texture2")});
}
