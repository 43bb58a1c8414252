#version 150
#include deferred_lighting.glsl
uniform mat4 projM;
uniform vec3 lightPos;
uniform vec3 lightDirection;
uniform float lightRadius;
uniform float FallOff;
uniform sampler2D spotTexture;
flat in mat4 viewToCone;

void main()
{
    Surface s;
    lightOut = vec4(0.0);
    if (!readPosition(projM[0][0], projM[1][1], s))
        return;
    vec3 toLight = lightPos - s.position;
    float distance = length(toLight);
    if (distance >= lightRadius)
        return;
    toLight /= max(distance, 1e-5);
    // The unit cone opens along -z to a base of half-size 0.5 at z = -1.
    vec3 cone = (viewToCone * vec4(s.position, 1.0)).xyz;
    float depth = -cone.z;
    vec2 uv = cone.xy / max(depth, 1e-4) + 0.5;
    if (depth <= 0.0 || any(lessThan(uv, vec2(0.0))) || any(greaterThan(uv, vec2(1.0))))
        return;
    vec4 picture = texture(spotTexture, uv);
    float axis = dot(-toLight, normalize(lightDirection));
    float edge = smoothstep(FallOff * 0.98, FallOff, axis) * 0.35 + 0.65;
    // A picture must carry to the far end of the light, so it fades late.
    float reach = distance / lightRadius;
    float strength = edge * (1.0 - reach * reach * reach * reach) * (0.25 + 0.75 * picture.a) * 1.6;
    readMaterial(s);
    lightOut = vec4(shade(s, toLight, color.rgb * picture.rgb) * strength, 1.0);
}
