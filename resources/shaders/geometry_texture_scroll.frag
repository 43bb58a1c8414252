#version 150
#extension GL_ARB_explicit_attrib_location : require
#include deferred_gbuffer.glsl
// The blenders: their texture sliding by "UVScroll", which the effect turns with the
// blenders' own lights.
uniform sampler2D texture0;
uniform vec2 UVScroll;
uniform float MaterialIndex;
in vec3 normal;
in vec2 uv;

void main() { writeGBuffer(texture(texture0, uv + UVScroll).rgb, MaterialIndex, normal); }
