#version 150
// Screen blend of two images: 1 - (1 - a)(1 - b) brightens and never overflows.
uniform sampler2D source0;
uniform sampler2D source1;
in vec2 uv;
out vec4 fragColor;

void main()
{
    vec3 a = clamp(texture(source0, uv).rgb, 0.0, 1.0);
    vec3 b = clamp(texture(source1, uv).rgb, 0.0, 1.0);
    fragColor = vec4(1.0 - (1.0 - a) * (1.0 - b), 1.0);
}
