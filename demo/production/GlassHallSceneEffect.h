#pragma once

// Wiring (GlassHallResources): the scene effects derive from this class; each takes its
// own DeferredRenderer (built on gbuffer / lightBuffer with the dummy shader) and its
// scene through its Resources struct and setResources(). The effect owns the renderer
// from then on and deletes it with itself (with the GL context still current, as the
// pools are deleted before the window closes).

#include "Effect.h"
#include "ORVCamera.h"

#include <memory>
#include <vector>

// With those of Effect.h, what the scenes look up and keep.
class CameraLensEffect;
class DeferredRenderer;
class ORVLight;
class ORVMaterial;
class ORVObject;
class VAO;

// What the five 3D scenes of Glass Hall share: the shared camera of
// "cameralens_effect", the music's 64-band spectrum, and the deferred frame: geometry
// into the G-buffer (with each surface's ambient light and glow into its third
// attachment, the light buffer "lightBuffer"), the lights into the renderer's light
// buffer, then the light buffer, by then the finished picture, into a target. (Scene 2
// gives its renderer a light buffer of its own and composites the two.)
class GlassHallSceneEffect : public Effect {
public:
    static constexpr int spectrumBands = 64;
    // What builds up over time (a turn, a decaying level) is stepped at the frames of a
    // 60 fps run, so the demo looks at any frame rate as it does at 60.
    static constexpr int buildUpStepsPerSecond = 60;

    GlassHallSceneEffect();
    ~GlassHallSceneEffect() override;

    DeferredRenderer* getRenderer() const { return renderer.get(); }
    ORVScene* getScene() const { return scene; }
    // The camera the last frame was drawn with (the shared camera with this scene's own
    // changes applied).
    ORVCamera* getFrameCamera() { return &frameCamera; }
    const std::vector<float>& getSpectrum() const { return spectrum; }

protected:
    // Takes the renderer over.
    void adopt(DeferredRenderer* sceneRenderer, ORVScene* sceneToDraw);
    // Looks up the camera effect; the scene and renderer must be wired.
    void initScene();
    // The shared camera as placed for this frame, copied: a scene turns its copy, so an
    // inactive camera effect never sees its view compound from frame to frame. Without
    // the camera effect on the timeline this frame, a camera at rest.
    ORVCamera* beginFrame();
    // The music's spectrum (mean of both channels) at timeMs into spectrum; silence
    // without a timer.
    void readSpectrum(uint32_t timeMs);
    // Mean of bands first..last (clamped to the spectrum).
    float bandLevel(int first, int last) const;
    // The same of any spectrum of spectrumBands values.
    static float bandMean(const float* values, int first, int last);
    // How loud band i sounds, 0..1: the magnitude lifted towards the highs (music has far
    // less energy there) on a logarithmic scale, 0 at silence.
    float loudness(int band) const;
    // The deferred passes for the frame camera: the G-buffer and the light buffer are
    // cleared first (another scene may have drawn into them this frame), the material
    // table is uploaded, then the geometry (drawOwnGeometry's, then the scene's) and the
    // light pass run. Leaves depth testing on.
    void renderScene();
    // Geometry the effect draws itself into the bound G-buffer, before the scene's: what
    // an effect adds stands inside the scene (scene 2's rings over its floor), so drawn
    // first it hides what lies behind it from the depth test before that is shaded.
    virtual void drawOwnGeometry() {}
    // The light buffer into target, dimmed by fade: a copy where fade is 1 and target has
    // the light buffer's size, else a full-screen pass of shader ("lightMap" 0, "fade").
    // Depth testing and blending are off after.
    void composite(Shader* shader, FBO* target, float fade);
    // Draws one mesh with a shader whose uniforms the caller has set.
    static void drawMesh(VAO* mesh, Shader* shader);

    std::unique_ptr<DeferredRenderer> renderer;
    ORVScene* scene = nullptr;
    CameraLensEffect* lens = nullptr;
    ORVCamera frameCamera;
    ORVCamera restCamera;
    std::vector<float> spectrum;
};

// What every scene's resources start with.
struct GlassHallSceneResources {
    DeferredRenderer* renderer = nullptr; // taken over
    ORVScene* scene = nullptr;
};

// A scene effect's class boilerplate, once: create(), and setResources(), which keeps
// the resources (SceneResources derives from GlassHallSceneResources) and takes the
// renderer over, so res.renderer is null after.
template <class Derived, class SceneResources>
class GlassHallScene : public EffectOf<Derived, GlassHallSceneEffect> {
public:
    using Resources = SceneResources;
    void setResources(const Resources& r)
    {
        res = r;
        res.renderer = nullptr;
        this->adopt(r.renderer, r.scene);
    }

protected:
    Resources res;
};
