// What every geometry program writes into the G-buffer: colour attachment 0 holds the
// surface colour with the material index (0..255) in alpha, attachment 1 (8 bits a
// channel) the view-space normal as n * 0.5 + 0.5 with alpha 1 where there is geometry.
// Eight bits are enough for a normal that the light programs normalise again, and an
// 8-bit target costs llvmpipe far less to write and read than a float one. Cleared pixels
// read as alpha 0 in both, which the light programs take for "no geometry".
// Attachment 2 is the light buffer: the surface's colour under the ambient light plus its
// glow, colour x (ambient x B + A), where "MaterialLight" holds the material's parameters
// A (glow) and B (how much light it takes) as the material table stores them. The lights
// add theirs on top, so the light buffer ends as the finished picture and no composite
// pass has to read the G-buffer again.
#include deferred_ambient.glsl
uniform vec2 MaterialLight;
layout(location = 0) out vec4 gbufferColor;
layout(location = 1) out vec4 gbufferNormal;
layout(location = 2) out vec4 gbufferLit;

void writeGBuffer(vec3 colour, float materialIndex, vec3 viewNormal)
{
    vec3 c = clamp(colour, 0.0, 1.0);
    gbufferColor = vec4(c, clamp(materialIndex, 0.0, 255.0) / 255.0);
    // A degenerate normal would light as NaN; it falls back to facing the viewer.
    float len = length(viewNormal);
    gbufferNormal = vec4((len > 1e-6 ? viewNormal / len : vec3(0.0, 0.0, 1.0)) * 0.5 + 0.5, 1.0);
    gbufferLit = vec4(c * (ambientLight * MaterialLight.y + MaterialLight.x), 1.0);
}
