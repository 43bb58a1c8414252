#version 150
#include deferred_combine.glsl
// 1 shows the scene, 0 black.
uniform float fade;
in vec2 uv;
out vec4 fragColor;

void main() { fragColor = vec4(combine(uv) * fade, 1.0); }
