#pragma once

#include "Effect.h"
#include "OverlayTiles.h"
#include "ShaderVariants.h"
#include "StepAccumulator.h"
#include "TrackInterpolate.h"

#include <glm/glm.hpp>

#include <memory>
#include <vector>

class Shader;
class Texture;
class TrackInterpolate;

// What the resource definition wires in; every pointer must be set before init.
struct PostProcessResources {
    Texture* overlays[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
    Texture* colorNoise = nullptr;
    Texture* distortNoise = nullptr;
    Shader* postProcessShader = nullptr;
    Shader* textureShader = nullptr;
    FBO* staging = nullptr;
    // A filtered copy of one image ("source"): builds the fine grain.
    Shader* copyShader = nullptr;
    // The copy that pulls a handed-over soft picture apart ("source", "shift"), and its
    // target: the picture's width, the soft picture's height (blury's).
    Shader* splitShader = nullptr;
    FBO* softSplit = nullptr;
};

// The final grading pass: reads staging0 and draws it into the target with chromatic
// aberration, brightness and contrast, negative, fade to a colour, film noise, a
// vignette and a scrolling distortion, then one of five overlays blended on top where
// it shows.
class PostProcessEffect : public WiredEffectOf<PostProcessEffect, PostProcessResources> {
public:
    void setup() override;
    void init() override;
    void draw(uint32_t timeMs, int32_t deltaMs, FBO* target) override;
    // The grade writes every pixel, without blending, whenever its program is built.
    bool coversTarget() const override;
    void update(uint32_t timeMs) override;
    // Within the frame's overlay's opaque bars (OverlayTiles::shownThrough), with a
    // margin for the passes before the grade that read around a pixel.
    ScreenArea shownArea() const override;

    // The glow and the radial blur end with a screen blend of a soft picture over a
    // sharp one into the picture the grade reads. Drawn right after them, the grade can
    // take the two pictures instead and blend them as it reads (the program's SCREEN
    // variant), which saves the full-screen pass between: takesScreenBlend says whether
    // it reads target and can take a sharp picture of that size, screenBlendOver hands
    // them over for this frame's draw (screen draws the blend should the variant be
    // missing). Where the grade reads its picture aligned (texel for texel, the usual
    // case), the soft picture is first pulled apart as the aberration pulls the sharp
    // one (splitShader into softSplit: the picture's width, the soft picture's height),
    // so the grade reads it once a pixel instead of once a channel, at the texels'
    // centres across and so with the same result.
    bool takesScreenBlend(const FBO* target, const Texture* sharp) const;
    void screenBlendOver(Shader* screen, Texture* soft, Texture* sharp);
    // The soft picture pulled apart by split texels of the grade's picture into
    // softSplit; false, and nothing drawn, without a split program or where softSplit is
    // not as wide as the picture and as tall as the soft one.
    bool splitSoft(Texture* soft, float split);

    // The grade's colour controls are all affine in the picture's colour, so they fold
    // into c x gain + offset before the grain, which adds grain x noiseStrength to it:
    // contrast and brightness ((c - 0.5)(1 + contrast) + 0.5 + brightness), then the
    // negative (mix with 1 - c) and the fade to fadeColour (both by amounts clamped to
    // 0..1), then the grain ((grain - 0.5) x noiseStrength). The program pays one
    // multiply-add a channel instead of the chain.
    struct GradeAffine {
        float gain;
        glm::vec3 offset;
    };
    static GradeAffine gradeAffine(float contrast, float brightness, float negative, float fade,
                                   const glm::vec3& fadeColour, float noiseStrength);

    float getNoiseOffset() const { return noiseOffset; }
    float getDistortScroll() const { return distortScroll; }

    // The texture the grain is read from: the noise itself, or the fine grain (below).
    Texture* getGrainTexture() const { return grain; }

private:
    // The overlay of the frame, blended over the target's cells that it covers.
    void drawOverlay(uint32_t timeMs);
    // The overlay at t: an index into overlayList, 0 for none.
    size_t overlayAt(uint32_t timeMs) const;
    // Where the grade magnifies the noise (a picture wider than 3.2 noise texels a pixel,
    // or taller than 1.8), its filtered read costs four texels a pixel. The fine grain is
    // the noise magnified once, filtered, into a texture a power of two larger that the
    // picture does not magnify, read unfiltered: the texel under the pixel, within half a
    // fine texel of where the filtered read would fall, for one texel a pixel.
    void buildGrain(int pictureWidth, int pictureHeight);

    // The grade without the distortion's read where it is off, and with fetches where
    // every read falls on a texel's centre.
    static constexpr unsigned int distortFeature = 1u, alignedFeature = 2u, screenFeature = 4u;
    ShaderVariants variants;
    // Entry 0 is "no overlay"; each picture with the cells of it that show.
    std::vector<Texture*> overlayList;
    std::vector<std::unique_ptr<OverlayTiles>> overlayTiles;
    // What this frame's overlay shows beneath it (update()).
    ScreenArea shown;
    std::unique_ptr<FBO> fineGrain;
    Texture* grain = nullptr;
    // This frame's screen blend, when one was handed over; draw, which always follows
    // the hand-over in the same frame, uses and forgets it.
    struct {
        Shader* screen = nullptr;
        Texture* soft = nullptr;
        Texture* sharp = nullptr;
    } blend;
    float noiseOffset = 0.0f;
    float distortScroll = 0.0f;
    // The distortion scrolls a thousandth per ms while its curve is above 0, stepped at
    // the frames of a 60 fps run.
    StepAccumulator<double> distortTravel{60, 0.0, [this](double& travelled, double stepTimeMs) {
                                              if (distort->getValue(uint32_t(stepTimeMs)) > 0.0f)
                                                  travelled += 0.001 * (1000.0 / 60.0);
                                          }};

    TrackInterpolate* aberration = nullptr;
    TrackInterpolate* brightness = nullptr;
    TrackInterpolate* contrast = nullptr;
    TrackInterpolate* negative = nullptr;
    TrackInterpolate* fade = nullptr;
    TrackInterpolate* fadeR = nullptr;
    TrackInterpolate* fadeG = nullptr;
    TrackInterpolate* fadeB = nullptr;
    TrackInterpolate* noiseStrength = nullptr;
    TrackInterpolate* vignettRadius = nullptr;
    TrackInterpolate* distort = nullptr;
    TrackInterpolate* framePosX = nullptr;
    TrackInterpolate* framePosY = nullptr;
    TrackInterpolate* frameWidth = nullptr;
    TrackInterpolate* frameHeight = nullptr;
    TrackInterpolate* overlay = nullptr;
};
