#version 150
#extension GL_ARB_explicit_attrib_location : require
#include deferred_gbuffer.glsl
uniform vec3 color;
uniform float MaterialIndex;
#if defined(TEXTURE) || defined(NORMALMAP)
uniform sampler2D texture0;
in vec2 uv;
#endif
#ifdef NORMALMAP
uniform sampler2D NormalMap;
in vec3 tangent;
in vec3 bitangent;
#endif
in vec3 normal;

void main()
{
    vec3 colour = color;
    vec3 n = normal;
#if defined(TEXTURE) || defined(NORMALMAP)
    // The texture is surface detail under the material's colour, at reduced contrast and
    // with its hue only a tint, so a colourful noise reads as worn stone or metal.
    vec3 detail = texture(texture0, uv).rgb;
    float luma = dot(detail, vec3(0.2126, 0.7152, 0.0722));
    colour *= 0.55 + 0.6 * mix(vec3(luma), detail, 0.25);
#endif
#ifdef NORMALMAP
    // Tangent-space normal map (0.5 grey = flat); a mesh without tangents keeps its normal.
    vec3 t = tangent - n * dot(n, tangent) / max(dot(n, n), 1e-8);
    vec3 mapped = texture(NormalMap, uv).xyz * 2.0 - 1.0;
    if (dot(t, t) > 1e-10 && dot(bitangent, bitangent) > 1e-10)
        n = normalize(mapped.x * normalize(t) + mapped.y * normalize(bitangent) + mapped.z * normalize(n));
#endif
    writeGBuffer(colour, MaterialIndex, n);
}
