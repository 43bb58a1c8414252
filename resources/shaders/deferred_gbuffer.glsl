// What every geometry program writes into the G-buffer: colour attachment 0 holds the
// surface colour with the material index (0..255) in alpha, attachment 1 (8 bits a
// channel) the view-space normal as n * 0.5 + 0.5 with alpha 1 where there is geometry.
// Eight bits are enough for a normal that the light programs normalise again, and an
// 8-bit target costs llvmpipe far less to write and read than a float one. Cleared pixels
// read as alpha 0 in both, which the light and combine programs take for "no geometry".
layout(location = 0) out vec4 gbufferColor;
layout(location = 1) out vec4 gbufferNormal;

void writeGBuffer(vec3 colour, float materialIndex, vec3 viewNormal)
{
    gbufferColor = vec4(clamp(colour, 0.0, 1.0), clamp(materialIndex, 0.0, 255.0) / 255.0);
    // A degenerate normal would light as NaN; it falls back to facing the viewer.
    float len = length(viewNormal);
    gbufferNormal = vec4((len > 1e-6 ? viewNormal / len : vec3(0.0, 0.0, 1.0)) * 0.5 + 0.5, 1.0);
}
