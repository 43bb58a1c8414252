#pragma once

class FBO;
class Shader;

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
};
