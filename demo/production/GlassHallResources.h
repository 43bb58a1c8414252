#pragma once

#include "ResourceDefinition.h"

#include <string>

class ScreenMetrics;

// Everything Glass Hall needs, in one place: the music, the five scenes, the textures,
// the shaders with their defines, the framebuffers sized by the quality chosen in the
// setup dialog, the twelve effect classes and the eleven effect instances wired to
// their resources. It keeps the dialog's resolution and window mode, and runs the demo
// from 00:00:00 to 03:51:00 with the clip planes at 1 and 200.
class GlassHallResources : public ResourceDefinition {
public:
    void configure(ScreenMetrics* metrics) override;
    void declareResources() override;
    void declareEffects() override;
    void createEffectInstances() override;

    // The fraction of the screen's width and height at which a quality (0 Low .. 3
    // Ultra) draws the scenes and image effects: the G-buffer, the light buffers and the
    // staging, offscreen and glow buffers.
    static float renderScale(int quality);
    // The size of a quality-dependent framebuffer for a screen of that size; false for
    // an alias that is not one, or a quality outside 0..3 (the framebuffer is then not made).
    static bool qualitySize(const std::string& alias, int quality, int screenWidth, int screenHeight, int& width,
                            int& height);
    // The width the blurs need whatever the screen's (the blur buffers' sizes).
    static constexpr int blurWidth = 320;

    // Sets the mipmapped pictures' filter for the quality (done with the effects):
    // trilinear at Ultra, else the nearest mip level filtered.
    static void filterPictures(int quality);

private:
    void declareFramebuffers(int width, int height, int quality);
    // The five scene effects, each with its own deferred renderer.
    void createSceneEffects();
};
