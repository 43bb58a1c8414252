#version 150
#include common.glsl
uniform vec3 color;
uniform float MaterialIndex;
in vec3 normal;
out vec4 fragColor;
void main()
{
    // Lit from the viewer's upper left.
    float light = 0.35 + 0.65 * max(dot(normalize(normal), normalize(vec3(-0.4, 0.6, 0.7))), 0.0);
    // Later materials a shade darker, so each object is told apart.
    fragColor = vec4(applyTint(color, vec3(1.0), light * (1.0 - 0.05 * MaterialIndex)), 1.0);
}
