#version 150
#extension GL_ARB_explicit_attrib_location : require
#include deferred_gbuffer.glsl
// Wall volume meters: "freqTexture" holds the recent spectra, one row per frame (v: age,
// u: band, red: level), stretched over the wall by "scale" and tinted with
// "foreground_color", so the music runs along the walls as a glowing waterfall.
uniform sampler2D freqTexture;
uniform vec4 foreground_color;
uniform vec2 scale;
uniform float MaterialIndex;
in vec3 normal;
in vec2 uv;

void main()
{
    vec2 at = uv * scale;
    float level = texture(freqTexture, at).r;
    // Thin dark lines between the bands keep the wall readable as a meter.
    float lines = smoothstep(0.0, 0.12, abs(fract(at.x * 32.0) - 0.5) * 2.0);
    vec3 colour = foreground_color.rgb * (0.07 + foreground_color.a * level) * mix(0.45, 1.0, lines);
    writeGBuffer(colour, MaterialIndex, normal);
}
