#version 150
// Screen blend of two images: 1 - (1 - a)(1 - b) brightens and never overflows.
// source0 is a soft picture (a blur) and is filtered; source1 is the sharp picture,
// in this production always of the target's size, so its texel under the pixel is read
// unfiltered: the same value as a filtered read at the texel's centre, and cheaper. A
// source1 of another size is sampled at the nearest texel.
uniform sampler2D source0;
uniform sampler2D source1;
in vec2 uv;
out vec4 fragColor;

void main()
{
    ivec2 size = textureSize(source1, 0);
    ivec2 texel = clamp(ivec2(uv * vec2(size)), ivec2(0), size - 1);
    vec3 a = clamp(texture(source0, uv).rgb, 0.0, 1.0);
    vec3 b = clamp(texelFetch(source1, texel, 0).rgb, 0.0, 1.0);
    fragColor = vec4(1.0 - (1.0 - a) * (1.0 - b), 1.0);
}
