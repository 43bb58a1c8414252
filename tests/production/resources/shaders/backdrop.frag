#version 150
#include common.glsl
uniform sampler2D texture0;
uniform vec3 tint;
uniform float fade;
in vec2 uv;
out vec4 fragColor;
void main()
{
    fragColor = vec4(applyTint(texture(texture0, uv).rgb, tint, fade), 1.0);
}
