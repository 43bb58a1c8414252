#version 150
#extension GL_ARB_explicit_attrib_location : require
#include deferred_gbuffer.glsl
// The ring arena's floor: its colour in large tiles with darker joints.
uniform vec3 color;
uniform float MaterialIndex;
in vec3 normal;
in vec2 uv;

void main()
{
    vec2 cell = fract(uv * 16.0);
    float joint = smoothstep(0.0, 0.04, min(min(cell.x, cell.y), min(1.0 - cell.x, 1.0 - cell.y)));
    writeGBuffer(color * mix(0.45, 1.0, joint), MaterialIndex, normal);
}
