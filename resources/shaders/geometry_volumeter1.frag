#version 150
#extension GL_ARB_explicit_attrib_location : require
#include deferred_gbuffer.glsl
// Floor and roof volume meters: "repeat" cells across (u: frequency band) and along
// (v: level) the surface, each shaped by "maskTexture"; a cell lights while the band's
// level in "frequency" (one texel per band, red) reaches its row. Cells low in the
// column glow green, the top ones red; the rest is "background_color", dimmed.
uniform vec4 background_color;
uniform vec2 repeat;
uniform sampler2D maskTexture;
uniform sampler2D frequency;
uniform float MaterialIndex;
in vec3 normal;
in vec2 uv;

void main()
{
    vec2 cells = max(repeat, vec2(1.0));
    vec2 cell = floor(uv * cells);
    float band = (mod(cell.x, cells.x) + 0.5) / cells.x;
    float row = mod(cell.y, cells.y) / cells.y;
    float level = texture(frequency, vec2(band, 0.5)).r;
    float lit = step(row, level - 0.5 / cells.y);
    float mask = texture(maskTexture, uv * cells).a * texture(maskTexture, uv * cells).r;
    vec3 ramp = mix(vec3(0.1, 1.0, 0.25), vec3(1.0, 0.15, 0.05), smoothstep(0.35, 0.95, row));
    vec3 dark = background_color.rgb * background_color.a * 0.18;
    vec3 colour = mix(dark, mix(dark * 2.0, ramp, lit), mask);
    writeGBuffer(colour, MaterialIndex, normal);
}
