#version 150
// The scene's finished picture from the light buffer ("lightMap"): the geometry pass
// wrote each surface's ambient light and glow into it, the lights added theirs. Read
// unfiltered, as the passes wrote it (a target larger than the buffer repeats its
// texels), dimmed by "fade" (1 shows the scene, 0 black).
// FOG (scene 2, whose lights go into a buffer of their own): "lightMap" holds the
// lights, "ambientMap" the ambient light and glow (and the mirror images); their sum is
// fogged by distance, where "depthBuffer" is the G-buffer's depth and nothing drawn
// shows the fog alone. The depth is linearised with the production's clip planes (1,
// 200).
uniform sampler2D lightMap;
#ifdef FOG
uniform sampler2D ambientMap;
uniform sampler2D depthBuffer;
const float zNear = 1.0;
const float zFar = 200.0;
const vec3 fogColour = vec3(0.045, 0.05, 0.075);
#else
uniform float fade;
#endif
in vec2 uv;
out vec4 fragColor;

void main()
{
    ivec2 size = textureSize(lightMap, 0);
    ivec2 texel = clamp(ivec2(uv * vec2(size)), ivec2(0), size - 1);
    vec3 lit = texelFetch(lightMap, texel, 0).rgb;
#ifdef FOG
    lit += texelFetch(ambientMap, texel, 0).rgb;
    float depth = texelFetch(depthBuffer, texel, 0).r;
    float distance = (zFar * zNear / (zNear - zFar)) / (depth - zFar / (zFar - zNear));
    float fog = depth >= 1.0 ? 1.0 : 1.0 - exp(-max(distance - 12.0, 0.0) * 0.018);
    fragColor = vec4(mix(lit, fogColour, clamp(fog, 0.0, 1.0)), 1.0);
#else
    fragColor = vec4(lit * fade, 1.0);
#endif
}
