#pragma once

class Effect;
class FBO;
class Shader;
class Texture;

// The two steps every full-screen pass of Glass Hall's effects takes: make a target
// current (null: the screen) and mark it used this frame, so the FBO pool clears it
// before the next frame; and draw the engine's shared full-screen quad ("in_Position",
// "in_UV0") with a shader whose uniforms the caller sets after bind.
class GlassHallPass {
public:
    static void bindTarget(FBO* target);
    // Binds the shader with the quad's vertex layout; set uniforms, then drawQuad.
    static void bindQuad(Shader* shader);
    static void drawQuad();
    // Draws source's first colour attachment, filtered, over the whole of target with
    // copy (a program reading "source" at the quad's uv): at half the size each pixel is
    // the mean of the 2 x 2 texels under it. On llvmpipe a scaled glBlitFramebuffer
    // costs two to three times this pass (the glow's shrink at 1280 x 720: 3 ms against
    // 1.3). A source that does not filter linearly is blitted, as before.
    static void shrink(Shader* copy, FBO* source, FBO* target);
    // A screen blend, 1 - (1 - soft)(1 - sharp), into target with screen ("source0" the
    // soft picture, filtered; "source1" the sharp one), as the glow and the radial blur
    // end. When the grade is the effect drawn right after from and reads target, it is
    // handed the two pictures and blends them as it reads, and this pass is saved.
    static void screenBlend(const Effect* from, Shader* screen, Texture* soft, Texture* sharp, FBO* target);
    static void drawScreenBlend(Shader* screen, Texture* soft, Texture* sharp, FBO* target);
};
