// For a scene whose geometry pass leaves the ambient light out of the light buffer
// (scene 2, whose mirror images read the lights alone): the lit colour of one pixel from
// the G-buffer colour ("diffuseMap", material index in alpha), the accumulated light
// ("lightMap") and the material table ("materialBuffer"): light + colour x (ambient x B
// + A), where parameter B says how much light the surface takes and A how much it glows.
uniform sampler2D diffuseMap;
uniform sampler2D lightMap;
uniform sampler2D materialBuffer;

#include deferred_ambient.glsl

// The G-buffer texel under uv: the buffers are read unfiltered, as the light pass wrote
// them (a target larger than the G-buffer repeats its texels).
ivec2 gbufferTexelAt(vec2 uv)
{
    ivec2 size = textureSize(diffuseMap, 0);
    return clamp(ivec2(uv * vec2(size)), ivec2(0), size - 1);
}

vec3 combine(vec2 uv)
{
    ivec2 texel = gbufferTexelAt(uv);
    vec4 surface = texelFetch(diffuseMap, texel, 0);
    int row = int(surface.a * 255.0 + 0.5);
    vec4 params = texelFetch(materialBuffer, ivec2(0, row), 0);
    return texelFetch(lightMap, texel, 0).rgb + surface.rgb * (ambientLight * params.g + params.r);
}
