#version 150
// The scene's finished picture from the light buffer ("lightMap"): the geometry pass
// wrote each surface's ambient light and glow into it, the lights added theirs. Read
// unfiltered, as the passes wrote it (a target larger than the buffer repeats its
// texels), dimmed by "fade" (1 shows the scene, 0 black).
uniform sampler2D lightMap;
uniform float fade;
in vec2 uv;
out vec4 fragColor;

void main()
{
    ivec2 size = textureSize(lightMap, 0);
    ivec2 texel = clamp(ivec2(uv * vec2(size)), ivec2(0), size - 1);
    fragColor = vec4(texelFetch(lightMap, texel, 0).rgb * fade, 1.0);
}
